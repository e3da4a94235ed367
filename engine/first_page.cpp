#include "engine/first_page.h"

#include <set>
#include <stdexcept>
#include <vector>

namespace corvane::engine {

QPDFObjectHandle find_first_page(QPDF& qpdf) {
  std::vector<QPDFObjectHandle> pending{qpdf.getRoot().getKey("/Pages")};
  std::set<QPDFObjGen> seen;
  while (!pending.empty()) {
    QPDFObjectHandle node = pending.back();
    pending.pop_back();
    if (!node.isDictionary()) continue;
    if (node.isIndirect() && !seen.insert(node.getObjGen()).second) continue;
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (!kids.isArray() || node.getKey("/Type").isNameAndEquals("/Page")) return node;
    // Later kids wait below the earlier ones.
    for (int i = kids.getArrayNItems() - 1; i >= 0; --i) pending.push_back(kids.getArrayItem(i));
  }
  throw std::runtime_error("the document has no pages");
}

}  // namespace corvane::engine
