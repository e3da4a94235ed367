// PAdES, timestamped and long-term signatures as `corvanepdf sign` makes
// them, against a timestamp authority, OCSP responder and CRL server on
// 127.0.0.1 started here: what pdfsig, mutool, openssl cms, openssl ts and
// verify say of them, and a run refused with nothing written whenever a
// server fails.
#include <gtest/gtest.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/ocsp.h>
#include <openssl/pem.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/hex.h"
#include "tests/component/signed_pdf.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"
#include "tests/timestamp/tsa_server.h"
#include "tests/verify/verify_test_support.h"

namespace corvane::test {
namespace {

// The hives of `dir` with the fixture signer and `values`, and the command
// line `arguments` with `environment` ("NAME=VALUE ...").
CommandResult corvanepdf(const ScratchDir& dir, const std::string& values, const std::string& arguments,
                         const std::string& environment = "") {
  write_user_hive(dir.path(), reg_value("UniqueContainerName", unique_container_of("Alex Signer")) + values);
  return run_without_terminal(dir.path(), CORVANEPDF_CLI, arguments, environment);
}

// The signature in the file's slot with its padding (which DER readers
// ignore); "" without a slot.
std::string signature_of(const std::string& file) {
  const auto range = byte_range_of(file);
  return range ? slot_bytes(file, *range) : "";
}

std::string sha256_hex(const void* data, std::size_t size) {
  std::uint8_t digest[32];
  EVP_Digest(data, size, digest, nullptr, EVP_sha256(), nullptr);
  return platform::lower_hex(digest);
}

// What `openssl ts -verify` says of the timestamp token `token` (DER) over
// the SHA-256 `digest` (hex), trusting the test authority of `dir`.
std::string ts_verify(const ScratchDir& dir, const std::string& token, const std::string& digest) {
  write_file(dir / "token.der", token);
  return run_command("openssl ts -verify -token_in -in " + shell_quote((dir / "token.der").string()) + " -digest " +
                     digest + " -CAfile " + shell_quote((dir / "tsa" / "root.pem").string()) + " 2>&1")
      .output;
}

// What mutool and `corvanepdf verify` say of `pdf`; `environment` is put
// before verify's command line.
std::string mutool_check(const std::filesystem::path& pdf, const std::string& password) {
  return run_command("mutool sign -v " + (password.empty() ? "" : "-p " + password + " ") + shell_quote(pdf.string()) +
                     " 2>&1")
      .output;
}
CommandResult verify_command(const std::filesystem::path& pdf, const std::string& password,
                             const std::string& environment = "") {
  return run_command(environment + " " + shell_quote(CORVANEPDF_CLI) + " verify " + shell_quote(pdf.string()) +
                     (password.empty() ? "" : " --password " + password) + " 2>&1");
}

struct CmsFacts {
  std::string signed_attributes;         // short names of the signer's signed attributes, each then " "
  std::vector<std::uint8_t> token;       // the signature-time-stamp-token, DER
  std::string signature_value_sha256;    // hex
};

CmsFacts read_cms(const std::string& der) {
  CmsFacts facts;
  const auto* in = reinterpret_cast<const unsigned char*>(der.data());
  std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)> cms(
      d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(der.size())), &CMS_ContentInfo_free);
  if (!cms) return facts;
  CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(cms.get()), 0);
  for (int i = 0; i < CMS_signed_get_attr_count(signer); ++i)
    (facts.signed_attributes += OBJ_nid2sn(OBJ_obj2nid(X509_ATTRIBUTE_get0_object(CMS_signed_get_attr(signer, i))))) += " ";
  const ASN1_OCTET_STRING* value = CMS_SignerInfo_get0_signature(signer);
  facts.signature_value_sha256 =
      sha256_hex(ASN1_STRING_get0_data(value), static_cast<std::size_t>(ASN1_STRING_length(value)));
  const int at = CMS_unsigned_get_attr_by_NID(signer, NID_id_smime_aa_timeStampToken, -1);
  if (at < 0) return facts;
  const ASN1_TYPE* token = X509_ATTRIBUTE_get0_type(CMS_unsigned_get_attr(signer, at), 0);
  if (token && token->type == V_ASN1_SEQUENCE) {
    const ASN1_STRING* s = token->value.sequence;
    facts.token.assign(ASN1_STRING_get0_data(s), ASN1_STRING_get0_data(s) + ASN1_STRING_length(s));
  }
  return facts;
}

// The options that sign with `nickname` of the store of the hierarchy in
// `ltv` and add the validation data.
std::string ltv_flags(const std::string& nickname) { return "--ltv --cert " + shell_quote(nickname); }
std::string ltv_store(const std::filesystem::path& ltv) {
  return "CORVANE_NSSDB=" + shell_quote("sql:" + (ltv / "nss").string());
}

// An answer of the hierarchy's OCSP responder signed in advance (no nonce),
// made `age_days` ago and valid for a day more: "Lee Valid" and "Cole Crl"
// are good. Written to ltv/NAME.der, which the fault NAME serves.
void presign_ocsp_answer(const std::filesystem::path& ltv, const std::string& name, long age_days) {
  const auto pem = [&ltv](const char* file, auto read) {
    std::unique_ptr<BIO, decltype(&BIO_free)> in(BIO_new_file((ltv / file).c_str(), "r"), &BIO_free);
    return in ? read(in.get(), nullptr, nullptr, nullptr) : nullptr;
  };
  std::unique_ptr<X509, decltype(&X509_free)> ca(pem("ca.pem", PEM_read_bio_X509), &X509_free),
      responder(pem("ocsp.pem", PEM_read_bio_X509), &X509_free), lee(pem("lee.pem", PEM_read_bio_X509), &X509_free),
      cole(pem("cole.pem", PEM_read_bio_X509), &X509_free);
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(pem("ocsp.key", PEM_read_bio_PrivateKey), &EVP_PKEY_free);
  ASSERT_TRUE(ca && responder && lee && cole && key);
  std::unique_ptr<OCSP_BASICRESP, decltype(&OCSP_BASICRESP_free)> basic(OCSP_BASICRESP_new(), &OCSP_BASICRESP_free);
  std::unique_ptr<ASN1_TIME, decltype(&ASN1_TIME_free)> made(X509_gmtime_adj(nullptr, -age_days * 86400), &ASN1_TIME_free),
      next(X509_gmtime_adj(nullptr, 86400), &ASN1_TIME_free);
  for (X509* cert : {lee.get(), cole.get()}) {
    OCSP_CERTID* id = OCSP_cert_to_id(nullptr, cert, ca.get());
    ASSERT_TRUE(OCSP_basic_add1_status(basic.get(), id, V_OCSP_CERTSTATUS_GOOD, 0, nullptr, made.get(), next.get()));
    OCSP_CERTID_free(id);
  }
  ASSERT_EQ(OCSP_basic_sign(basic.get(), responder.get(), key.get(), EVP_sha256(), nullptr, 0), 1);
  std::unique_ptr<OCSP_RESPONSE, decltype(&OCSP_RESPONSE_free)> response(
      OCSP_response_create(OCSP_RESPONSE_STATUS_SUCCESSFUL, basic.get()), &OCSP_RESPONSE_free);
  unsigned char* der = nullptr;
  const int length = i2d_OCSP_RESPONSE(response.get(), &der);
  ASSERT_GT(length, 0);
  write_file(ltv / (name + ".der"), std::string(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length)));
  OPENSSL_free(der);
}

TEST(LongTermSignature, ValidatorsAcceptPadesTimestampedAndLongTermSignatures) {
  ScratchDir dir("long-term");
  const TsaServer tsa(dir / "tsa");
  const auto ltv = tsa.make_ltv_hierarchy();
  presign_ocsp_answer(ltv, "ocsp-presigned", /*age_days=*/0);
  presign_ocsp_answer(ltv, "ocsp-old", /*age_days=*/400);
  const char *lee = "Lee Valid", *cole = "Cole Crl";
  const std::string ocsp = "OCSP " + tsa.url("/ocsp"), crl = "CRL " + tsa.url("/ca-crl");
  const struct {
    const char* name;
    const char* pdf;
    const char* password;
    std::string values;
    std::string flags;
    bool pades;
    bool timestamp;
    const char* format;        // as verify names it
    const char* ltv = nullptr;  // the hierarchy's signer, with its validation data
    std::string fault = "";     // of the OCSP and CRL answers
    std::string data_from = "";  // "OCSP URL" or "CRL URL": where the signer's own data came from
  } cases[] = {
      {"B-B by flag", "plain.pdf", "", "", "--pades", true, false, "PAdES B-B"},
      {"B-B by a DWORD setting, encrypted", "enc-aes-256.pdf", "user", "\"pades\"=dword:00000001\n", "", true, false,
       "PAdES B-B"},
      {"B-T", "plain.pdf", "", "", "--pades --tsa " + tsa.url("/ok"), true, true, "PAdES B-T"},
      {"B-T by settings, encrypted", "enc-rc4-128.pdf", "user",
       reg_value("pades", "1") + reg_value("tsaurl", tsa.url("/ok")), "", true, true, "PAdES B-T"},
      {"PKCS#7 with a timestamp", "plain.pdf", "", "", "--tsa " + tsa.url("/ok"), false, true,
       "PKCS#7 with a timestamp"},
      {"an 8 KB token (the authority's chain along)", "plain.pdf", "", "", "--tsa " + tsa.url("/big"), false, true,
       "PKCS#7 with a timestamp"},
      {"an 8 KB token, appended", "plain.pdf", "", "", "--append --pades --tsa " + tsa.url("/big"), true, true,
       "PAdES B-T"},
      {"B-T, authority with a password", "plain.pdf", "", reg_value("tsauser", "tsa"), "--pades --tsa " + tsa.url("/auth"),
       true, true, "PAdES B-T"},
      {"PKCS#7 with validation data", "plain.pdf", "", "", "--ltv", false, false, "PKCS#7", lee},
      {"B-LT, encrypted", "enc-aes-256.pdf", "user", "", "--ltv --pades --tsa " + tsa.url("/ok"), true, true,
       "PAdES B-LT", lee},
      {"B-LT by the setting, appended, encrypted", "enc-rc4-128.pdf", "user", reg_value("ltv", "1"),
       "--append --pades --tsa " + tsa.url("/ok"), true, true, "PAdES B-LT", lee},
      {"validation data appended to a cross-reference stream, after a certification allowing no changes",
       "xref-stream.pdf", "", "", "--append --ltv --certify 1", false, false, "PKCS#7", lee},
      // A responder that fails (each failure is in the refusal table) leaves
      // the CRL; an answer signed in advance (no nonce) serves while younger
      // than ltvmaxage.
      {"OCSP HTTP error", "plain.pdf", "", "", "--ltv", false, false, "PKCS#7", cole, "ocsp-500", crl},
      {"OCSP try later", "plain.pdf", "", "", "--ltv", false, false, "PKCS#7", cole, "ocsp-trylater", crl},
      {"OCSP answer 400 days old", "plain.pdf", "", "", "--ltv", false, false, "PKCS#7", cole, "ocsp-old", crl},
      {"OCSP answering", "plain.pdf", "", "", "--ltv", false, false, "PKCS#7", cole, "", ocsp},
      {"OCSP answer signed in advance", "plain.pdf", "", "", "--ltv", false, false, "PKCS#7", lee, "ocsp-presigned",
       ocsp},
      {"OCSP answer 400 days old, within ltvmaxage", "plain.pdf", "", reg_value("ltvmaxage", "500"), "--ltv", false,
       false, "PKCS#7", lee, "ocsp-old", ocsp},
  };
  write_file(dir / "tsa-password", "secret\n");
  const std::string password_file = "CORVANE_TSA_PASSWORD_FILE=" + shell_quote((dir / "tsa-password").string());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto out = dir / "out.pdf";
    std::filesystem::remove(out);
    std::string arguments = shell_quote(fixture_pdf(c.pdf).string()) + " -o " + shell_quote(out.string()) + " " + c.flags;
    if (*c.password) arguments += std::string(" --password ") + c.password;
    const std::string store = c.ltv ? ltv_store(ltv) + " " : "";
    if (c.ltv) arguments += " -v --cert " + shell_quote(c.ltv);
    tsa.set_fault(c.fault);
    const CommandResult r = corvanepdf(dir, c.values, "sign " + arguments, store + password_file);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    if (!c.data_from.empty()) {
      EXPECT_TRUE(contains(r.output, "validation data: " + c.data_from + ": HTTP 200, /O=LTV Test/CN=" + c.ltv))
          << r.output;
    }

    const std::string file = read_file(out);
    const std::string pdfsig = pdfsig_report(out, c.password);
    EXPECT_TRUE(contains(pdfsig, "Signature is Valid")) << pdfsig;
    EXPECT_EQ(contains(pdfsig, "ETSI.CAdES.detached"), c.pades) << pdfsig;
    const auto range = byte_range_of(file);
    ASSERT_TRUE(range);
    EXPECT_EQ(openssl_problems(file, *range, c.ltv ? ltv / "root.pem" : ""), "");
    const std::string mutool = mutool_check(out, c.password);
    // mutool calls the validation data's update "edits since signing".
    EXPECT_TRUE(contains(mutool, c.ltv ? "signature is valid" : "unchanged since signing")) << mutool;

    const CommandResult verify = verify_command(out, c.password, store);
    EXPECT_EQ(verify.exit_code, 0) << verify.output;
    EXPECT_TRUE(contains(verify.output, std::string("  Format: ") + c.format + "\n")) << verify.output;
    EXPECT_EQ(contains(verify.output, "  Signed attributes: message-digest matches, signing-certificate-v2 matches\n"),
              c.pades) << verify.output;
    EXPECT_EQ(contains(verify.output, "CN=Test Timestamp Authority, token valid, imprint matches the signature\n"),
              c.timestamp) << verify.output;
    EXPECT_EQ(contains(verify.output, "  Validation data: in the document for the whole chain\n"), c.ltv != nullptr)
        << verify.output;
    EXPECT_EQ(contains(verify.output, "  Coverage: covers its revision; after it: validation data\n"), c.ltv != nullptr)
        << verify.output;

    const CmsFacts cms = read_cms(signature_of(file));
    EXPECT_EQ(cms.signed_attributes, c.pades ? "contentType messageDigest id-smime-aa-signingCertificateV2 " : "");
    EXPECT_EQ(cms.token.empty(), !c.timestamp);
    if (!c.timestamp) continue;
    const std::string ts = ts_verify(dir, std::string(cms.token.begin(), cms.token.end()), cms.signature_value_sha256);
    EXPECT_TRUE(contains(ts, "Verification: OK")) << ts;
  }
}

// The hex SHA-256 of the bytes the file's last byte ranges cover.
std::string ranges_sha256(const std::string& file) {
  const auto range = byte_range_of(file);
  const std::string covered = range ? covered_bytes(file, *range) : "";
  return sha256_hex(covered.data(), covered.size());
}

// The DER object at the start of `bytes`, without the zeros after it.
std::string der_object(const std::string& bytes) {
  const auto* start = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* in = start;
  std::unique_ptr<ASN1_TYPE, decltype(&ASN1_TYPE_free)> object(d2i_ASN1_TYPE(nullptr, &in, static_cast<long>(bytes.size())),
                                                               &ASN1_TYPE_free);
  return object ? bytes.substr(0, static_cast<std::size_t>(in - start)) : std::string();
}

TEST(LongTermSignature, DocumentTimestampsHoldAndKeepEarlierSignatures) {
  ScratchDir dir("long-term");
  const TsaServer tsa(dir / "tsa");
  const std::string ok = " --tsa " + tsa.url("/ok");
  const auto in = dir / "in.pdf";
  const auto ltv = tsa.make_ltv_hierarchy();
  // The fixture store and the hierarchy's, trusting the authority's root.
  std::filesystem::copy(fixtures_dir() / "nss", dir / "trusting", std::filesystem::copy_options::recursive);
  for (const auto& store : {dir / "trusting", ltv / "nss"})
    ASSERT_EQ(run_command("certutil -A -n 'Test Timestamp Root' -t C,C,C -d " + shell_quote("sql:" + store.string()) +
                          " -i " + shell_quote((dir / "tsa" / "root.pem").string()))
                  .exit_code,
              0);
  const std::string trusting = "CORVANE_NSSDB=" + shell_quote("sql:" + (dir / "trusting").string());
  const struct {
    const char* name;
    const char* pdf;
    const char* password;
    std::string before;  // what makes the input from the fixture: "" (nothing), a command
    const char* field;
    const char* earlier;  // what verify says after the earlier signature; "" without one
    std::string environment = "";
  } cases[] = {
      {"plain", "plain.pdf", "", "", "Document timestamp", ""},
      {"encrypted", "enc-aes-256.pdf", "user", "", "Document timestamp", ""},
      {"after a PAdES B-T signature", "plain.pdf", "", "sign --pades", "Document timestamp",
       "  Format: PAdES B-T\n"},
      {"after a PAdES B-LT signature: B-LTA", "plain.pdf", "", "sign --pades " + ltv_flags("Lee Valid"),
       "Document timestamp", "  Format: PAdES B-LTA\n", ltv_store(ltv)},
      {"after a document timestamp", "plain.pdf", "", "timestamp", "Document timestamp (2)",
       "  Format: document timestamp\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string password = *c.password ? std::string(" --password ") + c.password : "";
    std::filesystem::copy_file(fixture_pdf(c.pdf), in, std::filesystem::copy_options::overwrite_existing);
    const bool signed_before = c.before.starts_with("sign");
    if (!c.before.empty()) {
      const CommandResult r = corvanepdf(dir, "", c.before + " " + shell_quote(fixture_pdf(c.pdf).string()) + " -o " +
                                                      shell_quote(in.string()) + ok + password,
                                         c.environment);
      ASSERT_EQ(r.exit_code, 0) << r.output;
    }
    const auto out = dir / "out.pdf";
    const CommandResult r =
        corvanepdf(dir, "", "timestamp " + shell_quote(in.string()) + " -o " + shell_quote(out.string()) + ok + password);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_TRUE(contains(r.output, " timestamped at ") && contains(r.output, " by CN=Test Timestamp Authority\n"))
        << r.output;
    const std::string before = read_file(in);
    const std::string file = read_file(out);
    EXPECT_EQ(file.substr(0, before.size()), before) << "the input's bytes are kept";
    EXPECT_EQ(qpdf_problems(out, c.password), "");
    EXPECT_TRUE(contains(file, "/Type /DocTimeStamp\n/Filter /Adobe.PPKLite\n/SubFilter /ETSI.RFC3161\n"));

    const std::string ts = ts_verify(dir, der_object(signature_of(file)), ranges_sha256(file));
    EXPECT_TRUE(contains(ts, "Verification: OK")) << ts;

    // pdfsig and mutool do not check document timestamps: pdfsig lists one
    // as "Signature Type: unknown", "not yet verified"; mutool as not signed.
    const std::string pdfsig = pdfsig_report(out, c.password);
    EXPECT_TRUE(contains(pdfsig, std::string("Signature Field Name: ") + c.field + "\n")) << pdfsig;
    EXPECT_TRUE(contains(pdfsig, "Signature Type: unknown")) << pdfsig;
    EXPECT_EQ(contains(pdfsig, "Signature is Valid"), signed_before) << pdfsig;
    const std::string mutool = mutool_check(out, c.password);
    EXPECT_TRUE(contains(mutool, "Signature is not signed.")) << mutool;
    EXPECT_EQ(contains(mutool, "The signature is valid but there have been edits since signing."), signed_before)
        << mutool;

    // Document timestamps alone are no signer's signature. The authority
    // counts as a signer: trusted in a store that trusts its root, else the
    // verdict is at best 3.
    const CommandResult verify = verify_command(out, c.password, c.environment.empty() ? trusting : c.environment);
    EXPECT_EQ(verify.exit_code, signed_before ? 0 : 1) << verify.output;
    EXPECT_TRUE(contains(verify.output, std::string("(field \"") + c.field + "\"):\n  Signer: CN=Test Timestamp Authority\n"))
        << verify.output;
    EXPECT_TRUE(contains(verify.output, "  Certificate: trusted\n  Whole file covered: yes\n"
                                        "  Format: document timestamp\n  Timestamp: "))
        << verify.output;
    const CommandResult untrusting = verify_command(out, c.password);
    EXPECT_EQ(untrusting.exit_code, signed_before ? 3 : 1) << untrusting.output;
    EXPECT_TRUE(contains(untrusting.output, "  Certificate: not trusted (the authority's chain ends at CN=Test "
                                            "Timestamp Root, which the store does not trust)\n"))
        << untrusting.output;
    // The root given for this run alone is trusted as the store's would be.
    const CommandResult given = run_command(shell_quote(CORVANEPDF_CLI) + " verify --trust " +
                                            shell_quote((dir / "tsa" / "root.pem").string()) + " " +
                                            shell_quote(out.string()) + (*c.password ? " --password " + std::string(c.password) : "") + " 2>&1");
    EXPECT_TRUE(contains(given.output, "  Certificate: trusted\n  Whole file covered: yes\n  Format: document timestamp\n"))
        << given.output;
    EXPECT_TRUE(contains(verify.output, " by CN=Test Timestamp Authority, token valid, imprint matches the signed bytes\n"))
        << verify.output;
    if (*c.earlier) {
      EXPECT_TRUE(contains(verify.output, std::string(c.earlier)) && contains(verify.output, "  After it: validation data (permitted)\n"))
          << verify.output;
    }
  }

  // The last file again: in JSON, and with a byte of its timestamped
  // revision changed.
  const auto out = dir / "out.pdf";
  const CommandResult json = run_command(shell_quote(CORVANEPDF_CLI) + " verify --json " + shell_quote(out.string()));
  EXPECT_TRUE(contains(json.output, "\"document_timestamp\":true,\"format\":\"document timestamp\",\"valid\":true,"))
      << json.output;
  EXPECT_TRUE(contains(json.output, "\"authority\":\"CN=Test Timestamp Authority\",\"valid\":true,\"imprint_matches\":true"))
      << json.output;
  std::string changed = read_file(out);
  changed.replace(changed.rfind("/Adobe.PPKLite"), 14, "/Adobe.PPKLitX");
  write_file(out, changed);
  const CommandResult verify = verify_command(out, "");
  EXPECT_EQ(verify.exit_code, 1) << verify.output;
  EXPECT_TRUE(contains(verify.output, "  Signature: invalid (the document timestamp does not hold: ") &&
              contains(verify.output, "imprint mismatch)\n"))
      << verify.output;
}

TEST(LongTermSignature, DocumentTimestampsIntoTheirOwnFileLoseNothing) {
  ScratchDir dir("timestamp-in-place");
  const TsaServer tsa(dir / "tsa");
  write_user_hive(dir.path(), "");
  // Two runs at once on each of ten files: each file holds both timestamps.
  constexpr int kFiles = 10;
  std::vector<std::string> runs;
  for (int i = 0; i < kFiles; ++i) {
    const std::string file = shell_quote((dir / ("c" + std::to_string(i) + ".pdf")).string());
    std::filesystem::copy_file(fixture_pdf("plain.pdf"), dir / ("c" + std::to_string(i) + ".pdf"));
    for (int run = 0; run < 2; ++run)
      runs.push_back(shell_quote(CORVANEPDF_CLI) + " timestamp -q " + file + " -o " + file + " --tsa " + tsa.url("/ok"));
  }
  const std::vector<CommandResult> results = run_at_once(dir.path(), runs);
  for (int i = 0; i < kFiles; ++i) {
    SCOPED_TRACE("c" + std::to_string(i) + ".pdf");
    EXPECT_EQ(results[2 * i].exit_code + results[2 * i + 1].exit_code, 0)
        << results[2 * i].output << results[2 * i + 1].output;
    const CommandResult verify = verify_command(dir / ("c" + std::to_string(i) + ".pdf"), "");
    const auto first = verify.output.find("(field \"Document timestamp\")");
    const auto second = verify.output.find("(field \"Document timestamp (2)\")");
    EXPECT_TRUE(first != std::string::npos && second != std::string::npos &&
                contains(verify.output.substr(first, second - first), "  Signature: valid\n") &&
                contains(verify.output.substr(second), "  Signature: valid\n"))
        << verify.output;
  }

  // A program that takes no lock puts another file at the name while a run
  // waits for a slow authority: that file is kept, the run refused.
  const auto file = dir / "c.pdf";
  std::filesystem::copy_file(fixture_pdf("plain.pdf"), file);
  const std::string other = read_file(fixture_pdf("annots-form.pdf"));
  write_file(dir / "other.pdf", other);
  CommandResult r;
  std::thread run([&] {
    r = corvanepdf(dir, "", "timestamp " + shell_quote(file.string()) + " -o " + shell_quote(file.string()) +
                                " --tsa " + tsa.url("/slow"));
  });
  EXPECT_TRUE(wait_for_file_lock(file, /*waiting=*/false));
  std::filesystem::rename(dir / "other.pdf", file);
  run.join();
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_TRUE(contains(r.output, ": changed while signing\n")) << r.output;
  EXPECT_EQ(read_file(file), other);
}

// `file` with an incremental update that gives its catalog a /DSS holding
// under `key` (/CRLs, /OCSPs) the item `der`, as a long-term validation
// tool adds it.
std::string with_dss_item(const std::string& file, const std::string& key, const std::string& der) {
  const int item = trailer_size(file), root = static_cast<int>(last_number_after(file, "/Root "));
  std::string catalog = object_text(file, root);
  catalog = catalog.substr(catalog.find("<<"), catalog.rfind("endobj") - catalog.find("<<"));
  catalog.insert(2, " /DSS " + std::to_string(item + 1) + " 0 R ");
  return with_update(file, {{root, catalog},
                            {item, "<< /Length " + std::to_string(der.size()) + " >>\nstream\n" + der + "\nendstream"},
                            {item + 1, "<< " + key + " [" + std::to_string(item) + " 0 R] >>"}});
}

// A CRL of the fixture CA (DER), listing the fixture signer when `revoked`.
std::string fixture_crl(const ScratchDir& dir, bool revoked) {
  const std::string pem = (fixtures_dir() / "nss" / "pem").string() + "/";
  const std::string cnf = (dir / "ca.cnf").string();
  write_file(dir / "index.txt", "");
  write_file(dir / "crlnumber", "01\n");
  write_file(cnf, "[ca]\ndefault_ca = test\n[test]\ndatabase = " + (dir / "index.txt").string() +
                      "\ncrlnumber = " + (dir / "crlnumber").string() + "\ndefault_md = sha256\ndefault_crl_days = 30\n");
  const std::string ca = " -config " + shell_quote(cnf) + " -keyfile " + shell_quote(pem + "ca.key") + " -cert " +
                         shell_quote(pem + "ca.crt");
  if (revoked) {
    EXPECT_EQ(run_command("openssl ca" + ca + " -revoke " + shell_quote(pem + "signer.crt")).exit_code, 0);
  }
  const CommandResult r = run_command("openssl ca -gencrl" + ca + " | openssl crl -outform DER -out " +
                                      shell_quote((dir / "crl.der").string()));
  EXPECT_EQ(r.exit_code, 0) << r.output;
  return read_file(dir / "crl.der");
}

TEST(LongTermSignature, VerifyReadsTheDocumentsValidationData) {
  ScratchDir dir("long-term");
  const TsaServer tsa(dir / "tsa");
  const auto signed_file = dir / "signed.pdf";
  ASSERT_EQ(corvanepdf(dir, "", "sign " + shell_quote(fixture_pdf("plain.pdf").string()) + " -o " +
                                    shell_quote(signed_file.string()) + " --pades --tsa " + tsa.url("/ok")).exit_code,
            0);
  // A signer with validation data, then the same signer again: only what
  // the document's /DSS lacks is added (the new OCSP response).
  const auto by_valid_signer = dir / "valid.pdf", twice = dir / "twice.pdf", by_revoked_signer = dir / "revoked.pdf";
  const auto ltv = tsa.make_ltv_hierarchy();
  ASSERT_EQ(corvanepdf(dir, "", "sign " + shell_quote(fixture_pdf("plain.pdf").string()) + " -o " +
                                    shell_quote(by_valid_signer.string()) + " " + ltv_flags("Lee Valid"),
                       ltv_store(ltv)).exit_code, 0);
  const CommandResult second = corvanepdf(dir, "", "sign " + shell_quote(by_valid_signer.string()) + " -o " +
                                                       shell_quote(twice.string()) + " -v " + ltv_flags("Lee Valid"),
                                          ltv_store(ltv));
  ASSERT_EQ(second.exit_code, 0) << second.output;
  EXPECT_TRUE(contains(second.output, "1 OCSP response, 1 CRL (4 of them already in the document)")) << second.output;
  // A revoked signer (sign --ltv refuses it) with the responder's answer
  // added by hand.
  ASSERT_EQ(corvanepdf(dir, "", "sign " + shell_quote(fixture_pdf("plain.pdf").string()) + " -o " +
                                    shell_quote(by_revoked_signer.string()) + " --cert 'Rae Revoked'",
                       ltv_store(ltv)).exit_code, 0);
  const CommandResult asked = run_command("openssl ocsp -issuer " + shell_quote((ltv / "ca.pem").string()) + " -cert " +
                                          shell_quote((ltv / "rae.pem").string()) + " -url " + tsa.url("/ocsp") +
                                          " -noverify -respout " + shell_quote((dir / "rae.ocsp").string()) + " 2>&1");
  ASSERT_TRUE(contains(asked.output, ": revoked")) << asked.output;
  const struct {
    const char* name;
    std::string file;
    bool revoked;
    const char* want;
  } cases[] = {
      {"a CRL that covers the signer", with_dss_item(read_file(signed_file), "/CRLs", fixture_crl(dir, false)), false,
       "  Format: PAdES B-LT\n  Signed attributes: message-digest matches, signing-certificate-v2 matches\n"
       "  Validation data: in the document for the whole chain\n"},
      {"a CRL that revokes the signer", with_dss_item(read_file(signed_file), "/CRLs", fixture_crl(dir, true)), true,
       "is revoked"},
      {"an OCSP response that revokes the signer",
       with_dss_item(read_file(by_revoked_signer), "/OCSPs", read_file(dir / "rae.ocsp")), true,
       "  Validation data: says emailAddress=rae@example.test,CN=Rae Revoked,O=LTV Test is revoked\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto out = dir / "with-dss.pdf";
    write_file(out, c.file);
    const CommandResult verify = verify_command(out, "");
    EXPECT_TRUE(contains(verify.output, c.want)) << verify.output;
    EXPECT_EQ(contains(verify.output, "  Signature: invalid (the document's validation data says the certificate"),
              c.revoked) << verify.output;
    EXPECT_EQ(contains(verify.output, "  Certificate: revoked (by the document's validation data)\n"), c.revoked);
    EXPECT_TRUE(contains(pdfsig_report(out, ""), "Signature is Valid"));
  }
}

TEST(LongTermSignature, AFailingServerRefusesTheRunAndNothingIsWritten) {
  ScratchDir dir("long-term");
  const TsaServer tsa(dir / "tsa");
  const auto ltv = tsa.make_ltv_hierarchy();
  const auto out = dir / "out.pdf";
  const std::string closed = "http://127.0.0.1:1/";
  const std::string ocsp = tsa.url("/ocsp"), crl = tsa.url("/crl"), lee = ltv_flags("Lee Valid"), store = ltv_store(ltv);
  const struct {
    const char* name;
    std::string url;  // the server that fails
    std::string values;
    const char* want;
    std::string environment = "";
    std::string validation = "";  // sign's options for validation data, instead of --tsa
    std::string fault = "";       // of the OCSP and CRL answers
  } cases[] = {
      {"down", closed, "", "Couldn't connect"},
      {"slow", tsa.url("/slow"), reg_value("tsatimeout", "1"), "no answer within 1 s"},
      {"rejection", tsa.url("/reject"), "", "rejection"},
      {"another imprint", tsa.url("/wrong"), "", "imprint"},
      {"HTTP error", tsa.url("/status500"), "", "HTTP status 500"},
      {"wrong password", tsa.url("/auth"), reg_value("tsauser", "tsa"), "HTTP status 401",
       "CORVANE_TSA_PASSWORD_FILE=" + shell_quote((dir / "tsa-password").string())},
      {"password file missing", tsa.url("/auth"), reg_value("tsauser", "tsa"), "password file",
       "CORVANE_TSA_PASSWORD_FILE=" + shell_quote((dir / "missing").string())},
      {"OCSP responder down", closed + "ocsp", "", "Couldn't connect", store, ltv_flags("Dan Down")},
      {"OCSP responder slow", ocsp, reg_value("tsatimeout", "1"), "no answer within 1 s", store, lee, "ocsp-slow"},
      {"OCSP garbage", ocsp, "", "not an OCSP response", store, lee, "ocsp-garbage"},
      {"OCSP HTTP error, appended", ocsp, "", "HTTP status 500", store, lee + " --append", "ocsp-500"},
      {"OCSP answer of another responder", ocsp, "", "neither the issuer nor its OCSP responder", store, lee,
       "ocsp-foreign"},
      {"CRL garbage, appended", crl, "", "not a CRL", store, lee + " --append", "crl-garbage"},
      {"OCSP answer older than ltvmaxage", ocsp, "", "more than 7 days ago (ltvmaxage)", store, lee, "ocsp-old"},
      {"OCSP and the CRL after it fail", tsa.url("/ca-crl"), "", "HTTP status 500; validation data from", store,
       ltv_flags("Cole Crl"), "ocsp-500 ca-crl-404"},
      {"the signer is revoked", ocsp, "", "Rae Revoked/emailAddress=rae@example.test is revoked (OCSP from", store,
       ltv_flags("Rae Revoked")},
  };
  presign_ocsp_answer(ltv, "ocsp-old", /*age_days=*/400);
  write_file(dir / "tsa-password", "wrong\n");
  for (const std::string command : {"sign --pades", "timestamp"})
    for (const auto& c : cases) {
      if (!c.validation.empty() && command == "timestamp") continue;
      SCOPED_TRACE(command + ": " + c.name);
      tsa.set_fault(c.fault);
      const CommandResult r = corvanepdf(dir, c.values,
                                         command + " " + shell_quote(fixture_pdf("plain.pdf").string()) + " -o " +
                                             shell_quote(out.string()) + " -v " +
                                             (c.validation.empty() ? "--tsa " + c.url : c.validation),
                                         c.environment);
      EXPECT_EQ(r.exit_code, 1) << r.output;
      const std::string last = r.output.substr(r.output.rfind('\n', r.output.size() - 2) + 1);
      EXPECT_TRUE(last.starts_with("corvanepdf: ") && contains(last, c.want)) << last;
      if (contains(c.want, "password file")) continue;  // refused before the authority is asked
      EXPECT_TRUE(contains(r.output, " " + c.url + ": HTTP ")) << r.output;
      EXPECT_TRUE(contains(last, c.url)) << last;
      EXPECT_FALSE(std::filesystem::exists(out));
    }
}

}  // namespace
}  // namespace corvane::test
