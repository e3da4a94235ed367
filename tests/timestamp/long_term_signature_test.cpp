// PAdES, timestamped and long-term signatures as `corvanepdf sign` makes
// them, against a timestamp authority, OCSP responder and CRL server on
// 127.0.0.1: what pdfsig, mutool, openssl cms, openssl ts and verify say of
// them, and a run refused with nothing written whenever a server fails.
#include <gmock/gmock.h>
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

#include "tests/component/signed_pdf.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"
#include "tests/timestamp/tsa_server.h"

namespace corvane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

::testing::Matcher<std::string> has(const std::string& part, bool present = true) {
  if (present) return HasSubstr(part);
  return ::testing::Not(HasSubstr(part));
}

// corvanepdf ARGUMENTS with the fixture signer and `values` in the hives of
// `dir`, and `environment` ("NAME=VALUE ...").
CommandResult corvanepdf(const ScratchDir& dir, const std::string& values, const std::string& arguments,
                         const std::string& environment = "") {
  write_user_hive(dir.path(), reg_value("UniqueContainerName", unique_container_of("Alex Signer")) + values);
  return run_without_terminal(dir.path(), CORVANEPDF_CLI, arguments, environment);
}
std::string q(const fs::path& path) { return shell_quote(path.string()); }
std::string password_option(const char* password, const char* flag = " --password ") {
  return *password ? flag + std::string(password) : "";
}

// What `openssl ts -verify` says of the token (DER, zeros after it allowed)
// over `data`, trusting the test authority of `dir`.
std::string ts_verify(const ScratchDir& dir, const std::string& token, const std::string& data) {
  write_file(dir / "token.der", token);
  write_file(dir / "stamped.bin", data);
  return run_command("openssl ts -verify -token_in -in " + q(dir / "token.der") + " -data " + q(dir / "stamped.bin") +
                     " -CAfile " + q(dir / "tsa" / "root.pem") + " 2>&1").output;
}
std::string mutool_check(const fs::path& pdf, const char* password) {
  return run_command("mutool sign -v " + password_option(password, "-p ") + " " + q(pdf) + " 2>&1").output;
}
// `corvanepdf verify`, with `environment` put before its command line.
CommandResult verify_command(const fs::path& pdf, const char* password, const std::string& environment = "") {
  return run_command(environment + " " + shell_quote(CORVANEPDF_CLI) + " verify " + q(pdf) +
                     password_option(password) + " 2>&1");
}

struct CmsFacts {
  std::string signed_attributes;       // short names of the signer's signed attributes, each then " "
  std::string token;                   // the signature-time-stamp-token, DER
  std::string signature_value;
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
  facts.signature_value.assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                               static_cast<std::size_t>(ASN1_STRING_length(value)));
  const int at = CMS_unsigned_get_attr_by_NID(signer, NID_id_smime_aa_timeStampToken, -1);
  const ASN1_TYPE* token = at < 0 ? nullptr : X509_ATTRIBUTE_get0_type(CMS_unsigned_get_attr(signer, at), 0);
  if (token && token->type == V_ASN1_SEQUENCE)
    facts.token.assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(token->value.sequence)),
                       static_cast<std::size_t>(ASN1_STRING_length(token->value.sequence)));
  return facts;
}

// Sign with `nickname` of the hierarchy's store and add the validation data.
std::string ltv_flags(const std::string& nickname) { return "--ltv --cert " + shell_quote(nickname); }
std::string ltv_store(const fs::path& ltv) { return "CORVANE_NSSDB=" + shell_quote("sql:" + (ltv / "nss").string()); }

// An answer of the hierarchy's OCSP responder signed in advance (no nonce),
// made `age_days` ago and valid for a day more: "Lee Valid" and "Cole Crl"
// are good. Written to ltv/ocsp-old.der, which the fault ocsp-old serves.
void presign_ocsp_answer(const fs::path& ltv, long age_days) {
  const auto pem = [&ltv](const char* file, auto read) {
    std::unique_ptr<BIO, decltype(&BIO_free)> in(BIO_new_file((ltv / file).c_str(), "r"), &BIO_free);
    return in ? read(in.get(), nullptr, nullptr, nullptr) : nullptr;
  };
  using Cert = std::unique_ptr<X509, decltype(&X509_free)>;
  Cert ca(pem("ca.pem", PEM_read_bio_X509), &X509_free), responder(pem("ocsp.pem", PEM_read_bio_X509), &X509_free),
      lee(pem("lee.pem", PEM_read_bio_X509), &X509_free), cole(pem("cole.pem", PEM_read_bio_X509), &X509_free);
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
  write_file(ltv / "ocsp-old.der", std::string(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length)));
  OPENSSL_free(der);
}

TEST(LongTermSignature, ValidatorsAcceptPadesTimestampedAndLongTermSignatures) {
  ScratchDir dir("long-term");
  const TsaServer tsa(dir / "tsa");
  const auto ltv = tsa.make_ltv_hierarchy();
  presign_ocsp_answer(ltv, /*age_days=*/400);
  const char *lee = "Lee Valid", *cole = "Cole Crl", *b_b = "PAdES B-B", *b_t = "PAdES B-T", *b_lt = "PAdES B-LT",
             *p7 = "PKCS#7", *p7_ts = "PKCS#7 with a timestamp";
  const std::string ocsp = "OCSP " + tsa.url("/ocsp"), crl = "CRL " + tsa.url("/ca-crl"), ok = " --tsa " + tsa.url("/ok");
  const struct {
    const char *name, *pdf, *password;
    std::string values, flags;
    bool pades, timestamp;
    const char* format;         // as verify names it
    const char* ltv = nullptr;  // the hierarchy's signer, with its validation data
    std::string fault = "";     // of the OCSP and CRL answers
    std::string data_from = "";  // "OCSP URL" or "CRL URL": where the signer's own data came from
  } cases[] = {
      {"B-B by a DWORD setting, encrypted", "enc-aes-256.pdf", "user", "\"pades\"=dword:00000001\n", "", true, false, b_b},
      {"B-T by settings, encrypted", "enc-rc4-128.pdf", "user", reg_value("pades", "1") + reg_value("tsaurl", tsa.url("/ok")),
       "", true, true, b_t},
      {"an 8 KB token (the chain along)", "plain.pdf", "", "", "--tsa " + tsa.url("/big"), false, true, p7_ts},
      {"an 8 KB token, appended", "plain.pdf", "", "", "--append --pades --tsa " + tsa.url("/big"), true, true, b_t},
      {"B-T, authority with a password", "plain.pdf", "", reg_value("tsauser", "tsa"), "--pades --tsa " + tsa.url("/auth"),
       true, true, b_t},
      {"B-LT, encrypted", "enc-aes-256.pdf", "user", "", "--ltv --pades" + ok, true, true, b_lt, lee},
      {"B-LT by the setting, appended, encrypted", "enc-rc4-128.pdf", "user", reg_value("ltv", "1"),
       "--append --pades" + ok, true, true, b_lt, lee},
      {"validation data after an xref stream and a P1 certification", "xref-stream.pdf", "", "",
       "--append --ltv --certify 1", false, false, p7, lee},
      // A failing responder leaves the CRL; an answer signed in advance
      // (no nonce) serves while younger than ltvmaxage.
      {"OCSP answer 400 days old", "plain.pdf", "", "", "--ltv", false, false, p7, cole, "ocsp-old", crl},
      {"OCSP answering", "plain.pdf", "", "", "--ltv", false, false, p7, cole, "", ocsp},
      {"OCSP answer 400 days old, within ltvmaxage", "plain.pdf", "", reg_value("ltvmaxage", "500"), "--ltv", false,
       false, p7, lee, "ocsp-old", ocsp},
  };
  write_file(dir / "tsa-password", "secret\n");
  const std::string password_file = "CORVANE_TSA_PASSWORD_FILE=" + q(dir / "tsa-password");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto out = dir / "out.pdf";
    fs::remove(out);
    const std::string store = c.ltv ? ltv_store(ltv) + " " : "";
    tsa.set_fault(c.fault);
    const CommandResult r = corvanepdf(dir, c.values,
                                       "sign " + q(fixture_pdf(c.pdf)) + " -o " + q(out) + " " + c.flags +
                                           password_option(c.password) + (c.ltv ? " -v --cert " + shell_quote(c.ltv) : ""),
                                       store + password_file);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    if (!c.data_from.empty()) {
      EXPECT_THAT(r.output, HasSubstr("validation data: " + c.data_from + ": HTTP 200, /O=LTV Test/CN=" + c.ltv));
    }

    const std::string file = read_file(out);
    EXPECT_THAT(pdfsig_report(out, c.password), HasSubstr("Signature is Valid"));
    const auto range = byte_range_of(file);
    ASSERT_TRUE(range);
    EXPECT_EQ(openssl_problems(file, *range, c.ltv ? ltv / "root.pem" : ""), "");
    // mutool calls the validation data's update "edits since signing".
    EXPECT_THAT(mutool_check(out, c.password), HasSubstr(c.ltv ? "signature is valid" : "unchanged since signing"));

    const CommandResult verify = verify_command(out, c.password, store);
    EXPECT_EQ(verify.exit_code, 0) << verify.output;
    EXPECT_THAT(verify.output, HasSubstr(std::string("  Format: ") + c.format + "\n"));
    EXPECT_THAT(verify.output, has("  Signed attributes: message-digest matches, signing-certificate-v2 matches\n", c.pades));
    EXPECT_THAT(verify.output, has("CN=Test Timestamp Authority, token valid, imprint matches the signature\n", c.timestamp));
    EXPECT_THAT(verify.output, has("  Validation data: in the document for the whole chain\n", c.ltv));
    EXPECT_THAT(verify.output, has("  Coverage: covers its revision; after it: validation data\n", c.ltv));

    const CmsFacts cms = read_cms(slot_bytes(file, *range));
    EXPECT_EQ(cms.signed_attributes, c.pades ? "contentType messageDigest id-smime-aa-signingCertificateV2 " : "");
    EXPECT_EQ(cms.token.empty(), !c.timestamp);
    if (c.timestamp) { EXPECT_THAT(ts_verify(dir, cms.token, cms.signature_value), HasSubstr("Verification: OK")); }
  }
}

TEST(LongTermSignature, DocumentTimestampsHoldAndKeepEarlierSignatures) {
  ScratchDir dir("long-term");
  const TsaServer tsa(dir / "tsa");
  const std::string ok = " --tsa " + tsa.url("/ok");
  const auto in = dir / "in.pdf", out = dir / "out.pdf", root = dir / "tsa" / "root.pem";
  const auto ltv = tsa.make_ltv_hierarchy();
  // The fixture store and the hierarchy's, trusting the authority's root.
  fs::copy(fixtures_dir() / "nss", dir / "trusting", fs::copy_options::recursive);
  for (const auto& store : {dir / "trusting", ltv / "nss"})
    ASSERT_EQ(run_command("certutil -A -n 'Test Timestamp Root' -t C,C,C -d " + shell_quote("sql:" + store.string()) +
                          " -i " + q(root)).exit_code, 0);
  const std::string trusting = "CORVANE_NSSDB=" + shell_quote("sql:" + (dir / "trusting").string());
  const struct {
    const char *name, *pdf, *password;
    std::string before;  // the command that makes the input from the fixture; "" for none
    const char* earlier;  // what verify says after the earlier signature; "" without one
    std::string environment = "";
  } cases[] = {
      {"encrypted", "enc-aes-256.pdf", "user", "", ""},
      {"after a PAdES B-T signature", "plain.pdf", "", "sign --pades", "  Format: PAdES B-T\n"},
      {"after a PAdES B-LT signature: B-LTA", "plain.pdf", "", "sign --pades " + ltv_flags("Lee Valid"),
       "  Format: PAdES B-LTA\n", ltv_store(ltv)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string password = password_option(c.password);
    fs::copy_file(fixture_pdf(c.pdf), in, fs::copy_options::overwrite_existing);
    const bool signed_before = c.before.starts_with("sign");
    if (!c.before.empty()) {
      ASSERT_EQ(corvanepdf(dir, "", c.before + " " + q(fixture_pdf(c.pdf)) + " -o " + q(in) + ok + password,
                           c.environment).exit_code, 0);
    }
    const CommandResult r = corvanepdf(dir, "", "timestamp " + q(in) + " -o " + q(out) + ok + password);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_THAT(r.output, HasSubstr(" timestamped at "));
    EXPECT_THAT(r.output, HasSubstr(" by CN=Test Timestamp Authority\n"));
    const std::string before = read_file(in), file = read_file(out);
    EXPECT_EQ(file.substr(0, before.size()), before) << "the input's bytes are kept";
    EXPECT_EQ(qpdf_problems(out, c.password), "");
    EXPECT_THAT(file, HasSubstr("/Type /DocTimeStamp\n/Filter /Adobe.PPKLite\n/SubFilter /ETSI.RFC3161\n"));
    const auto range = byte_range_of(file);
    ASSERT_TRUE(range);
    EXPECT_THAT(ts_verify(dir, slot_bytes(file, *range), covered_bytes(file, *range)), HasSubstr("Verification: OK"));

    // pdfsig and mutool do not check document timestamps, only the earlier
    // signature, which they still accept.
    EXPECT_THAT(pdfsig_report(out, c.password), has("Signature is Valid", signed_before));
    EXPECT_THAT(mutool_check(out, c.password),
                has("The signature is valid but there have been edits since signing.", signed_before));

    // Document timestamps alone are no signer's signature. The authority
    // counts as a signer: trusted in a store that trusts its root, else the
    // verdict is at best 3.
    const CommandResult verify = verify_command(out, c.password, c.environment.empty() ? trusting : c.environment);
    EXPECT_EQ(verify.exit_code, signed_before ? 0 : 1) << verify.output;
    EXPECT_THAT(verify.output, HasSubstr("(field \"Document timestamp\"):\n  Signer: CN=Test Timestamp Authority\n"));
    EXPECT_THAT(verify.output,
                HasSubstr("  Certificate: trusted\n  Whole file covered: yes\n  Format: document timestamp\n  Timestamp: "));
    EXPECT_THAT(verify.output, HasSubstr(" by CN=Test Timestamp Authority, token valid, imprint matches the signed bytes\n"));
    if (*c.earlier) {
      EXPECT_THAT(verify.output, HasSubstr(c.earlier));
      EXPECT_THAT(verify.output, HasSubstr("  After it: validation data (permitted)\n"));
    }
    const CommandResult untrusting = verify_command(out, c.password);
    EXPECT_EQ(untrusting.exit_code, signed_before ? 3 : 1) << untrusting.output;
    EXPECT_THAT(untrusting.output, HasSubstr("  Certificate: not trusted (the authority's chain ends at CN=Test "
                                             "Timestamp Root, which the store does not trust)\n"));
  }

  // The last file again: in JSON, and with a byte of its timestamped
  // revision changed.
  const std::string json = run_command(shell_quote(CORVANEPDF_CLI) + " verify --json " + q(out)).output;
  EXPECT_THAT(json, HasSubstr("\"document_timestamp\":true,\"format\":\"document timestamp\",\"valid\":true,"));
  EXPECT_THAT(json, HasSubstr("\"authority\":\"CN=Test Timestamp Authority\",\"valid\":true,\"imprint_matches\":true"));
  std::string changed = read_file(out);
  changed.replace(changed.rfind("/Adobe.PPKLite"), 14, "/Adobe.PPKLitX");
  write_file(out, changed);
  const CommandResult verify = verify_command(out, "");
  EXPECT_EQ(verify.exit_code, 1) << verify.output;
  EXPECT_THAT(verify.output, HasSubstr("  Signature: invalid (the document timestamp does not hold: "));
  EXPECT_THAT(verify.output, HasSubstr("imprint mismatch)\n"));
}

TEST(LongTermSignature, DocumentTimestampsIntoTheirOwnFileLoseNothing) {
  ScratchDir dir("timestamp-in-place");
  const TsaServer tsa(dir / "tsa");
  write_user_hive(dir.path(), "");
  // Two runs at once on each of ten files: each file holds both timestamps.
  constexpr int kFiles = 10;
  std::vector<std::string> runs;
  for (int i = 0; i < kFiles; ++i) {
    const auto file = dir / ("c" + std::to_string(i) + ".pdf");
    fs::copy_file(fixture_pdf("plain.pdf"), file);
    for (int run = 0; run < 2; ++run)
      runs.push_back(shell_quote(CORVANEPDF_CLI) + " timestamp -q " + q(file) + " -o " + q(file) + " --tsa " + tsa.url("/ok"));
  }
  const std::vector<CommandResult> results = run_at_once(dir.path(), runs);
  for (int i = 0; i < kFiles; ++i) {
    SCOPED_TRACE("c" + std::to_string(i) + ".pdf");
    EXPECT_EQ(results[2 * i].exit_code + results[2 * i + 1].exit_code, 0)
        << results[2 * i].output << results[2 * i + 1].output;
    const std::string verify = verify_command(dir / ("c" + std::to_string(i) + ".pdf"), "").output;
    EXPECT_THAT(verify, HasSubstr("(field \"Document timestamp\"):\n"));
    EXPECT_THAT(verify, HasSubstr("(field \"Document timestamp (2)\"):\n"));
    EXPECT_EQ(count_of(verify, "  Signature: valid\n"), 2u) << verify;
  }

  // A program that takes no lock puts another file at the name while a run
  // waits for a slow authority: that file is kept, the run refused.
  const auto file = dir / "c.pdf";
  fs::copy_file(fixture_pdf("plain.pdf"), file);
  const std::string other = read_file(fixture_pdf("annots-form.pdf"));
  write_file(dir / "other.pdf", other);
  CommandResult r;
  std::thread run([&] { r = corvanepdf(dir, "", "timestamp " + q(file) + " -o " + q(file) + " --tsa " + tsa.url("/slow")); });
  EXPECT_TRUE(wait_for_file_lock(file, /*waiting=*/false));
  fs::rename(dir / "other.pdf", file);
  run.join();
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_THAT(r.output, HasSubstr(": changed while signing\n"));
  EXPECT_EQ(read_file(file), other);
}

// `file` with an update that gives its catalog a /DSS holding under `key`
// (/CRLs, /OCSPs) the items `ders`, as a long-term validation tool adds them.
std::string with_dss(const std::string& file, const std::string& key, const std::vector<std::string>& ders) {
  const int first = static_cast<int>(last_number_after(file, "/Size ")), root = static_cast<int>(last_number_after(file, "/Root "));
  const int dss = first + static_cast<int>(ders.size());
  std::string catalog = object_text(file, root), items;
  catalog = catalog.substr(catalog.find("<<"), catalog.rfind("endobj") - catalog.find("<<"));
  catalog.insert(2, " /DSS " + std::to_string(dss) + " 0 R ");
  std::vector<UpdateObject> objects = {{root, catalog}, {dss, ""}};
  for (int item = first; item < dss; ++item) {
    objects.push_back({item, pdf_stream(ders[static_cast<std::size_t>(item - first)])});
    items += std::to_string(item) + " 0 R ";
  }
  objects[1].body = "<< " + key + " [" + items + "] >>";
  return with_update(file, objects);
}

TEST(LongTermSignature, VerifyReadsTheDocumentsValidationData) {
  ScratchDir dir("long-term");
  const TsaServer tsa(dir / "tsa");
  const auto ltv = tsa.make_ltv_hierarchy();
  const std::string plain = q(fixture_pdf("plain.pdf")), store = ltv_store(ltv);
  const auto valid = dir / "valid.pdf", revoked = dir / "revoked.pdf";
  // A signer with validation data, then the same signer again: only what
  // the document's /DSS lacks is added (the new OCSP response).
  ASSERT_EQ(corvanepdf(dir, "", "sign " + plain + " -o " + q(valid) + " " + ltv_flags("Lee Valid"), store).exit_code, 0);
  const CommandResult second =
      corvanepdf(dir, "", "sign " + q(valid) + " -o " + q(dir / "twice.pdf") + " -v " + ltv_flags("Lee Valid"), store);
  ASSERT_EQ(second.exit_code, 0) << second.output;
  EXPECT_THAT(second.output, HasSubstr("1 OCSP response, 1 CRL (4 of them already in the document)"));
  // A revoked signer (sign --ltv refuses it) with the responder's answer
  // or the hierarchy's CRLs added by hand.
  ASSERT_EQ(corvanepdf(dir, "", "sign " + plain + " -o " + q(revoked) + " --cert 'Rae Revoked'", store).exit_code, 0);
  EXPECT_THAT(run_command("openssl ocsp -issuer " + q(ltv / "ca.pem") + " -cert " + q(ltv / "rae.pem") + " -url " +
                          tsa.url("/ocsp") + " -noverify -respout " + q(dir / "rae.ocsp") + " 2>&1").output,
              HasSubstr(": revoked"));
  const std::vector<std::string> crls = {read_file(ltv / "crl" / "ca.crl"), read_file(ltv / "crl" / "root.crl")};
  const struct {
    const char* key;
    std::vector<std::string> ders;
    const char* want;
  } cases[] = {
      {"/CRLs", crls, "is revoked"},
      {"/OCSPs", {read_file(dir / "rae.ocsp")},
       "  Validation data: says emailAddress=rae@example.test,CN=Rae Revoked,O=LTV Test is revoked\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const auto out = dir / "with-dss.pdf";
    write_file(out, with_dss(read_file(revoked), c.key, c.ders));
    const std::string verify = verify_command(out, "", store).output;
    EXPECT_THAT(verify, HasSubstr(c.want));
    EXPECT_THAT(verify, HasSubstr("  Signature: invalid (the document's validation data says the certificate"));
    EXPECT_THAT(verify, HasSubstr("  Certificate: revoked (by the document's validation data)\n"));
  }
}

TEST(LongTermSignature, AFailingServerRefusesTheRunAndNothingIsWritten) {
  ScratchDir dir("long-term");
  const TsaServer tsa(dir / "tsa");
  const auto ltv = tsa.make_ltv_hierarchy();
  const auto out = dir / "out.pdf";
  const std::string closed = "http://127.0.0.1:1/", slow = reg_value("tsatimeout", "1"), user = reg_value("tsauser", "tsa");
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
      {"slow", tsa.url("/slow"), slow, "no answer within 1 s"},
      {"rejection", tsa.url("/reject"), "", "rejection"},
      {"another imprint", tsa.url("/wrong"), "", "imprint"},
      {"HTTP error", tsa.url("/status500"), "", "HTTP status 500"},
      {"wrong password", tsa.url("/auth"), user, "HTTP status 401", "CORVANE_TSA_PASSWORD_FILE=" + q(dir / "tsa-password")},
      {"password file missing", tsa.url("/auth"), user, "password file", "CORVANE_TSA_PASSWORD_FILE=" + q(dir / "missing")},
      {"OCSP responder slow", ocsp, slow, "no answer within 1 s", store, lee, "ocsp-slow"},
      {"OCSP garbage", ocsp, "", "not an OCSP response", store, lee, "ocsp-garbage"},
      {"OCSP answer of another responder", ocsp, "", "neither the issuer nor its OCSP responder", store, lee, "ocsp-foreign"},
      {"CRL garbage, appended", crl, "", "not a CRL", store, lee + " --append", "crl-garbage"},
      {"OCSP answer older than ltvmaxage", ocsp, "", "more than 7 days ago (ltvmaxage)", store, lee, "ocsp-old"},
      {"OCSP and the CRL after it fail", tsa.url("/ca-crl"), "", "HTTP status 500; validation data from", store,
       ltv_flags("Cole Crl"), "ocsp-500 ca-crl-404"},
      {"the signer is revoked", ocsp, "", "Rae Revoked/emailAddress=rae@example.test is revoked (OCSP from", store,
       ltv_flags("Rae Revoked")},
  };
  presign_ocsp_answer(ltv, /*age_days=*/400);
  write_file(dir / "tsa-password", "wrong\n");
  for (const std::string command : {"sign --pades", "timestamp"})
    for (const auto& c : cases) {
      if (!c.validation.empty() && command == "timestamp") continue;
      SCOPED_TRACE(command + ": " + c.name);
      tsa.set_fault(c.fault);
      const CommandResult r = corvanepdf(dir, c.values, command + " " + q(fixture_pdf("plain.pdf")) + " -o " + q(out) +
                                                            " -v " + (c.validation.empty() ? "--tsa " + c.url : c.validation),
                                         c.environment);
      EXPECT_EQ(r.exit_code, 1) << r.output;
      const std::string last = r.output.substr(r.output.rfind('\n', r.output.size() - 2) + 1);
      EXPECT_TRUE(last.starts_with("corvanepdf: ")) << last;
      EXPECT_THAT(last, HasSubstr(c.want));
      if (contains(c.want, "password file")) continue;  // refused before the authority is asked
      EXPECT_THAT(r.output, HasSubstr(" " + c.url + ": HTTP "));
      EXPECT_THAT(last, HasSubstr(c.url));
      EXPECT_FALSE(fs::exists(out));
    }
}

}  // namespace
}  // namespace corvane::test
