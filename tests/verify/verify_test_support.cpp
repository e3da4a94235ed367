#include "tests/verify/verify_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/hex.h"

namespace corvane::test {

std::vector<std::uint8_t> openssl_sign(const std::string& content, const std::string& key, const std::string& md,
                                       const std::string& flags) {
  ScratchDir dir("openssl-sign");
  write_file(dir / "content", content);
  const auto pem = fixtures_dir() / "nss" / "pem";
  const std::filesystem::path stem = key.starts_with('/') ? std::filesystem::path(key) : pem / key;
  const auto result = run_command(
      "openssl cms -sign -binary -outform DER -md " + md + " " + flags + " -in " +
      shell_quote((dir / "content").string()) + " -signer " + shell_quote(stem.string() + ".crt") +
      " -inkey " + shell_quote(stem.string() + ".key") + " -certfile " +
      shell_quote((pem / "ca.crt").string()) + " -out " + shell_quote((dir / "sig").string()));
  EXPECT_EQ(result.exit_code, 0) << result.output;
  const std::string der = read_file(dir / "sig");
  return {der.begin(), der.end()};
}

namespace {

constexpr std::string_view kRangePlaceholder = "[0 0000000000 0000000000 0000000000]";
constexpr std::size_t kSlotBytes = 8192;

// Puts the ranges around the slot of `slot_bytes` bytes at `slot` into the first placeholder at or after
// `from`, and the openssl signature of what they cover into the slot.
void sign_in_place(std::string& pdf, std::size_t from, std::size_t slot, std::size_t slot_bytes, const std::string& key,
                   const std::string& md, const std::string& flags = "") {
  const std::size_t slot_end = slot + 2 * slot_bytes + 2;
  char ranges[64];
  std::snprintf(ranges, sizeof ranges, "[0 %010zu %010zu %010zu]", slot, slot_end, pdf.size() - slot_end);
  pdf.replace(pdf.find(kRangePlaceholder, from), kRangePlaceholder.size(), ranges);
  const std::vector<std::uint8_t> der = openssl_sign(pdf.substr(0, slot) + pdf.substr(slot_end), key, md, flags);
  EXPECT_LE(der.size(), slot_bytes);
  const std::string hex = platform::lower_hex(der).substr(0, 2 * slot_bytes);
  pdf.replace(slot + 1, hex.size(), hex);
}

}  // namespace

std::string make_shared_slot_pdf(int fields, std::size_t slot_bytes, const std::string& key, const std::string& md,
                                 const std::string& flags) {
  std::string field_list;
  std::vector<std::string> objects = {"", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>",
                                      "<" + std::string(2 * slot_bytes, '0') + ">", std::string(kRangePlaceholder)};
  for (int i = 0; i < fields; ++i) {
    field_list += std::to_string(objects.size() + 1) + " 0 R ";
    objects.push_back("<< /T (sig" + std::to_string(i) +
                      ") /FT /Sig /V << /Type /Sig /Filter /Adobe.PPKLite /SubFilter /adbe.pkcs7.detached"
                      " /ByteRange 5 0 R /Contents 4 0 R >> >>");
  }
  objects[0] = "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [" + field_list + "] /SigFlags 3 >> >>";
  std::string pdf = make_pdf(objects);
  sign_in_place(pdf, 0, pdf.find("\n<00") + 1, slot_bytes, key, md, flags);
  return pdf;
}

std::string with_packed_update(const std::string& pdf, const std::vector<UpdateObject>& objects,
                               const std::vector<UpdateObject>& packed) {
  auto stream = static_cast<int>(last_number_after(pdf, "/Size "));
  for (const auto* list : {&objects, &packed})
    for (const UpdateObject& object : *list) stream = std::max(stream, object.number + 1);
  // Rows of the cross-reference stream, /W [1 2 1]: type 2, the object stream's number, the index in it.
  std::string header, bodies, index, rows;
  for (std::size_t i = 0; i < packed.size(); ++i) {
    header += std::to_string(packed[i].number) + " " + std::to_string(bodies.size()) + " ";
    bodies += packed[i].body + "\n";
    index += std::to_string(packed[i].number) + " 1 ";
    rows += {'\2', static_cast<char>(stream >> 8), static_cast<char>(stream & 0xFF), static_cast<char>(i)};
  }
  std::vector<UpdateObject> all = objects;
  all.push_back({stream, pdf_stream(header + bodies, "/Type /ObjStm /N " + std::to_string(packed.size()) +
                                                         " /First " + std::to_string(header.size()))});
  all.push_back({stream + 1, pdf_stream(rows, "/Type /XRef /W [1 2 1] /Index [" + index + "] /Size " +
                                                  std::to_string(stream + 2))});
  // The trailer names the cross-reference stream once its offset is known, in a field of fixed width.
  const std::string placeholder = "/XRefStm 0000000000";
  std::string out = with_update(pdf, all, placeholder);
  char named[32];
  std::snprintf(named, sizeof named, "/XRefStm %010zu",
                out.find("\n" + std::to_string(stream + 1) + " 0 obj\n", pdf.size()) + 1);
  return out.replace(out.rfind(placeholder), placeholder.size(), named);
}

std::string signature_dictionary(const std::string& extra) {
  return "<< /Type /Sig /Filter /Adobe.PPKLite /SubFilter /adbe.pkcs7.detached /ByteRange " +
         std::string(kRangePlaceholder) + " /Contents <" + std::string(2 * kSlotBytes, '0') + "> " + extra + " >>";
}

std::string with_signed_update(const std::string& pdf, const std::vector<UpdateObject>& objects, const std::string& key,
                               const std::string& trailer_extra) {
  std::string out = with_update(pdf, objects, trailer_extra);
  sign_in_place(out, pdf.size(), out.find("/Contents <" + std::string(64, '0'), pdf.size()) + 10, kSlotBytes, key,
                "sha256");
  return out;
}

}  // namespace corvane::test
