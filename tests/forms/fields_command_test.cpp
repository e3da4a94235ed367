// `corvanepdf fields` and `fields add` on the fixture PDFs, judged by qpdf.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace corvane::test {
namespace {

using ::testing::HasSubstr;

CommandResult cli(const ScratchDir& dir, const std::string& arguments) {
  return run_without_terminal(dir.path(), CORVANEPDF_CLI, arguments);
}
CommandResult fields(const ScratchDir& dir, const std::string& arguments) { return cli(dir, "fields " + arguments); }

std::string q(const std::filesystem::path& path) { return shell_quote(path.string()); }

// The form's fields as qpdf reads them: (full name, type, page) each.
std::string qpdf_fields(const std::filesystem::path& pdf) {
  return run_command("qpdf --json --json-key=acroform " + q(pdf) +
                     " | python3 -c 'import json, sys; print(sorted((f[\"fullname\"], f[\"fieldtype\"], "
                     "f[\"pageposfrom1\"]) for f in json.load(sys.stdin)[\"acroform\"][\"fields\"]))'")
      .output;
}

// The form of annots-form.pdf gets two fields, on its first and last page,
// besides its text field.
TEST(FieldsCommand, AddsEmptyFieldsAsOneUpdateThatQpdfReads) {
  ScratchDir dir("fields-add");
  const auto input = fixture_pdf("annots-form.pdf"), out = dir / "out.pdf";
  const CommandResult added = fields(dir, "add " + q(input) + " -o " + q(out) +
                                              " --name Buyer --page 1 --rect 272,122,72.5,72 --lock all --name Seller"
                                              " --page 3 --rect 0,0,0,0 --lock Buyer,name");
  ASSERT_EQ(added.exit_code, 0) << added.output;
  const std::string before = read_file(input);
  EXPECT_EQ(read_file(out).substr(0, before.size()), before) << "not an incremental update";
  EXPECT_EQ(qpdf_problems(out), "");
  EXPECT_EQ(qpdf_fields(out), "[('Buyer', '/Sig', 1), ('Seller', '/Sig', 3), ('name', '/Tx', 1)]\n");
  const CommandResult listed = fields(dir, q(out) + " --json");
  EXPECT_EQ(listed.exit_code, 0);
  EXPECT_TRUE(contains(listed.output,
                       R"({"name":"Buyer","page":1,"rect":[72.5,72,272,122],"signed":false,"signer":"",)"
                       R"("signing_time":"","lock":{"action":"all","fields":[]}},{"name":"Seller","page":3,)"
                       R"("rect":[0,0,0,0],"signed":false,"signer":"","signing_time":"",)"
                       R"("lock":{"action":"include","fields":["Buyer","name"]}})"))
      << listed.output;
}

TEST(FieldsCommand, RefusesWithOneLineAndWritesNothing) {
  ScratchDir dir("fields-refused");
  const std::string form = q(fixture_pdf("annots-form.pdf")) + " -o " + q(dir / "out.pdf");
  const CommandResult certified =
      cli(dir, "sign --append --certify 1 --cert 'Alex Signer' " + q(fixture_pdf("plain.pdf")) + " -o " + q(dir / "p1.pdf"));
  ASSERT_EQ(certified.exit_code, 0) << certified.output;
  const struct {
    std::string arguments;
    int exit_code;
    const char* want;
  } cases[] = {
      {form + " --name A --page 1 --rect 1,1,9,9 --name A --page 2 --rect 0,0,0,0", 1,
       "the form already has a field named \"A\""},
      {form + " --name name --page 1 --rect 1,1,9,9", 1, "the form already has a field named \"name\""},
      {form + " --name A --page 4 --rect 1,1,9,9", 1, "is on page 4, but the document has 3 pages"},
      {form + " --name A --page 1 --rect 1,1,1,9", 1, "must have a width and a height"},
      {form + " --name a.b --page 1 --rect 1,1,9,9", 1, "has a dot"},
      {form + " --name A --page 1 --rect 1,1,9", 2, "is not four numbers"},
      {form + " --page 1 --name A --rect 1,1,9,9", 2, "--page comes after the --name it is for"},
      {form + " --name A --page 1 --rect 1,1,9,9 --name B --page 1", 2, "\"B\" needs --page and --rect"},
      {q(fixture_pdf("annots-form.pdf")) + " --name A --page 1 --rect 1,1,9,9", 2, "--output is required"},
      {q(fixture_pdf("enc-aes-256.pdf")) + " -o " + q(dir / "out.pdf") + " --name A --page 1 --rect 1,1,9,9", 1,
       "password"},
      {q(dir / "p1.pdf") + " -o " + q(dir / "out.pdf") + " --name A --page 1 --rect 0,0,0,0", 1,
       "allows no changes (/DocMDP /P 1)"},
  };
  for (const auto& c : cases) {
    const CommandResult result = fields(dir, "add " + c.arguments);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.arguments << "\n" << result.output;
    EXPECT_TRUE(contains(result.output, c.want)) << c.arguments << "\n" << result.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.pdf")) << c.arguments;
  }
}

// After a signature an invisible field keeps it valid; a visible one is a
// change verify reports, and the command warns of it.
TEST(FieldsCommand, ListsTheSignerAndKeepsEarlierSignaturesCovering) {
  ScratchDir dir("fields-signed");
  const auto prepared = dir / "prepared.pdf", signed_pdf = dir / "signed.pdf";
  ASSERT_EQ(fields(dir, "add " + q(fixture_pdf("plain.pdf")) + " -o " + q(prepared) +
                            " --name Buyer --page 1 --rect 72,72,272,122 --lock Other").exit_code, 0);
  const CommandResult signed_run = cli(dir, "sign --field Buyer --cert 'Alex Signer' " + q(prepared) + " -o " + q(signed_pdf));
  ASSERT_EQ(signed_run.exit_code, 0) << signed_run.output;
  // The field's /Lock and its signature's FieldMDP reference name one field.
  const CommandResult listed = fields(dir, q(signed_pdf));
  EXPECT_THAT(listed.output, HasSubstr("Buyer  1     72 72 272 122  signed by Alex Signer at 20"));
  EXPECT_TRUE(listed.output.ends_with("  fields \"Other\"\n")) << listed.output;

  // In place: the file grows by the update.
  ASSERT_EQ(fields(dir, "add " + q(signed_pdf) + " -o " + q(signed_pdf) + " --name Later --page 1 --rect 0,0,0,0")
                .exit_code, 0);
  EXPECT_EQ(cli(dir, "verify " + q(signed_pdf)).exit_code, 0);
  const CommandResult visible =
      fields(dir, "add " + q(signed_pdf) + " -o " + q(signed_pdf) + " --name Shown --page 1 --rect 1,1,9,9");
  EXPECT_THAT(visible.output, HasSubstr("warning: a visible empty signature field after a signature"));
  EXPECT_EQ(cli(dir, "verify " + q(signed_pdf)).exit_code, 1);
}

}  // namespace
}  // namespace corvane::test
