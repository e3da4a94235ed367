#include "verify/json_writer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/test_support.h"

namespace corvane::verify {
namespace {

// Texts written by the writer and read back by jq: what comes back is the
// text, with bytes that are not UTF-8 as U+FFFD.
TEST(JsonWriter, TextsComeBackThroughJq) {
  const struct { std::string text; std::string want; } cases[] = {
      {"plain", "plain"},
      {"quote \" backslash \\ slash /", "quote \" backslash \\ slash /"},
      {"tab\tline\nreturn\r bell\x07 nul" + std::string(1, '\0') + "!", "tab\tline\nreturn\r bell\x07 nul" + std::string(1, '\0') + "!"},
      {"Zoë Ωμέγα 名前 \xF0\x9F\x98\x80", "Zoë Ωμέγα 名前 \xF0\x9F\x98\x80"},
      {"bad \xC3 \xFF \xED\xA0\x80 \xF4\x90\x80\x80 end", "bad \xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD "
                                                        "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD end"},
  };
  test::ScratchDir dir("json-writer");
  for (const auto& c : cases) {
    std::ostringstream out;
    JsonWriter json(out);
    json.begin_object();
    json.member("n", std::uint64_t{18446744073709551615u});
    json.key("list");
    json.begin_array();
    json.value(true);
    json.null();
    json.value(c.text);
    json.end_array();
    json.end_object();
    test::write_file(dir / "doc.json", out.str());
    const auto r = test::run_command("jq -j '.list[2], \"|\", .list[0], .list[1], (.list | length)' " +
                                     test::shell_quote((dir / "doc.json").string()));
    EXPECT_EQ(r.exit_code, 0) << out.str();
    EXPECT_EQ(r.output, c.want + "|truenull3") << out.str();
  }
}

}  // namespace
}  // namespace corvane::verify
