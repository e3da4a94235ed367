#include "engine/first_page.h"

#include <set>
#include <stdexcept>
#include <vector>

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

}  // namespace corvane::engine
