#include "tests/verify/verify_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
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
  std::string out = pdf;
  if (!out.ends_with("\n")) out += "\n";
  auto size = static_cast<int>(last_number_after(pdf, "/Size "));
  for (const auto* list : {&objects, &packed})
    for (const UpdateObject& object : *list) size = std::max(size, object.number + 1);
  const int stream_number = size, xref_number = size + 1;
  // Rows of the cross-reference stream: type (1 byte), field 2 (4), field 3 (2).
  std::map<int, std::string> rows;
  const auto row = [](int type, std::size_t second, int third) {
    std::string bytes(1, static_cast<char>(type));
    for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((second >> shift) & 0xFF);
    return bytes + static_cast<char>(third >> 8) + static_cast<char>(third & 0xFF);
  };
  for (const UpdateObject& object : objects) {
    rows[object.number] = row(1, out.size(), object.generation);
    out += std::to_string(object.number) + " " + std::to_string(object.generation) + " obj\n" + object.body + "\nendobj\n";
  }
  std::string header, bodies;
  for (std::size_t i = 0; i < packed.size(); ++i) {
    header += std::to_string(packed[i].number) + " " + std::to_string(bodies.size()) + " ";
    bodies += packed[i].body + "\n";
    rows[packed[i].number] = row(2, static_cast<std::size_t>(stream_number), static_cast<int>(i));
  }
  rows[stream_number] = row(1, out.size(), 0);
  out += std::to_string(stream_number) + " 0 obj\n" +
         pdf_stream(header + bodies, "/Type /ObjStm /N " + std::to_string(packed.size()) + " /First " +
                                         std::to_string(header.size())) +
         "\nendobj\n";
  const std::size_t xref = out.size();
  rows[xref_number] = row(1, xref, 0);
  std::string index, data;
  for (const auto& [number, bytes] : rows) {
    index += std::to_string(number) + " 1 ";
    data += bytes;
  }
  out += std::to_string(xref_number) + " 0 obj\n" +
         pdf_stream(data, "/Type /XRef /W [1 4 2] /Index [" + index + "] /Size " + std::to_string(xref_number + 1) +
                              " /Root " + std::to_string(last_number_after(pdf, "/Root ")) + " 0 R /Prev " +
                              std::to_string(last_number_after(pdf, "startxref\n"))) +
         "\nendobj\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return out;
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
