#include "engine/first_page.h"

#include <cmath>
#include <optional>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include <qpdf/QPDFPageObjectHelper.hh>

namespace corvane::engine {

QPDFObjectHandle find_first_page(QPDF& qpdf) {
  // The /Kids arrays on the way down, each with the index of the kid to
  // look at next: a node's kids are read one by one, never all copied,
  // however many pages hang from it.
  struct Level {
    QPDFObjectHandle kids;
    int next = 0;
  };
  std::vector<Level> levels;
  std::set<QPDFObjGen> seen;
  // The page when `node` is one; a branch adds its kids as a level.
  const auto visit = [&](QPDFObjectHandle node, QPDFObjectHandle parent_kids,
                         int index) -> std::optional<QPDFObjectHandle> {
    if (!node.isDictionary()) return std::nullopt;
    if (node.isIndirect() && !seen.insert(node.getObjGen()).second) return std::nullopt;
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (!kids.isArray() || node.getKey("/Type").isNameAndEquals("/Page")) {
      if (node.isIndirect() || !parent_kids.isArray()) return node;
      // A page written into its parent's /Kids becomes an object of its
      // own there, so that the page the document shows is the one found.
      QPDFObjectHandle page = qpdf.makeIndirectObject(node);
      parent_kids.setArrayItem(index, page);
      return page;
    }
    levels.push_back({kids, 0});
    return std::nullopt;
  };
  if (auto page = visit(qpdf.getRoot().getKey("/Pages"), QPDFObjectHandle(), 0)) return *page;
  while (!levels.empty()) {
    if (levels.back().next >= levels.back().kids.getArrayNItems()) {
      levels.pop_back();
      continue;
    }
    // Copied: visiting may add a level and move the vector.
    QPDFObjectHandle kids = levels.back().kids;
    const int index = levels.back().next++;
    if (auto page = visit(kids.getArrayItem(index), kids, index)) return *page;
  }
  throw std::runtime_error("the document has no pages");
}

ShownSize first_page_shown_size(QPDF& qpdf) {
  QPDFPageObjectHelper page(find_first_page(qpdf));
  QPDFObjectHandle box = page.getCropBox();
  if (!box.isRectangle()) throw std::runtime_error("the first page has no valid page box");
  const auto rect = box.getArrayAsRectangle();
  ShownSize size{std::fabs(rect.urx - rect.llx), std::fabs(rect.ury - rect.lly)};
  QPDFObjectHandle rotate = page.getAttribute("/Rotate", /*copy_if_shared=*/false);
  const long long turn = rotate.isInteger() ? ((rotate.getIntValue() % 360) + 360) % 360 : 0;
  if (turn == 90 || turn == 270) std::swap(size.width, size.height);
  return size;
}

}  // namespace corvane::engine
