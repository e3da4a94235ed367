#include "component/object_headers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "component/bytes.h"

namespace corvane::component {
namespace {

// What a search per object number from the buffer's start gives.
std::vector<std::int32_t> searched_one_by_one(const std::string& text, std::int32_t highest) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  std::vector<std::int32_t> offsets(static_cast<std::size_t>(highest) + 3, 0);
  for (std::int32_t k = 1; k <= highest; ++k) {
    const std::int32_t at = find_bytes(data, text.size(), "\n" + std::to_string(k) + " 0 obj\n", 0);
    offsets[static_cast<std::size_t>(k)] = at + 1;
  }
  return offsets;
}

std::vector<std::int32_t> scanned(const std::string& text, std::int32_t highest) {
  std::vector<std::int32_t> offsets(static_cast<std::size_t>(highest) + 3, 0);
  find_object_headers(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), highest, offsets);
  return offsets;
}

TEST(ObjectHeaders, OneScanFindsWhatEachSearchFinds) {
  const struct { const char* name; std::string text; } cases[] = {
      {"plain run", "%PDF\n1 0 obj\n<<>>\nendobj\n2 0 obj\nx\nendobj\n3 0 obj\nendobj\n" + std::string(3, '\0')},
      {"first occurrence wins", "x\n2 0 obj\na\n1 0 obj\n2 0 obj\nb\n0000"},
      {"headers back to back", "\n1 0 obj\n2 0 obj\n3 0 obj\n12 0 obj\n" + std::string(2, '\0')},
      {"leading zero, generation, blanks", "\n01 0 obj\n1 1 obj\n 1 0 obj\n1 0 obj \n1 0 obj\n..."},
      {"longer and shorter numbers", "\n11 0 obj\n111 0 obj\n1 0 obj\n.."},
      {"header ending on the last byte", "abc\n3 0 obj\n"},
      {"header before the last byte", "abc\n3 0 obj\n."},
      {"too short to search", "\n1 0 obj\n"},
      {"number out of range", "\n4294967297 0 obj\n\n99999999999 0 obj\n\n1 0 obj\n.."},
  };
  for (const auto& c : cases) EXPECT_EQ(scanned(c.text, 12), searched_one_by_one(c.text, 12)) << c.name;
}

TEST(ObjectHeaders, AgreesWithSearchesOnRandomDocuments) {
  std::mt19937 random(20240607);
  const std::string pieces[] = {"\n", "1", "2", "0", " 0 obj\n", " 0 obj", "7", "obj", " ", "\n13 0 obj\n"};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int length = std::uniform_int_distribution<int>(0, 60)(random);
    for (int i = 0; i < length; ++i)
      text += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(random)];
    ASSERT_EQ(scanned(text, 20), searched_one_by_one(text, 20)) << '"' << text << '"';
  }
}

TEST(ObjectHeaders, FillsOnlyEntriesTheTableHas) {
  std::vector<std::int32_t> offsets(3, 0);  // entries 0..2
  const std::string text = "\n1 0 obj\n2 0 obj\n3 0 obj\n4 0 obj\n..";
  find_object_headers(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 4, offsets);
  EXPECT_EQ(offsets, (std::vector<std::int32_t>{0, 1, 9}));
}

}  // namespace
}  // namespace corvane::component
