// The signing run on an arbitrary byte image: a stand-in engine hands the
// input to `edit` as the document it wrote out, and a stand-in store signs
// (signing_stand_in.h). A run either answers false and writes nothing, or
// writes a file that keeps the image's start, has its signature slot filled
// with hex digits and byte ranges that cover the whole file except that
// slot.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "component/component_state.h"
#include "component/edit.h"
#include "component/register_classes.h"
#include "engine/pdf_engine.h"
#include "fuzz/entries.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/signing_stand_in.h"
#include "platform/object_factory.h"

namespace corvane::fuzz {
namespace {

// The document the stand-in engine writes out.
std::vector<std::uint8_t>& current_image() {
  static std::vector<std::uint8_t> image;
  return image;
}

// An engine whose every byte image is the fuzz input. It calls the document
// encrypted (with the user password "user") when the image has an
// /Encrypt entry.
class ImageEngine final : public engine::PdfEngine {
 public:
  bool OpenDocument(const std::string&, std::int32_t& result) override {
    result = 1;
    return true;
  }
  bool GetEncryption(std::int32_t& result) override {
    const std::string_view image(reinterpret_cast<const char*>(current_image().data()), current_image().size());
    result = image.find("/Encrypt") != std::string_view::npos && !removed_ ? 1 : 0;
    return true;
  }
  bool RemoveEncryption() override {
    removed_ = true;
    return true;
  }
  bool SubmitPassword(const std::string& password, std::int32_t& result) override {
    result = password == "user" ? 1 : 0;
    return true;
  }
  bool GetPageWidth(double& result) override {
    result = 595.3;
    return true;
  }
  bool GetPageHeight(double& result) override {
    result = 841.9;
    return true;
  }
  bool SetWorkingMode(std::int32_t mode) override { return mode == 0; }
  bool GetDocumentBytes(std::vector<std::uint8_t>& result) override {
    result = current_image();
    return true;
  }
  bool AddTextStamp(double, double, double, double, const std::string&, std::int32_t) override { return true; }
  bool CommitChanges() override { return true; }
  bool LoadDocumentBytes(const std::vector<std::uint8_t>&, std::int32_t& result) override {
    result = 1;
    return true;
  }
  bool GetEncryptionSettings(std::string& result) override {
    result = "V=5 R=6 AES-256";
    return true;
  }
  bool SetEncryptionSettings(const std::string&) override {
    removed_ = false;
    return true;
  }

 private:
  bool removed_ = false;
};

// Settings of the runs: the stand-in signer (so that no chooser is shown)
// and the visible text.
void point_hives_at_settings() {
  static const std::string machine = scratch_dir() + "/rebuild-machine.reg";
  static const std::string user = scratch_dir() + "/rebuild-user.reg";
  static const bool written = [] {
    write_scratch_file(machine, "");
    write_scratch_file(user,
                       "Windows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\pdf]\r\n"
                       "\"UniqueContainerName\"=\"NSS Certificate DB:f0\"\r\n"
                       "\"signtext\"=dword:00000001\r\n"
                       "\"reason\"=\"Fuzz (reason) \\\\ \\\"quoted\\\"\"\r\n");
    return true;
  }();
  (void)written;
  // Other entries point the hives elsewhere: every run sets them again.
  check(::setenv("CORVANE_HKLM", machine.c_str(), 1) == 0 && ::setenv("CORVANE_HKCU", user.c_str(), 1) == 0,
        "cannot point the hives at the run's settings");
}

void install_engine() {
  static const auto installed = [] {
    // The real classes first, so that they never replace the stand-in.
    component::register_component_classes();
    return std::make_shared<platform::ObjectFactory::Override>(
        platform::ObjectFactory::instance().override_class(
            engine::kPdfEngineClassId, [] { return std::make_shared<ImageEngine>(); }));
  }();
  (void)installed;
}

std::optional<std::int64_t> number_at(std::string_view text, std::size_t& at) {
  while (at < text.size() && text[at] == ' ') ++at;
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data() + at, text.data() + text.size(), value);
  if (ec != std::errc()) return std::nullopt;
  at = static_cast<std::size_t>(end - text.data());
  return value;
}

// True when some "/ByteRange [0 a b c" in the file covers all of it but a
// slot "<hex>" between a and b.
bool ranges_cover_file(std::string_view file) {
  constexpr std::string_view kStart = "/ByteRange [0 ";
  for (auto at = file.find(kStart); at != std::string_view::npos; at = file.find(kStart, at + 1)) {
    std::size_t pos = at + kStart.size();
    const auto a = number_at(file, pos);
    const auto b = a ? number_at(file, pos) : std::nullopt;
    const auto c = b ? number_at(file, pos) : std::nullopt;
    if (!c || *a < 0 || *b < *a + 2 || *c < 0 || *b + *c != static_cast<std::int64_t>(file.size())) continue;
    const std::string_view slot = file.substr(static_cast<std::size_t>(*a), static_cast<std::size_t>(*b - *a));
    if (slot.front() != '<' || slot.back() != '>') continue;
    if (slot.substr(1, slot.size() - 2).find_first_not_of("0123456789abcdef") == std::string_view::npos)
      return true;
  }
  return false;
}

}  // namespace

void rebuild_entry(std::string_view input) {
  point_hives_at_settings();
  install_signing_stand_in();
  install_engine();
  current_image().assign(input.begin(), input.end());
  // Each input starts from a fresh thread state, so that it fails or passes
  // on its own.
  component::component_state() = component::ComponentState{};

  static const std::string saved = scratch_dir() + "/signed.pdf";
  std::filesystem::remove(saved);
  bool signed_ok = false;
  {
    component::Edit edit;
    edit.pdfpath = "fuzz-input.pdf";
    edit.pdfpasswd = "user";
    edit.savepath = saved;
    signed_ok = edit.signit();
  }
  const bool written = std::filesystem::exists(saved);
  if (!signed_ok) {
    check(!written, "a refused run wrote a file");
    return;
  }
  check(written, "a signed run wrote no file");
  const std::string file = read_scratch_file(saved);
  const auto page = input.find("\n2 0 obj\n");
  check(page != std::string_view::npos, "a document without object 2 was signed");
  check(std::string_view(file).substr(0, page + 1) == input.substr(0, page + 1),
        "the bytes before the page object changed");
  check(file.ends_with("%%EOF\n"), "the signed file does not end with its %%EOF line");
  check(ranges_cover_file(file), "the byte ranges do not cover the file around a filled slot");
}

}  // namespace corvane::fuzz

CORVANE_FUZZ_TARGET(corvane::fuzz::rebuild_entry)
