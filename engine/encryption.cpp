#include "engine/encryption.h"

#include <cstring>
#include <stdexcept>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFCryptoImpl.hh>
#include <qpdf/QPDFCryptoProvider.hh>

#include "engine/pdf_syntax.h"

namespace corvane::engine {

namespace {

constexpr std::size_t kBlock = QPDFCryptoImpl::rijndael_buf_size;

Cipher cipher_of(QPDF::encryption_method_e method) {
  switch (method) {
    case QPDF::e_none:
      return Cipher::kNone;
    case QPDF::e_rc4:
      return Cipher::kRc4;
    case QPDF::e_aes:
      return Cipher::kAes128;
    case QPDF::e_aesv3:
      return Cipher::kAes256;
    default:
      throw std::runtime_error("the document uses a cipher that cannot be written");
  }
}

const char* cipher_name(Cipher cipher) {
  switch (cipher) {
    case Cipher::kNone:
      return "Identity";
    case Cipher::kRc4:
      return "RC4";
    case Cipher::kAes128:
      return "AESV2";
    case Cipher::kAes256:
      return "AESV3";
  }
  return "Identity";
}

std::string rc4(const std::string& key, std::string_view plain) {
  std::string out(plain.size(), '\0');
  if (plain.empty()) return out;
  auto crypto = QPDFCryptoProvider::getImpl();
  crypto->RC4_init(reinterpret_cast<const unsigned char*>(key.data()),
                   static_cast<int>(key.size()));
  crypto->RC4_process(reinterpret_cast<const unsigned char*>(plain.data()), plain.size(),
                      reinterpret_cast<unsigned char*>(out.data()));
  crypto->RC4_finalize();
  return out;
}

std::string aes_cbc(const std::string& key, std::string_view plain) {
  auto crypto = QPDFCryptoProvider::getImpl();
  unsigned char chain[kBlock];
  crypto->provideRandomData(chain, kBlock);
  const std::size_t padding = kBlock - plain.size() % kBlock;
  std::string out(kBlock + plain.size() + padding, '\0');
  auto* out_bytes = reinterpret_cast<unsigned char*>(out.data());
  std::memcpy(out_bytes, chain, kBlock);
  crypto->rijndael_init(/*encrypt=*/true, reinterpret_cast<const unsigned char*>(key.data()),
                        key.size(), /*cbc_mode=*/true, chain);
  unsigned char block[kBlock];
  std::size_t done = 0;
  for (std::size_t at = kBlock; at < out.size(); at += kBlock) {
    const std::size_t take = std::min(kBlock, plain.size() - done);
    std::memcpy(block, plain.data() + done, take);
    std::memset(block + take, static_cast<int>(padding), kBlock - take);
    done += take;
    crypto->rijndael_process(block, out_bytes + at);
  }
  crypto->rijndael_finalize();
  return out;
}

}  // namespace

std::optional<KeptEncryption> keep_encryption(QPDF& qpdf) {
  int r = 0, p = 0, v = 0;
  QPDF::encryption_method_e stream_method{}, string_method{}, file_method{};
  if (!qpdf.isEncrypted(r, p, v, stream_method, string_method, file_method)) return std::nullopt;
  KeptEncryption kept;
  kept.v = v;
  kept.r = r;
  kept.p = p;
  kept.key = qpdf.getEncryptionKey();
  kept.key_bits = static_cast<int>(kept.key.size() * 8);
  if (v < 4) {
    // Before crypt filters every string and stream is RC4, whatever else
    // the dictionary says.
    kept.strings = kept.streams = kept.embedded_files = Cipher::kRc4;
  } else {
    kept.strings = cipher_of(string_method);
    kept.streams = cipher_of(stream_method);
    kept.embedded_files = cipher_of(file_method);
  }
  QPDFObjectHandle trailer = qpdf.getTrailer();
  QPDFObjectHandle dictionary = trailer.getKey("/Encrypt");
  kept.encrypt_metadata = true;
  for (auto& [name, value] : dictionary.ditems()) {
    if (value.isNull()) continue;
    kept.dictionary.emplace_back(QPDFObjectHandle::newName(name).unparse(), resolved_text(value));
    if (name == "/EncryptMetadata" && value.isBool()) kept.encrypt_metadata = value.getBoolValue();
  }
  kept.id = resolved_text(trailer.getKey("/ID"));
  return kept;
}

std::string describe(const KeptEncryption& encryption) {
  std::string text = "V=" + std::to_string(encryption.v) + ";R=" + std::to_string(encryption.r) +
                     ";Length=" + std::to_string(encryption.key_bits) +
                     ";P=" + std::to_string(encryption.p);
  text += ";StmF=";
  text += cipher_name(encryption.streams);
  text += ";StrF=";
  text += cipher_name(encryption.strings);
  text += ";EFF=";
  text += cipher_name(encryption.embedded_files);
  text += encryption.encrypt_metadata ? ";EncryptMetadata=true" : ";EncryptMetadata=false";
  return text;
}

std::string object_key(const KeptEncryption& encryption, Cipher cipher, int number, int generation) {
  const bool aes = cipher == Cipher::kAes128 || cipher == Cipher::kAes256;
  return QPDF::compute_data_key(encryption.key, number, generation, aes, encryption.v,
                                encryption.r);
}

std::string encrypt(Cipher cipher, const std::string& key, std::string_view plain) {
  switch (cipher) {
    case Cipher::kRc4:
      return rc4(key, plain);
    case Cipher::kAes128:
    case Cipher::kAes256:
      return aes_cbc(key, plain);
    case Cipher::kNone:
      break;
  }
  return std::string(plain);
}

}  // namespace corvane::engine
