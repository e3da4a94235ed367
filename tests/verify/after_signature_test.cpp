// What follows a signature, read from stretches that all signatures share:
// the same lists as if each report had joined the stretches after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "verify/signature_report.h"

namespace corvane::verify {
namespace {

constexpr ChangeLevel kSign = ChangeLevel::kSigning, kForm = ChangeLevel::kFormFilling, kOther = ChangeLevel::kOther;

StretchChanges stretch(std::vector<LaterChange> changes, std::vector<std::string> fields,
                       std::vector<std::string> information = {}) {
  StretchChanges s{ChangeLevel::kNone, std::move(changes), std::move(information), std::move(fields)};
  for (const LaterChange& c : s.changes) s.level = std::max(s.level, c.level);
  return s;
}

// "level:what" for each change, then "|" and the fields, "|" and the keys.
std::string listed(const AfterSignature& after) {
  std::string out = change_level_name(after.level);
  for (const LaterChange& c : after.changes) out += std::string(" ") + change_level_name(c.level) + ":" + c.what;
  out += " |";
  for (const std::string& f : after.fields) out += " " + f;
  out += " |";
  for (const std::string& k : after.document_information) out += " " + k;
  return out;
}

TEST(AfterSignature, JoinsTheStretchesFromItsOwnOn) {
  // Stretch 1 repeats a change and a field of stretch 0 and names one the
  // same text at another level; stretch 2 has a change no rule clears, so
  // nothing after it counts; stretch 3 comes after that.
  const auto all = std::make_shared<const ChangeStretches>(std::vector<StretchChanges>{
      stretch({{kSign, "1 0", "A"}}, {"a"}, {"/ModDate"}),
      stretch({{kSign, "2 0", "B"}, {kSign, "3 0", "A"}, {kForm, "4 0", "A"}}, {"b", "a"}, {"/ModDate"}),
      stretch({{kSign, "5 0", "A"}, {kOther, "6 0", "C"}}, {"a", "c"}),
      stretch({{kForm, "7 0", "D"}}, {"d"}, {"/Producer"}),
  });
  const struct {
    std::size_t first;
    const char* want;
  } cases[] = {
      {0, "other signing:A signing:B form filling:A other:C | a b c | /ModDate"},  // each once, where first named
      {1, "other signing:B signing:A form filling:A other:C | b a c | /ModDate"},
      {2, "other signing:A other:C | a c |"},
      {3, "form filling form filling:D | d | /Producer"},
  };
  for (const auto& c : cases) EXPECT_EQ(listed(AfterSignature(all, c.first)), c.want) << c.first;
  // The change named is the last one unless another was refused.
  AfterSignature first(all, 0);
  EXPECT_EQ(first.shown()->object, "6 0");
  first.refused = 2;
  EXPECT_EQ(first.shown()->object, "4 0");
  EXPECT_EQ(AfterSignature(StretchChanges{}).shown(), nullptr);
}

}  // namespace
}  // namespace corvane::verify
