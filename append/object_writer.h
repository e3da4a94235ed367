// The PDF text of objects written into an incremental update. In an
// encrypted document every string and stream is encrypted with the
// document's key for the number of the object that holds it, as a reader
// decrypts it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include <qpdf/QPDFObjectHandle.hh>

#include "engine/encryption.h"

namespace corvane::append {

// Number and generation of the object a text is written into.
struct ObjectId {
  std::int32_t number = 0;
  std::int32_t generation = 0;
};

// The number and generation of the indirect object `object`.
[[nodiscard]] inline ObjectId id_of(QPDFObjectHandle object) {
  return {object.getObjectID(), object.getGeneration()};
}

class ObjectWriter {
 public:
  // `encryption` (may be null: nothing is encrypted) must outlive the
  // writer.
  explicit ObjectWriter(const engine::KeptEncryption* encryption) : encryption_(encryption) {}

  // The text of the direct value `value` inside object `owner`: members that
  // are indirect objects as references, strings encrypted for `owner`.
  // Throws what qpdf throws.
  [[nodiscard]] std::string value(QPDFObjectHandle value, ObjectId owner) const;
  // `dictionary` (its entries; none when it is not a dictionary) written
  // for object `owner`, with the entries of `replaced` written (or added) as
  // the texts given. Throws what qpdf throws.
  [[nodiscard]] std::string dictionary_with(QPDFObjectHandle dictionary, ObjectId owner,
                                            const std::map<std::string, std::string>& replaced) const;
  // `array` (its items; none when it is not an array) written for object
  // `owner`, with the text `added` after them. Throws what qpdf throws.
  [[nodiscard]] std::string array_with(QPDFObjectHandle array, ObjectId owner, const std::string& added) const;
  // A string holding the bytes `bytes` inside object `owner`: a literal
  // string, or a hexadecimal one holding the encrypted bytes.
  [[nodiscard]] std::string string(std::string_view bytes, ObjectId owner) const;
  // The body of a stream object `owner`: "<<", `entries` (dictionary entries
  // without /Length), /Length, ">>", and the data, encrypted as a stream.
  [[nodiscard]] std::string stream(std::string_view entries, std::string_view data, ObjectId owner) const;

 private:
  const engine::KeptEncryption* encryption_;
};

}  // namespace corvane::append
