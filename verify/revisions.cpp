#include "verify/revisions.h"

#include <cstdlib>
#include <algorithm>
#include <span>
#include <map>
#include <set>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace corvane::verify {
namespace {

constexpr std::string_view kEof = "%%EOF";
// A field's /Parent chain deeper than this is not followed.
constexpr int kMaxParents = 32;

constexpr std::size_t kBlockSize = 1 << 20;

// The whole file; "" when it cannot be read.
std::string read_all(const ByteSource& file) {
  std::string bytes(static_cast<std::size_t>(file.size()), '\0');
  if (!file.read(0, std::span(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()))) return {};
  return bytes;
}

// True for a signature field (its own or an inherited /FT /Sig), a widget
// of one, or a signature or document timestamp dictionary.
bool is_signature_object(QPDFObjectHandle object) {
  if (!object.isDictionary()) return false;
  if (QPDFObjectHandle type = object.getKey("/Type"); type.isNameAndEquals("/Sig") || type.isNameAndEquals("/DocTimeStamp"))
    return true;
  for (int depth = 0; object.isDictionary() && depth < kMaxParents; ++depth) {
    QPDFObjectHandle type = object.getKey("/FT");
    if (type.isName()) return type.getName() == "/Sig";
    object = object.getKey("/Parent");
  }
  return false;
}

// An array that kept every item it had and grew only by signature fields.
bool grew_by_signatures(QPDFObjectHandle before, QPDFObjectHandle after) {
  if (!after.isArray() || (!before.isArray() && !before.isNull())) return false;
  std::multiset<std::string> old_items;
  if (before.isArray())
    for (QPDFObjectHandle item : before.aitems()) old_items.insert(item.unparse());
  for (QPDFObjectHandle item : after.aitems()) {
    const auto kept = old_items.find(item.unparse());
    if (kept != old_items.end()) {
      old_items.erase(kept);
    } else if (!is_signature_object(item)) {
      return false;
    }
  }
  return old_items.empty();
}

bool same(QPDFObjectHandle a, QPDFObjectHandle b) { return a.unparse() == b.unparse(); }

bool dictionary_changed_only_by_signatures(QPDFObjectHandle before, QPDFObjectHandle after, bool signature_field);

// One entry of a dictionary that differs between the revisions.
bool entry_change_allowed(const std::string& key, QPDFObjectHandle before, QPDFObjectHandle after,
                          bool signature_field) {
  if (key == "/Annots" || key == "/Fields") return grew_by_signatures(before, after);
  if (key == "/SigFlags" || key == "/DSS") return true;
  if (signature_field && (key == "/V" || key == "/AP")) return true;
  if (key == "/AcroForm" && after.isDictionary() && !after.isIndirect())
    return dictionary_changed_only_by_signatures(before.isDictionary() ? before : QPDFObjectHandle::newDictionary(),
                                                 after, false);
  return false;
}

bool dictionary_changed_only_by_signatures(QPDFObjectHandle before, QPDFObjectHandle after, bool signature_field) {
  std::set<std::string> keys = before.getKeys();
  for (const std::string& key : after.getKeys()) keys.insert(key);
  for (const std::string& key : keys) {
    QPDFObjectHandle was = before.getKey(key);
    QPDFObjectHandle is = after.getKey(key);
    if (same(was, is)) continue;
    if (!entry_change_allowed(key, was, is, signature_field)) return false;
  }
  return true;
}

// A new revision of an object the signed revision already had.
bool change_allowed(QPDFObjectHandle before, QPDFObjectHandle after) {
  if (before.isStream() || after.isStream()) return false;
  if (before.isArray() && after.isArray()) return grew_by_signatures(before, after);
  if (before.isDictionary() && after.isDictionary())
    return dictionary_changed_only_by_signatures(before, after, is_signature_object(after));
  return false;
}

bool same_entry(const QPDFXRefEntry& a, const QPDFXRefEntry& b) {
  if (a.getType() != b.getType()) return false;
  if (a.getType() == 1) return a.getOffset() == b.getOffset();
  if (a.getType() == 2) return a.getObjStreamNumber() == b.getObjStreamNumber() && a.getObjStreamIndex() == b.getObjStreamIndex();
  return true;
}

// Objects that only hold others or the cross-reference data.
bool is_container(QPDFObjectHandle object) {
  if (!object.isStream()) return false;
  QPDFObjectHandle type = object.getDict().getKey("/Type");
  return type.isNameAndEquals("/XRef") || type.isNameAndEquals("/ObjStm");
}

void open(QPDF& qpdf, const char* name, const std::string& bytes, const std::string& password) {
  qpdf.setSuppressWarnings(true);
  qpdf.processMemoryFile(name, bytes.data(), bytes.size(), password.c_str());
}

}  // namespace

std::vector<std::uint64_t> revision_ends(const ByteSource& file) {
  // Read in blocks that overlap by the marker's length and its line end, so
  // that a marker across a block border is found once.
  constexpr std::size_t kOverlap = kEof.size() + 1;
  std::vector<std::uint64_t> ends;
  std::string block;
  for (std::uint64_t start = 0; start < file.size();) {
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, file.size() - start));
    block.assign(length, '\0');
    if (!file.read(start, std::span(reinterpret_cast<std::uint8_t*>(block.data()), length))) break;
    const bool last = start + length == file.size();
    const std::size_t scan_end = last ? length : length - kOverlap;
    for (std::size_t at = block.find(kEof); at != std::string::npos && at < scan_end; at = block.find(kEof, at + 1)) {
      std::size_t end = at + kEof.size();
      if (end < block.size() && block[end] == '\r') ++end;
      if (end < block.size() && block[end] == '\n') ++end;
      ends.push_back(start + end);
    }
    if (last) break;
    start += scan_end;
  }
  return ends;
}

LaterRevisions classify_later_revisions(const ByteSource& file, const std::string& password, std::uint64_t signed_end) {
  LaterRevisions result;
  try {
    const std::string now = read_all(file);
    if (signed_end >= now.size()) return result;
    // What follows must be revisions: the file's last startxref names a
    // section behind the signed bytes.
    const std::size_t keyword = now.rfind("startxref");
    const long long last_xref = keyword == std::string::npos ? -1 : std::atoll(now.c_str() + keyword + 9);
    if (last_xref < static_cast<long long>(signed_end)) {
      result = {LaterChanges::kContentChanged, "bytes were appended that add no revision"};
      return result;
    }
    const std::string then = now.substr(0, signed_end);
    QPDF before;
    QPDF after;
    open(before, "signed revision", then, password);
    open(after, "whole file", now, password);
    const auto old_table = before.getXRefTable();
    for (const auto& [id, entry] : after.getXRefTable()) {
      const auto old_entry = old_table.find(id);
      if (old_entry != old_table.end() && same_entry(old_entry->second, entry)) continue;
      QPDFObjectHandle current = after.getObject(id);
      if (entry.getType() == 0 || current.isNull()) {
        if (old_entry != old_table.end() && old_entry->second.getType() != 0) {
          result = {LaterChanges::kContentChanged, "object " + id.unparse(' ') + " was freed"};
          return result;
        }
        continue;
      }
      if (is_container(current)) continue;
      // A new object matters only where a changed old one refers to it.
      if (old_entry == old_table.end() || old_entry->second.getType() == 0) continue;
      if (!change_allowed(before.getObject(id), current)) {
        result = {LaterChanges::kContentChanged, "object " + id.unparse(' ') + " was changed"};
        return result;
      }
    }
    QPDFObjectHandle old_trailer = before.getTrailer();
    QPDFObjectHandle new_trailer = after.getTrailer();
    for (const char* key : {"/Root", "/Encrypt"})
      if (!same(old_trailer.getKey(key), new_trailer.getKey(key))) {
        result = {LaterChanges::kContentChanged, std::string("the trailer's ") + key + " was changed"};
        return result;
      }
    result.changes = LaterChanges::kSignaturesAdded;
  } catch (const std::exception& error) {
    result = {LaterChanges::kContentChanged, std::string("the revisions cannot be compared: ") + error.what()};
  }
  return result;
}

}  // namespace corvane::verify
