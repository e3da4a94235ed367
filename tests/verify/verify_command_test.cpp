// The verify subcommand of the corvanepdf command, run as a child process: its text and JSON reports.
#include <gtest/gtest.h>

#include <unistd.h>

#include <tuple>
#include <vector>

#include "tests/component/signed_pdf.h"
#include "tests/verify/verify_test_support.h"

namespace corvane::test {
namespace {

// The exit status is the verdict: 0 valid, covering and trusted; 1 invalid, changed or unsigned;
// 2 unreadable; 3 valid but untrusted or weak. Crafted files: many fields sharing one large /Contents
// (memory stays near one signature), SHA-1, a signer forged with the real one's name and address, a
// detached signature carrying the signed bytes too, zeros after the last %%EOF, a FIFO, another user's link.
TEST(VerifyCommand, ExitStatusIsTheVerdict) {
  ScratchDir dir("verify-command");
  const auto q = [&dir](const std::string& name) { return shell_quote((dir / name).string()); };
  // plain.pdf signed by pdfsig with the fixture store's "Alex Signer".
  run_command("pdfsig -add-signature -nssdir " + shell_quote("sql:" + (fixtures_dir() / "nss").string()) +
              " -nick 'Alex Signer' " + shell_quote(fixture_pdf("plain.pdf").string()) + " " + q("signed.pdf"));
  ASSERT_TRUE(std::filesystem::exists(dir / "signed.pdf"));
  const std::string signed_pdf = read_file(dir / "signed.pdf");
  write_file(dir / "appended.pdf", signed_pdf + "\n%%EOF\n");
  // A blank in the first or the second range, a digit of the signature value (it ends the message,
  // just before its end marks), each changed so that the file stays readable.
  const auto slot_end = static_cast<std::size_t>((*byte_range_of(signed_pdf))[2]);  // just after the ">"
  for (const auto& [name, at, byte] : {std::tuple{"first-range.pdf", signed_pdf.find(" 0 obj"), '\t'},
                                       {"second-range.pdf", signed_pdf.find("  ", slot_end), '\t'},
                                       {"value.pdf", slot_end - 60, signed_pdf[slot_end - 60] == '5' ? '6' : '5'}}) {
    std::string changed = signed_pdf;
    changed[at] = byte;
    write_file(dir / name, changed);
  }
  constexpr std::size_t kSlotBytes = 2u << 20;
  write_file(dir / "shared.pdf", make_shared_slot_pdf(128, kSlotBytes, "signer", "sha256"));
  write_file(dir / "sha1.pdf", make_shared_slot_pdf(1, 8192, "signer", "sha1"));
  write_file(dir / "ec-sha512.pdf", make_shared_slot_pdf(1, 8192, "ecsigner", "sha512"));
  // Without signed attributes the signature value signs the bytes themselves: a blank of the page changed breaks it.
  std::string no_attributes = make_shared_slot_pdf(1, 8192, "ecsigner", "sha384", "-noattr");
  write_file(dir / "no-attributes.pdf", no_attributes);
  no_attributes[no_attributes.find("/MediaBox [0 0") + 12] = '\t';
  write_file(dir / "no-attributes-changed.pdf", no_attributes);
  write_file(dir / "encapsulated.pdf", make_shared_slot_pdf(1, 8192, "signer", "sha256", "-nodetach -econtent_type id-smime-ct-TSTInfo"));
  // Megabytes of zeros after the last %%EOF: no revision, so not covered.
  write_file(dir / "zero-tail.pdf", read_file(dir / "signed.pdf") + std::string(4u << 20, '\0'));
  const std::string forged = (dir / "forged").string();
  ASSERT_EQ(run_command("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out " +
                        shell_quote(forged + ".key") + " && openssl x509 -in " +
                        shell_quote((fixtures_dir() / "nss" / "pem" / "signer.crt").string()) + " -signkey " +
                        shell_quote(forged + ".key") + " -days 30 -out " + shell_quote(forged + ".crt"))
                .exit_code,
            0);
  write_file(dir / "forged.pdf", make_shared_slot_pdf(1, 8192, forged, "sha256"));
  ASSERT_EQ(::mkfifo((dir / "fifo.pdf").c_str(), 0600), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    std::filesystem::create_symlink(dir / "signed.pdf", dir / "their-link.pdf");
    ASSERT_EQ(run_command("chown -h nobody " + shell_quote((dir / "their-link.pdf").string())).exit_code, 0);
  }
  const std::string no_store = "CORVANE_NSSDB=" + shell_quote("sql:" + (dir / "no-store").string());
  // A certificate store with no certificate in it.
  const std::string empty_store = "sql:" + (dir / "empty-store").string();
  const std::string empty = "CORVANE_NSSDB=" + shell_quote(empty_store);
  std::filesystem::create_directories(dir / "empty-store");
  ASSERT_EQ(run_command("certutil -N --empty-password -d " + shell_quote(empty_store)).exit_code, 0);

  const std::string ca = shell_quote((fixtures_dir() / "nss" / "pem" / "ca.crt").string());
  const struct {
    std::string arguments;
    int want_exit;
    std::vector<std::string> want_output;  // each part somewhere in the output
    std::string env = "";
    long max_peak_mib = 0;  // when not 0, the most memory the run may take
  } cases[] = {
      {"verify " + q("signed.pdf"), 0,
       {"  E-mail: alex@example.test\n  Signing time: 20",
        "  Digest algorithm: SHA-256\n  Signature: valid\n  Certificate: trusted\n  Whole file covered: yes\n"}},
      {"verify " + q("shared.pdf"), 0, {"Signature 128 (field \"sig127\"):"}, "", 160},
      {"verify " + q("appended.pdf"), 1, {"  Whole file covered: no (the signed revision ends at byte"}},
      {"verify " + q("first-range.pdf"), 1, {"  Signature: invalid (", "  Signed attributes: message-digest does not match,"}},
      {"verify " + q("second-range.pdf"), 1, {"  Signature: invalid ("}},
      {"verify " + q("value.pdf"), 1, {"  Signature: invalid ("}},
      {"verify " + q("ec-sha512.pdf"), 0,
       {"  E-mail: blair@example.test\n  Signing time: 20", "  Digest algorithm: SHA-512\n  Signature: valid\n  Certificate: trusted\n"}},
      {"verify " + q("no-attributes.pdf"), 0,
       {"  E-mail: blair@example.test\n  Signing time: not given\n  Digest algorithm: SHA-384\n  Signature: valid\n"}},
      {"verify " + q("no-attributes-changed.pdf"), 1, {"  E-mail: blair@example.test\n", "  Signature: invalid ("}},
      {"verify " + q("zero-tail.pdf"), 1, {"  Signature: valid\n  Certificate: trusted\n  Whole file covered: no ("}},
      {"verify " + q("encapsulated.pdf"), 1,
       {"  Signature: invalid (the signature is detached (/SubFilter /adbe.pkcs7.detached) but its CMS message "
        "encapsulates content)"}},
      {"verify " + shell_quote(fixture_pdf("plain.pdf").string()), 1, {"The document has no signatures.\n"}},
      {"verify " + q("sha1.pdf"), 3,
       {"  Digest algorithm: SHA-1 (weak)\n  Signature: valid\n  Certificate: trusted\n",
        "covers the whole file.\nA signature uses a weak digest algorithm.\n"}},
      {"verify " + q("forged.pdf"), 3,
       {"  Signature: valid\n  Certificate: not trusted (", "covers the whole file.\nNot every signer is trusted.\n"}},
      {"verify " + q("signed.pdf"), 3,
       {"  Signature: valid\n  Certificate: not trusted (Peer's Certificate issuer is not recognized.)\n"
        "  Issuer: CN=Fixture Test CA,O=Fixture Org, not trusted for signatures; to trust it: corvanepdf trust "
        "ISSUER.pem (its certificate), or for this run verify --trust ISSUER.pem\n"},
       empty},
      // Authorities trusted for one run, with or without a store.
      {"verify " + q("signed.pdf") + " --trust " + ca, 0, {"  Certificate: trusted\n"}, empty},
      {"verify " + q("signed.pdf") + " --trust-system --trust " + ca, 0, {"  Certificate: trusted\n"}, no_store},
      {"verify " + q("signed.pdf") + " --trust-system", 3, {"  Certificate: not trusted ("}, empty},
      {"verify " + q("signed.pdf") + " --trust " + q("appended.pdf"), 2,
       {"--trust: " + (dir / "appended.pdf").string() + " holds no certificate"}, empty},
      {"verify " + q("signed.pdf"), 3,
       {"  Signature: valid\n  Certificate: not checked\n", "the signers' trust is not checked"}, no_store},
      {"verify " + shell_quote(fixture_pdf("enc-rc4-128.pdf").string()), 2, {"password is missing or wrong"}},
      {"verify " + q("missing.pdf"), 2, {"corvanepdf: The file"}},
      {"verify " + shell_quote(fixture_pdf("not-a-pdf.pdf").string()), 2, {"corvanepdf: The document"}},
      // A FIFO that nobody writes to would block an ordinary open for ever.
      {"verify " + q("fifo.pdf"), 2, {"not a regular file"}, "timeout 120"},
      {"verify " + q(root ? "their-link.pdf" : "missing.pdf"), 2, {root ? "a link of another user" : "The file"}},
      {"verify --help", 0, {"3 every signature is valid"}},
      // --json: the same facts, the verdict also as the exit status.
      {"verify --json " + q("signed.pdf"), 0,
       {R"({"file":)", R"("verdict":"holds","file_size":)", R"("all_hold":true,)", R"("valid":true,"problem":"")",
        R"("email":"alex@example.test")", R"("digest_algorithm":"SHA-256","trusted":true,)",
        R"("covers_whole_file":true,"signed_end":)", R"("weak_digest":false,)"}},
      {"verify --json " + q("appended.pdf"), 1,
       {R"("verdict":"broken")", R"("all_hold":false,)", R"("valid":true,)", R"("covers_whole_file":false,)"}},
      {"verify --json " + shell_quote(fixture_pdf("plain.pdf").string()), 1,
       {R"("verdict":"broken")", R"("signatures":[]})"}},
      {"verify --json " + q("missing.pdf"), 2, {R"("verdict":"unreadable","error":"The file)"}},
  };
  for (const auto& c : cases) {
    // Freed memory is handed back at once under the address sanitizer too; GNU time gives the peak.
    const std::string peak = c.max_peak_mib > 0 ? "/usr/bin/time -f 'peak KiB: %M' " : "";
    const CommandResult r = run_command("ASAN_OPTIONS=quarantine_size_mb=1 " + c.env + " " + peak +
                                        shell_quote(CORVANEPDF_CLI) + " " + c.arguments);
    EXPECT_EQ(r.exit_code, c.want_exit) << c.arguments << "\n" << r.output;
    for (const std::string& part : c.want_output)
      EXPECT_NE(r.output.find(part), std::string::npos) << c.arguments << "\n" << r.output;
    if (c.max_peak_mib > 0) {
      const long peak_kib = last_number_after(r.output, "peak KiB: ");
      EXPECT_TRUE(peak_kib > 0 && peak_kib < c.max_peak_mib * 1024) << c.arguments << ": " << peak_kib;
    }
  }
}

}  // namespace
}  // namespace corvane::test
