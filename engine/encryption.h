// Keeping a document's encryption and encrypting strings and streams again
// under new object numbers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QPDF;

namespace corvane::engine {

enum class Cipher { kNone, kRc4, kAes128, kAes256 };

// What the engine keeps of a document opened with its password so that it
// can write the document encrypted the same way again: the file key, the
// encryption dictionary and the file identifier. The key never leaves the
// engine; describe() gives the text that may.
struct KeptEncryption {
  int v = 0;
  int r = 0;
  int p = 0;
  int key_bits = 0;
  Cipher strings = Cipher::kNone;
  Cipher streams = Cipher::kNone;
  Cipher embedded_files = Cipher::kNone;
  bool encrypt_metadata = true;
  std::string key;
  // The encryption dictionary's entries ("/Filter", "/Standard"), in key
  // order, each value on one line with references resolved.
  std::vector<std::pair<std::string, std::string>> dictionary;
  // The file identifier array, "[ <...> <...> ]".
  std::string id;
};

// The encryption of an opened document, or nullopt when it is not
// encrypted. Throws what qpdf throws, and std::runtime_error for a cipher
// that cannot be written again.
[[nodiscard]] std::optional<KeptEncryption> keep_encryption(QPDF& qpdf);

// "V=4;R=4;Length=128;P=-3904;StmF=AESV2;StrF=AESV2;EFF=AESV2;EncryptMetadata=true":
// the method, key length, revision, permissions and metadata flag. Holds no
// password and no key.
[[nodiscard]] std::string describe(const KeptEncryption& encryption);

// The key for the strings and streams of object `number` (of `generation`)
// under `cipher`.
[[nodiscard]] std::string object_key(const KeptEncryption& encryption, Cipher cipher,
                                     int number, int generation = 0);

// `plain` encrypted with `key`: RC4 keeps the length; AES (CBC) puts a
// random 16-byte initialisation vector in front and pads to whole blocks.
// kNone returns `plain` unchanged.
[[nodiscard]] std::string encrypt(Cipher cipher, const std::string& key, std::string_view plain);

}  // namespace corvane::engine
