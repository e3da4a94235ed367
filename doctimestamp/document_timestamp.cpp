#include "doctimestamp/document_timestamp.h"

#include <openssl/evp.h>

#include <cstring>
#include <exception>
#include <memory>
#include <string_view>

#include "append/signature_revision.h"
#include "append/signature_slot.h"
#include "platform/atomic_file.h"
#include "platform/in_place_lock.h"
#include "settings/file_helpers.h"
#include "settings/log.h"
#include "timestamp/authority_settings.h"
#include "timestamp/signature_timestamp.h"
#include "timestamp/token_check.h"

namespace corvane::doctimestamp {
namespace {

using platform::ErrorCode;

constexpr std::string_view kFieldName = "Document timestamp";
// No visible box: the widget only carries the field.
constexpr std::string_view kInvisibleRect = "0 0 0 0";

using MdContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

// The dictionary with a slot of `width` zeros in /Contents (the token's
// DER, hex, padded with zeros that DER readers never reach).
std::string timestamp_dictionary(std::size_t width) {
  return "<<\n/Type /DocTimeStamp\n/Filter /Adobe.PPKLite\n/SubFilter /ETSI.RFC3161\n/Contents <" +
         std::string(width, '0') + ">\n" + std::string(append::kByteRangePlaceholder) + "\n>>";
}

// A refusal of the update's layout (the document's structure, its size).
platform::Refusal layout(std::string why) { return platform::Refusal(std::move(why)).as(ErrorCode::kDocumentLayout); }

// The SHA-256 of the signed bytes; false when they cannot be read.
bool digest_ranges(const append::OriginalDocument& document, const append::Update& update,
                   const append::SignatureSlot& slot, timestamp::Sha256& digest) {
  MdContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return false;
  const bool read = append::feed_signed_bytes(document, update, slot, [&context](std::span<const std::uint8_t> piece) {
    EVP_DigestUpdate(context.get(), piece.data(), piece.size());
  });
  unsigned int length = 0;
  return read && EVP_DigestFinal_ex(context.get(), digest.data(), &length) == 1 && length == digest.size();
}

// Writes the token's hex digits into the slot; false when it is too long.
bool put_token(std::string& bytes, const append::SignatureSlot& slot, const std::vector<std::uint8_t>& token) {
  static constexpr char kHex[] = "0123456789abcdef";
  if (2 * token.size() > slot.after_slot - slot.slot - 2) return false;
  std::size_t at = slot.slot + 1;
  for (const std::uint8_t byte : token) {
    bytes[at++] = kHex[byte >> 4];
    bytes[at++] = kHex[byte & 15];
  }
  return true;
}

void stamp(const DocumentTimestampRequest& request, const timestamp::TsaSettings& tsa, DocumentTimestampResult& result) {
  platform::Refusal& refusal = result.refusal;
  // Timestamping a file into itself: held from reading the file to
  // replacing it.
  const platform::InPlaceLock in_place(request.input, request.output);
  if (!in_place.problem().empty()) {
    refusal = {ErrorCode::kChangedWhileSigning, "the document " + in_place.problem()};
    return;
  }
  auto document = append::OriginalDocument::open(request.input, request.password, refusal);
  if (!document) return;
  // The document is judged before the authority is asked; the slot's
  // width is known only from the authority's token, so the dictionary is
  // written once it is.
  append::SignatureFieldRequest field;
  field.name = kFieldName;
  field.rect = kInvisibleRect;
  field.dictionary = [](const append::StringText&) { return timestamp_dictionary(0); };
  append::SignatureRevision revision;
  if (!(refusal = layout(append::build_signature_revision(*document, field, revision))).empty()) return;
  result.field_name = revision.field_name;
  const timestamp::TokenRoom room = timestamp::measure_token_room(tsa);
  if (!(refusal = room.refusal).empty()) return;
  const std::size_t width = 2 * room.bytes;
  revision.objects.at(append::SignatureRevision::kDictionaryIndex).body = timestamp_dictionary(width);

  append::Update update = append::write_update(document->base(), revision.objects);
  append::SignatureSlot slot;
  std::string byte_range_text;
  if (!(refusal = layout(append::find_signature_slot(update, append::SignatureRevision::kDictionaryIndex,
                                                     document->base().file_size, width, slot)))
           .empty() ||
      !(refusal = layout(append::fill_byte_range(
            std::span(reinterpret_cast<std::uint8_t*>(update.bytes.data()), update.bytes.size()), slot.after_slot,
            slot.first_length, slot.second_start, slot.second_length, byte_range_text)))
           .empty())
    return;
  timestamp::Sha256 digest{};
  if (!digest_ranges(*document, update, slot, digest)) {
    refusal = {ErrorCode::kFailed, "the document cannot be read to the end"};
    return;
  }
  const timestamp::TokenReply reply = timestamp::request_token(tsa, digest);
  if (!(refusal = reply.refusal).empty()) return;
  if (!put_token(update.bytes, slot, reply.token)) {
    refusal = {ErrorCode::kTimestampAuthority,
               "the timestamp token (" + std::to_string(reply.token.size()) + " bytes) is longer than its slot"};
    return;
  }
  const timestamp::TokenCheck token = timestamp::check_token(reply.token, digest);
  result.time = token.time;
  result.authority = token.authority;

  settings::log_line("document timestamp appended as an incremental update: field \"" + revision.field_name +
                     "\", " + std::to_string(update.bytes.size()) + " bytes after the document's " +
                     std::to_string(document->base().file_size));
  std::string why;
  if (!settings::write_file_with(
          request.output,
          [&](int fd) { return document->copy_to(fd) && platform::write_all(fd, update.bytes); }, &why)) {
    refusal = {ErrorCode::kNotWritten,
               "the timestamped file could not be written to " + request.output + (why.empty() ? "" : ": " + why), why};
    settings::log_line(refusal.message());
  }
}

}  // namespace

DocumentTimestampResult add_document_timestamp(const DocumentTimestampRequest& request) {
  DocumentTimestampResult result;
  const timestamp::AuthorityChoice authority = timestamp::read_authority_settings(request.tsa_url);
  result.refusal = platform::Refusal(authority.problem).as(ErrorCode::kBadOption);
  if (result.refusal.empty() && !authority.tsa)
    result.refusal = {ErrorCode::kBadOption, "no timestamp authority: give one with --tsa URL or the setting tsaurl"};
  if (!result.refusal.empty()) return result;
  try {
    stamp(request, *authority.tsa, result);
  } catch (const std::exception& error) {
    result.refusal = std::string("the document timestamp could not be made: ") + error.what();
  }
  if (!result.refusal.empty()) settings::log_line("document timestamp refused: " + result.refusal.message());
  return result;
}

}  // namespace corvane::doctimestamp
