#include "tests/component/signed_pdf.h"

#include <sstream>

#include "platform/hex.h"

namespace corvane::test {

std::string pdfsig_report(const std::filesystem::path& pdf, const std::string& password) {
  const std::string nssdir = "sql:" + (fixtures_dir() / "nss").string();
  std::string command = "pdfsig -nssdir " + shell_quote(nssdir);
  if (!password.empty()) command += " -upw " + shell_quote(password);
  return run_command(command + " " + shell_quote(pdf.string())).output;
}

std::optional<std::array<std::int64_t, 4>> byte_range_of(const std::string& file) {
  const std::size_t key = file.rfind("/ByteRange [");
  if (key == std::string::npos) return std::nullopt;
  std::istringstream numbers(file.substr(key + 12, 80));
  std::array<std::int64_t, 4> range{};
  for (auto& n : range)
    if (!(numbers >> n) || n < 0) return std::nullopt;
  return range;
}

std::string covered_bytes(const std::string& file, const std::array<std::int64_t, 4>& range) {
  return file.substr(0, static_cast<std::size_t>(range[1])) +
         file.substr(static_cast<std::size_t>(range[2]), static_cast<std::size_t>(range[3]));
}

std::string slot_bytes(const std::string& file, const std::array<std::int64_t, 4>& range) {
  const auto hex = std::string_view(file).substr(static_cast<std::size_t>(range[1]) + 1,
                                                 static_cast<std::size_t>(range[2] - range[1] - 2));
  const auto bytes = platform::bytes_from_hex(hex).value_or(std::vector<std::uint8_t>{});
  return std::string(bytes.begin(), bytes.end());
}

std::string openssl_problems(const std::string& file, const std::array<std::int64_t, 4>& range,
                             const std::filesystem::path& ca_file) {
  const auto [a, b, c, d] = range;
  if (a != 0 || b < 1 || c <= b + 1 || c + d > static_cast<std::int64_t>(file.size()))
    return "byte range outside the file";
  ScratchDir scratch("cms");
  write_file(scratch / "signature.der", slot_bytes(file, range));
  write_file(scratch / "content.bin", covered_bytes(file, range));
  const auto result = run_command(
      "openssl cms -verify -binary -inform DER -in " + shell_quote((scratch / "signature.der").string()) +
      " -content " + shell_quote((scratch / "content.bin").string()) + " -CAfile " +
      shell_quote((ca_file.empty() ? fixtures_dir() / "nss" / "pem" / "ca.crt" : ca_file).string()) + " -out /dev/null");
  return result.exit_code == 0 ? std::string() : result.output;
}

}  // namespace corvane::test
