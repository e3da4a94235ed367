#include "engine/byte_image_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <qpdf/Pipeline.hh>

namespace corvane::engine {

namespace {

using Entries = std::map<std::string, QPDFObjectHandle>;
using TextEntries = std::vector<std::pair<std::string, std::string>>;

constexpr std::string_view kBinaryMarker = "%\xE2\xE3\xCF\xD3\n";
// The first page's annotations, which end with the signature field; on that
// page the key stands only at the start of its own entry.
constexpr std::string_view kAnnotsKey = "/Annots";
constexpr std::size_t kXrefEntrySize = 20;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::size_t digits(long long value) { return std::to_string(value).size(); }

struct ObjGenHash {
  std::size_t operator()(const QPDFObjGen& og) const noexcept {
    return std::hash<long long>()((static_cast<long long>(og.getObj()) << 16) ^ og.getGen());
  }
};

// Collects a stream's data as qpdf hands it over.
class AppendPipeline final : public Pipeline {
 public:
  explicit AppendPipeline(std::string& target) : Pipeline("byte image", nullptr), target_(target) {}
  void write(unsigned char const* data, size_t len) override {
    target_.append(reinterpret_cast<const char*>(data), len);
  }
  void finish() override {}

 private:
  std::string& target_;
};

// True for a value that is written as nothing at all (a dictionary entry)
// or as "null" (an array element): null itself, and a reference to an
// object that does not exist.
bool is_absent(QPDFObjectHandle& value) {
  switch (value.getTypeCode()) {
    case ::ot_null:
    case ::ot_uninitialized:
    case ::ot_reserved:
    case ::ot_unresolved:
    case ::ot_destroyed:
      return true;
    default:
      return false;
  }
}

// A dictionary's entries in key order, read as they are stored: qpdf's key
// list would read every object they refer to, and build a set. Direct nulls
// and references to missing objects are left out when written.
Entries entries_of(QPDFObjectHandle dictionary) { return dictionary.getDictAsMap(); }

std::string pdf_version(QPDF& qpdf) {
  std::string version = qpdf.getPDFVersion();
  const bool plausible = version.size() == 3 && version[0] >= '1' && version[0] <= '9' &&
                         version[1] == '.' && version[2] >= '0' && version[2] <= '9';
  return plausible ? version : "1.4";
}

class ImageWriter {
 public:
  ImageWriter(QPDF& qpdf, QPDFObjectHandle first_page, const ImageOptions& options, const AddedObjectsFn& added,
              int fd)
      : qpdf_(qpdf), page_(std::move(first_page)), options_(options), added_(added), out_(fd) {}

  SignedLayout write() {
    prepare();
    append(out_, "%PDF-" + pdf_version(qpdf_) + "\n");
    append(out_, kBinaryMarker);
    // Breadth-first from the trailer: the catalog, the first page, the
    // encryption dictionary, the document information, then what the
    // catalog refers to, then what each object refers to as it is written.
    add_object(root_);
    add_object(page_);
    if (options_.encryption) {
      objects_.emplace_back();
      encrypt_number_ = static_cast<int>(objects_.size());
    }
    if (info_.isInitialized()) scan(info_);
    for (auto& entry : catalog_) scan(entry.second);
    write_page();
    for (int number = 3; number <= static_cast<int>(objects_.size()); ++number) {
      write_object(number);
    }
    // Every object has its number now: the added ones take the next ones.
    // The catalog comes after the document's other objects because it
    // names the first of them.
    const long long first_new = static_cast<long long>(objects_.size()) + 1;
    std::optional<AddedObjects> added = added_(static_cast<std::int32_t>(first_new));
    if (!added) throw AddedObjectsRefused();
    place_page(first_new);
    catalog_texts_ = std::move(added->catalog_entries);
    std::sort(catalog_texts_.begin(), catalog_texts_.end());
    write_object(1);
    return finish(*added, first_new);
  }

  // Writes the added objects and the table, and says where the slot is.
  SignedLayout finish(const AddedObjects& added, long long first_new) {
    const std::size_t objects_at = out_.size();
    std::size_t total = 0;
    for (const std::string& object : added.objects) {
      offsets_.push_back(out_.size());
      append(out_, object);
      total += object.size();
    }
    if (added.slot_at >= total || added.slot_width > total - added.slot_at - 1 ||
        added.byte_range_at >= total) {
      throw std::runtime_error("the signature's slot lies outside its objects");
    }
    const std::size_t xref_at = out_.size();
    const long long count = static_cast<long long>(added.objects.size());
    write_xref_and_trailer(first_new + count);
    out_.finish();
    SignedLayout layout;
    layout.slot_at = objects_at + added.slot_at;
    layout.slot_width = added.slot_width;
    layout.byte_range_at = objects_at + added.byte_range_at;
    layout.size = out_.size();
    // Against the file without the signature: the page's reference, the
    // catalog's added entries, the objects and their table entries, and
    // the longer numbers of the table's size and position.
    const std::size_t before = page_reference_size_ + catalog_added_ + total;
    layout.added = before + static_cast<std::size_t>(count) * kXrefEntrySize +
                         2 * (digits(first_new + count) - digits(first_new)) + digits(static_cast<long long>(xref_at)) -
                         digits(static_cast<long long>(xref_at - before));
    return layout;
  }

  // The first page is written on its own, while what it refers to is
  // numbered, and its place in the file is kept for it: its reference to
  // the signature field waits for the field's number.
  void write_page() {
    page_at_ = out_.size();
    std::swap(out_, page_text_);
    write_object(2);
    std::swap(out_, page_text_);
    offsets_[2] = page_at_;
    page_bytes_ = page_text_.take();
    // The field's number most likely has as many digits as the highest
    // number the document's own table has.
    const long long likely = std::max<long long>(last_in_table_, static_cast<long long>(objects_.size())) + 1;
    page_gap_ = page_bytes_.size() + page_reference(likely).size();
    append(out_, std::string(page_gap_, ' '));
  }

  // "n 0 R " before the "]" of the page's /Annots, or a new first entry.
  std::string page_reference(long long first_new) const {
    const std::string reference = std::to_string(first_new) + " 0 R ";
    return annots_mark_ != kNone ? reference : "/Annots [ " + reference + "]\n";
  }

  void place_page(long long first_new) {
    const std::string reference = page_reference(first_new);
    const std::size_t mark = annots_mark_ != kNone ? annots_mark_ : page_entries_at_;
    if (mark == kNone || mark > page_bytes_.size()) throw std::logic_error("the first page has no entries");
    const char* bytes = reinterpret_cast<const char*>(page_bytes_.data());
    std::string page;
    page.reserve(page_bytes_.size() + reference.size());
    page.append(bytes, mark);
    page += reference;
    page.append(bytes + mark, page_bytes_.size() - mark);
    if (page.size() != page_gap_) {
      // The guess of the number's length missed: what follows the page moves.
      out_.resize_range(page_at_, page_gap_, page.size());
      for (std::size_t number = 3; number < offsets_.size(); ++number) {
        offsets_[number] = offsets_[number] + page.size() - page_gap_;
      }
    }
    out_.overwrite(page_at_, page);
    page_reference_size_ = reference.size();
  }

  // Stores the first page's annotations and the document information the
  // way the layout needs them, and makes the catalog's form announce the
  // field the rebuild adds.
  void prepare() {
    for (const auto& [og, entry] : qpdf_.getXRefTable()) {
      in_table_.insert(og);
      last_in_table_ = std::max(last_in_table_, og.getObj());
    }
    root_ = qpdf_.getRoot();
    if (!root_.isDictionary() || !page_.isDictionary() || root_.isSameObjectAs(page_)) {
      throw std::runtime_error("the document has no catalog or no first page");
    }
    QPDFObjectHandle annots = page_.getKey("/Annots");
    if (annots.isDictionary()) {
      // One annotation where the array should be: the array holding it.
      annots = QPDFObjectHandle::newArray({annots.isIndirect() ? annots : qpdf_.makeIndirectObject(annots)});
      page_.replaceKey("/Annots", annots);
    } else if (page_.hasKey("/Annots") && !annots.isArray()) {
      page_.removeKey("/Annots");
    }
    if (annots.isArray()) {
      if (annots.isIndirect()) {
        annots = annots.shallowCopy();
        page_.replaceKey("/Annots", annots);
      }
      const int count = annots.getArrayNItems();
      for (int i = 0; i < count; ++i) {
        QPDFObjectHandle annot = annots.getArrayItem(i);
        if (annot.isDictionary() && !annot.isIndirect()) {
          annots.setArrayItem(i, qpdf_.makeIndirectObject(annot));
        }
      }
    }
    QPDFObjectHandle trailer = qpdf_.getTrailer();
    info_ = trailer.getKey("/Info");
    if (info_.isDictionary() && !info_.isIndirect()) {
      info_ = qpdf_.makeIndirectObject(info_);
      trailer.replaceKey("/Info", info_);
    }
    if (!info_.isDictionary()) info_ = QPDFObjectHandle();
    catalog_ = catalog_entries();
  }

  // The catalog's entries with /AcroForm as a direct dictionary: the
  // existing fields (references to missing objects left out, so that an
  // image read back announces its field only once), /SigFlags 3, and no
  // /NeedAppearances. The announced field itself is added when writing.
  Entries catalog_entries() {
    std::map<std::string, QPDFObjectHandle> form;
    std::vector<QPDFObjectHandle> fields;
    QPDFObjectHandle old_form = root_.getKey("/AcroForm");
    if (old_form.isDictionary()) {
      for (auto& [key, value] : old_form.ditems()) {
        if (key == "/Fields" || key == "/SigFlags" || key == "/NeedAppearances") continue;
        if (present_unnumbered(value)) form[key] = value;
      }
      QPDFObjectHandle old_fields = old_form.getKey("/Fields");
      if (old_fields.isArray()) {
        for (auto& field : old_fields.aitems()) {
          if (present_unnumbered(field)) fields.push_back(field);
        }
      }
    }
    announced_fields_ = QPDFObjectHandle::newArray(fields);
    form["/Fields"] = announced_fields_;
    form["/SigFlags"] = QPDFObjectHandle::newInteger(3);
    Entries entries = entries_of(root_);
    entries["/AcroForm"] = QPDFObjectHandle::newDictionary(form);
    return entries;
  }

  void add_object(QPDFObjectHandle object) {
    objects_.push_back(object);
    numbers_.emplace(object.getObjGen(), static_cast<int>(objects_.size()));
  }

  // Numbers the objects `value` refers to, in the order it is written.
  void scan(QPDFObjectHandle value) {
    if (value.isIndirect()) {
      reference_number(value);
      return;
    }
    switch (value.getTypeCode()) {
      case ::ot_array:
        for (auto& item : value.aitems()) scan(item);
        return;
      case ::ot_dictionary:
        for (auto& [key, item] : value.getDictAsMap()) scan(item);
        return;
      default:
        return;
    }
  }

  // The number of the object `reference` points to, numbering it when it
  // is met for the first time; 0 when it does not exist. An object listed
  // in the file's table exists even before it is read, so that reading
  // (and releasing) waits until the object is written; one made since
  // opening exists unless it is null.
  int reference_number(QPDFObjectHandle& reference) {
    auto found = numbers_.find(reference.getObjGen());
    if (found != numbers_.end()) return found->second;
    if (!exists(reference)) return 0;
    add_object(reference);
    return static_cast<int>(objects_.size());
  }

  bool exists(QPDFObjectHandle& reference) {
    const QPDFObjGen og = reference.getObjGen();
    return numbers_.count(og) != 0 || in_table_.count(og) != 0 ||
           (og.getObj() > last_in_table_ && !is_absent(reference));
  }

  // False for a direct null and a reference to a missing object, which a
  // dictionary leaves out; numbers the object referred to.
  bool present(QPDFObjectHandle& value) {
    return value.isIndirect() ? reference_number(value) != 0 : !value.isNull();
  }

  // Empties a written object in the document. What is left in its place
  // is an operator holding its new number: qpdf turns the handles that
  // pointed to the object into direct copies of that value, and no object
  // of a document can hold an operator, so it still names the object.
  void release(QPDFObjectHandle& object, int number) {
    qpdf_.replaceObject(object.getObjGen(), QPDFObjectHandle::newOperator(std::to_string(number)));
  }

  static int released_number(QPDFObjectHandle& value) {
    return value.getTypeCode() == ::ot_operator ? std::stoi(value.getOperatorValue()) : 0;
  }
  bool present_unnumbered(QPDFObjectHandle& value) {
    return value.isIndirect() ? exists(value) : !value.isNull();
  }

  void write_object(int number) {
    if (offsets_.size() <= static_cast<std::size_t>(number)) offsets_.resize(number + 1, 0);
    offsets_[number] = out_.size();
    current_ = number;
    string_key_.clear();
    append_number(out_, number);
    append(out_, " 0 obj\n");
    if (number == 1) {
      write_dictionary_lines(catalog_, nullptr, &catalog_texts_);
    } else if (number == encrypt_number_) {
      append(out_, "<<\n");
      for (const auto& [key, value] : options_.encryption->dictionary) {
        append(out_, key);
        append(out_, " ");
        append(out_, value);
        append(out_, "\n");
      }
      append(out_, ">>\n");
    } else {
      QPDFObjectHandle object = std::move(objects_[number - 1]);
      switch (object.getTypeCode()) {
        case ::ot_stream:
          write_stream(object);
          break;
        case ::ot_dictionary:
          write_dictionary_lines(entries_of(object), nullptr);
          break;
        default:
          write_direct(object);
          append(out_, "\n");
          break;
      }
      if (options_.release_written) release(object, number);
    }
    append(out_, "endobj\n");
  }

  // "<<" LF, one entry per line, ">>" LF; `length`, when given, is written
  // as /Length in key order in place of the entry's own, and `texts`
  // (sorted), when given, in key order in place of the entries of their
  // keys.
  void write_dictionary_lines(const Entries& entries, const long long* length, const TextEntries* texts = nullptr) {
    append(out_, "<<\n");
    if (current_ == 2 && page_entries_at_ == kNone) page_entries_at_ = out_.size();
    bool length_done = length == nullptr;
    auto text = texts ? texts->begin() : TextEntries::const_iterator();
    const auto texts_end = texts ? texts->end() : TextEntries::const_iterator();
    for (const auto& [key, value] : entries) {
      if (!length_done && key > "/Length") {
        write_length_line(*length);
        length_done = true;
      }
      if (length && key == "/Length") continue;
      for (; text != texts_end && text->first <= key; ++text) write_text_line(*text, entries);
      if (texts && std::binary_search(texts->begin(), texts_end, key,
                                      [](const auto& a, const auto& b) { return key_of(a) < key_of(b); }))
        continue;
      QPDFObjectHandle item = value;
      if (!present(item)) continue;
      if (key == kAnnotsKey) {
        append(out_, key);
      } else {
        write_name(key);
      }
      append(out_, " ");
      in_page_annots_ = current_ == 2 && key == kAnnotsKey;
      write_value(item);
      in_page_annots_ = false;
      append(out_, "\n");
    }
    for (; text != texts_end; ++text) write_text_line(*text, entries);
    if (!length_done) write_length_line(*length);
    append(out_, ">>\n");
  }

  static std::string_view key_of(const std::string& key) { return key; }
  static std::string_view key_of(const std::pair<std::string, std::string>& entry) { return entry.first; }

  // A text that is a dictionary ("<< ... >>") is merged into the
  // dictionary `entries` hold under its key: their own entries are kept
  // (a catalog's /Perms keeps its /UR3 beside an added /DocMDP), unless
  // the text holds their key.
  void write_text_line(const std::pair<std::string, std::string>& entry, const Entries& entries) {
    const auto& [key, text] = entry;
    const std::size_t line_at = out_.size();
    append(out_, key);
    append(out_, " ");
    const auto found = entries.find(key);
    QPDFObjectHandle own = found != entries.end() ? found->second : QPDFObjectHandle();
    if (own.isDictionary() && text.starts_with("<<")) {
      append(out_, "<<");
      for (auto& [own_key, value] : own.ditems()) {
        QPDFObjectHandle item = value;
        if (names_key(text, own_key) || !present(item)) continue;
        append(out_, " ");
        write_name(own_key);
        append(out_, " ");
        write_value(item);
      }
      append(out_, text.substr(2));
    } else {
      append(out_, text);
    }
    append(out_, "\n");
    catalog_added_ += out_.size() - line_at;
  }

  // Whether the dictionary text `text` has an entry `key` (a name ends at
  // a space or a delimiter).
  static bool names_key(std::string_view text, std::string_view key) {
    for (std::size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
      const std::size_t end = at + key.size();
      if (end == text.size() || std::string_view(" \t\r\n/<>[]()").find(text[end]) != std::string_view::npos) return true;
    }
    return false;
  }

  void write_length_line(long long length) {
    append(out_, "/Length ");
    append_number(out_, length);
    append(out_, "\n");
  }

  void write_value(QPDFObjectHandle& value) {
    const bool indirect = value.isIndirect();
    const int number = indirect ? reference_number(value) : released_number(value);
    if (number != 0) {
      append_number(out_, number);
      append(out_, " 0 R");
    } else if (indirect) {
      append(out_, "null");
    } else {
      write_direct(value);
    }
  }

  void write_direct(QPDFObjectHandle& value) {
    switch (value.getTypeCode()) {
      case ::ot_array: {
        // Only the page's own array, not one nested in it.
        const bool page_annots = in_page_annots_;
        in_page_annots_ = false;
        append(out_, "[ ");
        for (auto& item : value.aitems()) {
          write_value(item);
          append(out_, " ");
        }
        if (page_annots) annots_mark_ = out_.size();
        if (value.isSameObjectAs(announced_fields_)) {
          append_number(out_, static_cast<long long>(objects_.size()) + 1);
          append(out_, " 0 R ");
        }
        append(out_, "]");
        return;
      }
      case ::ot_dictionary: {
        append(out_, "<< ");
        for (auto& [key, item] : value.getDictAsMap()) {
          if (!present(item)) continue;
          write_name(key);
          append(out_, " ");
          write_value(item);
          append(out_, " ");
        }
        append(out_, ">>");
        return;
      }
      case ::ot_string:
        write_string(value.getStringValue());
        return;
      case ::ot_name:
        write_name(value.getName());
        return;
      default:
        append_scalar(out_, value);
        return;
    }
  }

  // A name; on the first page one that starts like its /Annots key has
  // its "s" escaped (the same name to a reader).
  void write_name(const std::string& name) {
    if (current_ != 2 || !name.starts_with(kAnnotsKey)) {
      append_name(out_, name);
      return;
    }
    ByteSink escaped;
    append_name(escaped, name);
    const Bytes bytes = escaped.take();
    append(out_, "/Annot#73");
    append(out_, std::string_view(reinterpret_cast<const char*>(bytes.data()) + kAnnotsKey.size(),
                                  bytes.size() - kAnnotsKey.size()));
  }

  // Strings of an encrypted image are encrypted with the key of the object
  // they stand in and always written in hex.
  void write_string(const std::string& value) {
    const KeptEncryption* encryption = options_.encryption;
    if (encryption == nullptr) {
      if (current_ == 2 && value.find(kAnnotsKey) != std::string::npos) {
        append_hex_string(out_, value);
      } else {
        append_string(out_, value);
      }
      return;
    }
    if (encryption->strings == Cipher::kNone) {
      append_hex_string(out_, value);
      return;
    }
    if (string_key_.empty()) string_key_ = object_key(*encryption, encryption->strings, current_);
    append_hex_string(out_, encrypt(encryption->strings, string_key_, value));
  }

  // The stream's data exactly as stored (decrypted but still filtered),
  // encrypted again when the image is.
  void write_stream(QPDFObjectHandle& stream) {
    data_.clear();
    AppendPipeline pipe(data_);
    bool filtered = false;
    if (!stream.pipeStreamData(&pipe, &filtered, /*encode_flags=*/0, qpdf_dl_none,
                               /*suppress_warnings=*/false, /*will_retry=*/false)) {
      throw std::runtime_error("the data of a stream could not be read");
    }
    QPDFObjectHandle dictionary = stream.getDict();
    const Cipher cipher = stream_cipher(dictionary);
    std::string encrypted;
    if (cipher != Cipher::kNone) {
      encrypted = encrypt(cipher, object_key(*options_.encryption, cipher, current_), data_);
    }
    const std::string& data = cipher == Cipher::kNone ? data_ : encrypted;
    const long long length = static_cast<long long>(data.size());
    write_dictionary_lines(entries_of(dictionary), &length);
    append(out_, "stream\n");
    append(out_, data);
    append(out_, "\nendstream\n");
  }

  Cipher stream_cipher(QPDFObjectHandle& dictionary) const {
    const KeptEncryption* encryption = options_.encryption;
    if (encryption == nullptr) return Cipher::kNone;
    QPDFObjectHandle type = dictionary.getKey("/Type");
    if (type.isNameAndEquals("/Metadata") && !encryption->encrypt_metadata) return Cipher::kNone;
    if (type.isNameAndEquals("/EmbeddedFile")) return encryption->embedded_files;
    return encryption->streams;
  }

  void write_xref_and_trailer(long long size) {
    const std::size_t xref_at = out_.size();
    append(out_, "xref\n0 ");
    append_number(out_, size);
    append(out_, "\n0000000000 65535 f \n");
    char entry[kXrefEntrySize + 1];
    for (std::size_t number = 1; number < offsets_.size(); ++number) {
      std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offsets_[number]);
      append(out_, std::string_view(entry, kXrefEntrySize));
    }
    append(out_, "trailer\n<<\n/Size ");
    append_number(out_, size);
    append(out_, "\n/Root 1 0 R\n");
    if (info_.isInitialized()) {
      append(out_, "/Info ");
      write_value(info_);
      append(out_, "\n");
    }
    if (encrypt_number_ != 0) {
      append(out_, "/Encrypt ");
      append_number(out_, encrypt_number_);
      append(out_, " 0 R\n");
    }
    const std::string id = options_.encryption
                               ? options_.encryption->id
                               : (qpdf_.getTrailer().getKey("/ID").isArray()
                                      ? resolved_text(qpdf_.getTrailer().getKey("/ID"))
                                      : std::string());
    if (!id.empty() && id != "null") {
      append(out_, "/ID ");
      append(out_, id);
      append(out_, "\n");
    }
    append(out_, ">>\nstartxref\n");
    append_number(out_, static_cast<long long>(xref_at));
    append(out_, "\n%%EOF\n");
  }

  QPDF& qpdf_;
  QPDFObjectHandle page_;
  const ImageOptions& options_;
  const AddedObjectsFn& added_;
  QPDFObjectHandle root_;
  QPDFObjectHandle info_;
  Entries catalog_;
  QPDFObjectHandle announced_fields_;
  // Object n is objects_[n - 1]; the encryption dictionary's slot holds an
  // empty handle, its entries come from the kept encryption.
  std::vector<QPDFObjectHandle> objects_;
  std::unordered_map<QPDFObjGen, int, ObjGenHash> numbers_;
  std::unordered_set<QPDFObjGen, ObjGenHash> in_table_;
  int last_in_table_ = 0;
  int encrypt_number_ = 0;
  std::vector<std::size_t> offsets_;
  int current_ = 0;
  std::string string_key_;
  std::string data_;
  ByteSink out_;
  // The first page's text, written apart (page_text_), and its place in
  // out_: page_gap_ bytes at page_at_. In the page's text, where its
  // entries start and where its /Annots array ends (kNone: no such array).
  ByteSink page_text_;
  Bytes page_bytes_;
  std::size_t page_at_ = 0;
  std::size_t page_gap_ = 0;
  std::size_t page_entries_at_ = kNone;
  std::size_t annots_mark_ = kNone;
  std::size_t page_reference_size_ = 0;
  bool in_page_annots_ = false;
  TextEntries catalog_texts_;
  // The bytes of the catalog's lines written from catalog_texts_.
  std::size_t catalog_added_ = 0;
};

}  // namespace

SignedLayout write_signed_image(QPDF& qpdf, QPDFObjectHandle first_page, const ImageOptions& options,
                                const AddedObjectsFn& added, int fd) {
  return ImageWriter(qpdf, std::move(first_page), options, added, fd).write();
}

}  // namespace corvane::engine
