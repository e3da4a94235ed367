#include "engine/first_page.h"

#include <cmath>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include <qpdf/QPDFPageObjectHelper.hh>

namespace corvane::engine {

QPDFObjectHandle find_first_page(QPDF& qpdf) {
  // A node with the /Kids array it is element `index` of (none for the root).
  struct Pending {
    QPDFObjectHandle node;
    QPDFObjectHandle kids;
    int index = 0;
  };
  std::vector<Pending> pending{{qpdf.getRoot().getKey("/Pages"), QPDFObjectHandle(), 0}};
  std::set<QPDFObjGen> seen;
  while (!pending.empty()) {
    auto [node, parent_kids, index] = pending.back();
    pending.pop_back();
    if (!node.isDictionary()) continue;
    if (node.isIndirect() && !seen.insert(node.getObjGen()).second) continue;
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (!kids.isArray() || node.getKey("/Type").isNameAndEquals("/Page")) {
      if (node.isIndirect() || !parent_kids.isArray()) return node;
      // A page written into its parent's /Kids becomes an object of its
      // own there, so that the page the document shows is the one found.
      QPDFObjectHandle page = qpdf.makeIndirectObject(node);
      parent_kids.setArrayItem(index, page);
      return page;
    }
    // Later kids wait below the earlier ones.
    for (int i = kids.getArrayNItems() - 1; i >= 0; --i) pending.push_back({kids.getArrayItem(i), kids, i});
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
