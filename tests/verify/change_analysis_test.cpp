// What verify says of the revisions after a signature, on hand-made updates of a small form (a text field "Amount", a
// prepared signature field "Approval", a note) signed by "First" in its second revision, as an approval or a
// certification at /P 1, 2 or 3. One table per class of attack: updates that must not pass and near misses that must.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "tests/verify/verify_test_support.h"
#include "verify/verify_document.h"

namespace corvane::verify {
namespace {

using test::pdf_stream;
using test::UpdateObject;

const std::string kContent = "0 0 1 rg 10 60 80 40 re f";

std::string page(const std::string& annots) {
  return "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R /Resources << >> /Annots [" + annots +
         "] >>";
}

std::string catalog(const std::string& fields, const std::string& extra = "") {
  return "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [" + fields + "] /SigFlags 3 >> " + extra + " >>";
}

std::string appearance(const std::string& drawing) {
  return pdf_stream(drawing, "/Type /XObject /Subtype /Form /BBox [0 0 100 30]");
}

// The text field "Amount" with its widget; `extra` adds entries.
std::string amount(const std::string& value = "(100)", const std::string& widget = "5 0 R", const std::string& extra = "") {
  return "<< /Type /Annot /Subtype /Widget /FT /Tx /T (Amount) /V " + value +
         " /Rect [10 150 110 170] /P 3 0 R /AP << /N " + widget + " >> " + extra + " >>";
}

std::string first_field(const std::string& lock) {
  return "<< /Type /Annot /Subtype /Widget /FT /Sig /T (First) /V 10 0 R /Rect [0 0 0 0] /P 3 0 R " + lock + " >>";
}

// The /Reference entry of a signature that certifies at /P `p`.
std::string docmdp(int p) {
  return "/Reference [<< /Type /SigRef /TransformMethod /DocMDP /TransformParams << /Type /TransformParams /P " +
         std::to_string(p) + " /V /1.2 >> >>]";
}

// The form, signed by "First" in its second revision; certified at `certification` (1 to 3) when not 0,
// locking with `lock` (a /Lock entry).
std::string signed_form(int certification, const std::string& lock) {
  const std::string base = test::make_pdf({
      catalog("6 0 R 7 0 R"),
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      page("6 0 R 7 0 R 8 0 R"),
      pdf_stream(kContent),
      appearance("0 g 10 10 m 50 20 l S"),
      amount(),
      "<< /Type /Annot /Subtype /Widget /FT /Sig /T (Approval) /Rect [10 10 110 40] /P 3 0 R >>",
      "<< /Type /Annot /Subtype /Text /Rect [150 150 170 170] /Contents (Note) >>",
  });
  const bool certifies = certification != 0;
  return test::with_signed_update(base, {{1, catalog("6 0 R 7 0 R 9 0 R", certifies ? "/Perms << /DocMDP 10 0 R >>" : "")},
                                         {3, page("6 0 R 7 0 R 8 0 R 9 0 R")},
                                         {9, first_field(lock)},
                                         {10, test::signature_dictionary(certifies ? docmdp(certification) : "")}});
}

// The catalog of a later revision of `pdf`, keeping its certification and its validation data.
std::string later_catalog(const std::string& pdf, const std::string& fields, const std::string& extra = "") {
  std::string kept = extra;
  for (const char* entry : {"/Perms << /DocMDP 10 0 R >>", "/DSS 13 0 R"})
    if (test::contains(pdf, entry)) kept += std::string(" ") + entry;
  return catalog(fields, kept);
}

// The body of object `number` as `pdf` last wrote it.
std::string body_of(const std::string& pdf, int number) {
  const std::string header = "\n" + std::to_string(number) + " 0 obj\n";
  const std::size_t start = pdf.rfind(header) + header.size();
  return pdf.substr(start, pdf.find("\nendobj", start) - start);
}

using Update = std::function<std::string(const std::string&)>;

Update objects(std::vector<UpdateObject> list, const std::string& trailer = "") {
  return [list, trailer](const std::string& pdf) { return test::with_update(pdf, list, trailer); };
}

// A second signer "Second" in a new field 11 with signature 12, on the page and in the form; with
// `certifying`, its signature claims to certify the document.
Update second_signer(bool certifying = false) {
  return [certifying](const std::string& pdf) {
    return test::with_signed_update(
        pdf,
        {{1, certifying ? catalog("6 0 R 7 0 R 9 0 R 11 0 R", "/Perms << /DocMDP 12 0 R >>")
                        : later_catalog(pdf, "6 0 R 7 0 R 9 0 R 11 0 R")},
         {3, page("6 0 R 7 0 R 8 0 R 9 0 R 11 0 R")},
         {11, "<< /Type /Annot /Subtype /Widget /FT /Sig /T (Second) /V 12 0 R /Rect [120 10 190 40] /P 3 0 R >>"},
         {12, test::signature_dictionary(certifying ? docmdp(3) : "")}},
        "ecsigner");
  };
}

// A new field 11 (no signature) listed on the page and in the form.
Update new_field(const std::string& field) {
  return [field](const std::string& pdf) {
    return test::with_update(pdf, {{1, later_catalog(pdf, "6 0 R 7 0 R 9 0 R 11 0 R")},
                                   {3, page("6 0 R 7 0 R 8 0 R 9 0 R 11 0 R")},
                                   {11, field}});
  };
}

Update new_annotation(const std::string& annotation) {
  return objects({{3, page("6 0 R 7 0 R 8 0 R 9 0 R 11 0 R")}, {11, annotation}});
}

struct Case {
  const char* what;
  Update update;
  ChangeLevel want_level;
  bool want_permitted;
  const char* want_text;  // part of the change verify names
  int certification = 0;
  std::string lock = "";
  PermitOptions permit = {};
  const char* signer = "First";  // the signature whose later changes are checked
};

// Verifies each case's file and checks what follows the case's signer.
void check(const std::vector<Case>& cases) {
  const test::ScratchDir dir("change-analysis");
  std::map<std::pair<int, std::string>, std::string> forms;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto& form = forms[{c.certification, c.lock}];
    if (form.empty()) form = signed_form(c.certification, c.lock);
    const auto file = dir / "changed.pdf";
    test::write_file(file, c.update(form));
    EXPECT_EQ(test::qpdf_problems(file), "");
    const DocumentReport report = verify_document(file.string(), "", c.permit);
    ASSERT_TRUE(report.opened) << report.error;
    const SignatureReport* judged = nullptr;
    for (const SignatureReport& s : report.signatures) {
      if (c.want_level != ChangeLevel::kOther) { EXPECT_TRUE(s.valid) << s.field_name << ": " << s.problem; }
      if (s.field_name == c.signer) judged = &s;
    }
    ASSERT_NE(judged, nullptr);
    EXPECT_TRUE(judged->valid) << judged->problem;
    const AfterSignature& after = judged->after;
    const LaterChange* shown = after.shown();
    std::string text = shown == nullptr ? "" : shown->object + " " + shown->what + " / " + after.refusal;
    for (const std::string& key : after.document_information) text += " " + key;
    EXPECT_EQ(after.level, c.want_level) << change_level_name(after.level) << ": " << text;
    EXPECT_EQ(after.permitted, c.want_permitted) << text;
    EXPECT_NE(text.find(c.want_text), std::string::npos) << text;
  }
}

// Incremental saving: the page's content replaced, given a new generation, freed; the document
// information and the validation data may change.
TEST(ChangeAnalysis, ContentMayNotChange) {
  const std::string xmp = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
                          "<x:xmpmeta/></x:xmpmeta><?xpacket end='w'?>";
  const std::string dss = "/DSS << /Certs [13 0 R] /VRI << /ABCD << /Cert [13 0 R] >> >> >>";
  check({
      {"the content in place", objects({{4, pdf_stream("BT /F1 24 Tf 20 80 Td (PAID) Tj ET")}}), ChangeLevel::kOther,
       false, "4 0 the content of page 1 changed"},
      {"a new generation of the content", objects({{4, pdf_stream("1 0 0 rg 0 0 200 200 re f"), 1}}),
       ChangeLevel::kOther, false, "4 1 new generation of the content of page 1"},
      {"an update that only frees the content", objects({{4, ""}}), ChangeLevel::kOther, false,
       "4 0 freed: the content of page 1"},
      {"the page's resources", objects({{3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
                                            "/Resources << /XObject << /X 5 0 R >> >> /Annots [6 0 R 7 0 R 8 0 R 9 0 R] >>"}}),
       ChangeLevel::kOther, false, "page 1: /Resources"},
      {"a freed number defined again, where an unchanged page refers to it", [](const std::string& pdf) {
         const std::string second = second_signer()(test::with_update(pdf, {{8, ""}}));
         return test::with_update(second, {{8, "<< /Type /Annot /Subtype /FreeText /Rect [10 60 190 140] "
                                                "/Contents (PAID) /DA (/Helv 24 Tf) >>"}});
       },
       ChangeLevel::kOther, false, "8 0 added under a number below the signed revision's /Size", 0, "", {}, "Second"},
      {"an object nothing uses (some writers leave them)", objects({{11, pdf_stream(kContent)}}), ChangeLevel::kNone,
       true, ""},
      {"new /Info and XMP metadata", objects({{1, catalog("6 0 R 7 0 R 9 0 R", "/Metadata 11 0 R")},
                                               {11, pdf_stream(xmp, "/Type /Metadata /Subtype /XML")},
                                               {12, "<< /Producer (Desktop viewer) /ModDate (D:20261206) >>"}},
                                              "/Info 12 0 R"),
       ChangeLevel::kNone, true, "/ModDate /Producer XMP metadata"},
      {"metadata that is not XML", objects({{1, catalog("6 0 R 7 0 R 9 0 R", "/Metadata 11 0 R")},
                                            {11, pdf_stream("<x:xmpmeta>", "/Type /Metadata /Subtype /XML")}}),
       ChangeLevel::kOther, false, "not well-formed XML"},
      {"validation data after a certification that allows no changes",
       objects({{1, catalog("6 0 R 7 0 R 9 0 R", "/Perms << /DocMDP 10 0 R >> " + dss)}, {13, pdf_stream("cert")}}),
       ChangeLevel::kValidationData, true, "", 1},
  });
}

// Sneaky signatures and signature wrapping: a later revision may add signatures, sign a prepared field and
// add an invisible empty field, and nothing else that looks like a signature.
TEST(ChangeAnalysis, OnlyRealSignaturesMayBeAdded) {
  check({
      {"a second signer whose field only the page lists, leaving an object nothing uses", [](const std::string& pdf) {
         return test::with_signed_update(
             pdf,
             {{3, page("6 0 R 7 0 R 8 0 R 9 0 R 11 0 R")},
              {11, "<< /Type /Annot /Subtype /Widget /FT /Sig /T (Second) /V 12 0 R /Rect [0 0 0 0] /P 3 0 R >>"},
              {12, test::signature_dictionary()},
              {13, appearance("")}},
             "ecsigner");
       },
       ChangeLevel::kSigning, true, "signature field \"Second\""},
      {"a second signer after a certification that allows no changes", second_signer(), ChangeLevel::kSigning, false,
       "the certification allows no changes", 1},
      {"an invisible empty signature field",
       new_field("<< /Type /Annot /Subtype /Widget /FT /Sig /T (Later) /Rect [0 0 0 0] /P 3 0 R >>"),
       ChangeLevel::kSigning, true, "empty signature field \"Later\""},
      {"a visible unsigned signature field",
       new_field("<< /Type /Annot /Subtype /Widget /FT /Sig /T (Later) /Rect [10 60 190 140] /P 3 0 R "
                 "/AP << /N 12 0 R >> >>"),
       ChangeLevel::kOther, false, "\"Later\" is visible"},
      {"an invisible unsigned signature field with a page-open action",
       new_field("<< /Type /Annot /Subtype /Widget /FT /Sig /T (Later) /Rect [0 0 0 0] /P 3 0 R "
                 "/AA << /PO << /S /URI /URI (http://127.0.0.1/) >> >> >>"),
       ChangeLevel::kOther, false, "\"Later\" has an action"},
      {"a field whose value is another field's signature",
       new_field("<< /Type /Annot /Subtype /Widget /FT /Sig /T (Copy) /V 10 0 R /Rect [0 0 0 0] /P 3 0 R >>"),
       ChangeLevel::kOther, false, "takes another field's signature dictionary"},
      {"a copy of the signature dictionary inside an object stream", [](const std::string& pdf) {
         return test::with_packed_update(
             pdf,
             {{1, later_catalog(pdf, "6 0 R 7 0 R 9 0 R 11 0 R")},
              {3, page("6 0 R 7 0 R 8 0 R 9 0 R 11 0 R")},
              {11, "<< /Type /Annot /Subtype /Widget /FT /Sig /T (Copy) /V 12 0 R /Rect [0 0 0 0] /P 3 0 R >>"}},
             {{12, body_of(pdf, 10)}});
       },
       ChangeLevel::kOther, false, "12 0 the signature dictionary of field \"Copy\" is inside an object stream"},
      {"a desktop viewer's countersignature: XMP, /Info and the prepared field signed", [](const std::string& pdf) {
         return test::with_signed_update(
             pdf,
             {{1, later_catalog(pdf, "6 0 R 7 0 R 9 0 R", "/Metadata 13 0 R")},
              {7, "<< /Type /Annot /Subtype /Widget /FT /Sig /T (Approval) /Rect [10 10 110 40] /P 3 0 R "
                  "/V 11 0 R /AP << /N 12 0 R >> >>"},
              {11, test::signature_dictionary()},
              {12, appearance("0 g BT 2 10 Td (Approved) Tj ET")},
              {13, pdf_stream("<x:xmpmeta xmlns:x='adobe:ns:meta/'/>", "/Type /Metadata /Subtype /XML")},
              {14, "<< /Producer (Desktop viewer) /ModDate (D:20261206101500Z) >>"}},
             "ecsigner", "/Info 14 0 R");
       },
       ChangeLevel::kSigning, true, "signature field \"Approval\" /  /ModDate /Producer XMP metadata", 2},
      {"validation data updated in place after a second signer", [](const std::string& pdf) {
         const std::string dss = test::with_update(pdf, {{1, later_catalog(pdf, "6 0 R 7 0 R 9 0 R", "/DSS 13 0 R")},
                                                         {13, "<< /Certs [14 0 R] >>"},
                                                         {14, pdf_stream("certificate")}});
         const std::string second = second_signer()(dss);
         return test::with_update(second, {{13, "<< /Certs [14 0 R 15 0 R] /VRI << /ABCD << /Cert [15 0 R] >> >> >>"},
                                           {15, pdf_stream("another certificate")}});
       },
       ChangeLevel::kValidationData, true, "", 0, "", {}, "Second"},
      {"a certification by a later signer", second_signer(/*certifying=*/true), ChangeLevel::kOther, false, "the catalog's /Perms"},
      {"a new appearance for the signed widget",
       objects({{9, first_field("/AP << /N 11 0 R >>")}, {11, appearance("0 g BT 2 10 Td (Paid) Tj ET")}}),
       ChangeLevel::kOther, false, "the signed field \"First\" changed"},
      {"a note posing as a signature field",
       new_annotation("<< /Type /Annot /Subtype /FreeText /FT /Sig /Rect [10 60 190 140] /Contents (PAID) /DA (/Helv 24 Tf) >>"),
       ChangeLevel::kOther, false, "/FreeText annotation posing as a signature"},
      {"a note posing as a signature dictionary",
       new_annotation("<< /Type /Sig /Subtype /FreeText /Rect [10 60 190 140] /Contents (PAID) /DA (/Helv 24 Tf) >>"),
       ChangeLevel::kOther, false, "posing as a signature"},
  });
}

// Form filling: only a certification at /P 2 or 3 permits it (or --permit, in the command's table below),
// never for a locked field, and never beyond values and appearances.
TEST(ChangeAnalysis, FormFillingNeedsPermission) {
  const Update fill = objects({{6, amount("(9999)", "11 0 R")}, {11, appearance("0 g BT (9999) Tj ET")}});
  check({
      {"not certified", fill, ChangeLevel::kFormFilling, false, "the document is not certified"},
      {"certified at P1", fill, ChangeLevel::kFormFilling, false, "the certification allows no changes", 1},
      {"a field locked by the signature", fill, ChangeLevel::kFormFilling, false, "field \"Amount\" is locked", 2,
       "/Lock << /Type /SigFieldLock /Action /All >>"},
      {"another field locked", fill, ChangeLevel::kFormFilling, true, "field \"Amount\"", 2,
       "/Lock << /Type /SigFieldLock /Action /Include /Fields [(Other)] >>"},
      {"the form's default resources",
       objects({{1, "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [6 0 R 7 0 R 9 0 R] /SigFlags 3 "
                    "/DR << /Font << /Helv 11 0 R >> >> >> >>"},
                {11, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}}),
       ChangeLevel::kFormFilling, false, "the form's /DR / the document is not certified"},
      {"the field's flags", objects({{6, amount("(100)", "5 0 R", "/Ff 1")}}), ChangeLevel::kOther, false, "field \"Amount\": /Ff", 2},
      {"the field's action", objects({{6, amount("(100)", "5 0 R", "/A << /S /URI /URI (http://127.0.0.1/) >>")}}), ChangeLevel::kOther,
       false, "field \"Amount\": /A", 2},
      {"the appearance stream rewritten in place", objects({{5, appearance("0 g BT (9999) Tj ET")}}),
       ChangeLevel::kFormFilling, true, "field \"Amount\"", 2},
  });
}

// Annotations: markup annotations only, and only at /P 3 (or --permit).
TEST(ChangeAnalysis, AnnotationsNeedPermission) {
  const Update note = new_annotation("<< /Type /Annot /Subtype /FreeText /Rect [10 60 190 140] /Contents (PAID) "
                                     "/DA (/Helv 24 Tf) >>");
  check({
      {"a note at P3", note, ChangeLevel::kAnnotations, true, "/FreeText annotation added on page 1", 3},
      {"a note at P2", note, ChangeLevel::kAnnotations, false, "allows form filling and signing only", 2},
      {"a note, not certified", note, ChangeLevel::kAnnotations, false, "the document is not certified"},
      {"a note, not certified, --permit annotations", note, ChangeLevel::kAnnotations, true, "/FreeText", 0, "",
       PermitOptions{.annotations = true}},
      {"a note removed at P3", objects({{3, page("6 0 R 7 0 R 9 0 R")}}), ChangeLevel::kAnnotations, true,
       "an annotation removed from page 1", 3},
      {"a link", new_annotation("<< /Type /Annot /Subtype /Link /Rect [0 0 200 200] /A << /S /URI /URI "
                                "(http://127.0.0.1/) >> >>"),
       ChangeLevel::kOther, false, "a new /Link annotation", 3},
      {"a widget of no field", new_annotation("<< /Type /Annot /Subtype /Widget /Rect [10 60 190 140] >>"),
       ChangeLevel::kOther, false, "a new form field", 3},
  });
}

// The command's text and JSON say the same: certification, locks, the level after a signature and whether
// it is permitted; --permit widens.
TEST(ChangeAnalysis, TheCommandReportsLevelsAndPermissions) {
  const test::ScratchDir dir("change-report");
  const Update fill = objects({{6, amount("(9999)")}});
  const std::string locked = "/Lock << /Type /SigFieldLock /Action /All >>";
  const struct {
    int certification;
    std::string lock;
    Update update;
    std::string arguments;
    int want_exit;
    std::vector<std::string> want_output;  // each part somewhere in the output
  } cases[] = {
      {2, locked, fill, "", 1,
       {"  Certification: DocMDP P2 (form filling and signing allowed)\n  Locks: all fields\n",
        "  After it: form filling: field \"Amount\" (not permitted: field \"Amount\" is locked by this signature)\n"}},
      {0, "", fill, "--permit form-filling", 0, {"  After it: form filling: field \"Amount\" (permitted)\n"}},
      {0, "", objects({{4, pdf_stream(kContent), 1}}), "", 1,
       {"  After it: other: object 4 1 (new generation of the content of page 1)\n"}},
      {0, "", second_signer(/*certifying=*/true), "", 1,
       {"  Signature: invalid (it certifies the document but is not its first signature)\n"}},
      {0, "", second_signer(), "--json", 0, {R"("revision":2,"revisions":3,)", R"("signed_range":[0,)"}},
      {1, "", fill, "--json", 1,
       {R"j("certification":{"p":1,"text":"DocMDP P1 (no changes allowed)"})j",
        R"("after":{"level":"form filling","permitted":false,"refusal":"the certification allows no changes",)"
        R"("changes":[{"level":"form filling","object":"6 0","what":"field \"Amount\"","permitted":false}],)"
        R"("fields":["Amount"],"document_information":[]})"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments + " " + c.want_output.front());
    const auto file = dir / "changed.pdf";
    test::write_file(file, c.update(signed_form(c.certification, c.lock)));
    const test::CommandResult r = test::run_command(test::shell_quote(CORVANEPDF_CLI) + " verify " + c.arguments + " " +
                                                    test::shell_quote(file.string()));
    EXPECT_EQ(r.exit_code, c.want_exit) << r.output;
    for (const std::string& part : c.want_output) EXPECT_TRUE(test::contains(r.output, part)) << r.output;
  }
}

}  // namespace
}  // namespace corvane::verify
