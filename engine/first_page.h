// Finding the first page of a document, and its size, without reading the
// whole page tree.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace corvane::engine {

// The first page in page order: depth first through /Kids from the
// catalog's /Pages, skipping kids that are not dictionaries and branches
// without pages; a node without a /Kids array (or typed /Page) is a page.
// Reads only the nodes on the way, so that a large document is not parsed
// just to find its first page. A page written directly into its parent's
// /Kids is made an object of its own there. Throws std::runtime_error when the tree has
// no page (a node met twice counts as no page), and what qpdf throws.
[[nodiscard]] QPDFObjectHandle find_first_page(QPDF& qpdf);

// The first page's crop box (its media box when it has none) as the page
// is shown, in points: width and height swap for a quarter turn. Throws
// std::runtime_error when that box is no rectangle, and what
// find_first_page throws.
struct ShownSize {
  double width = 0;
  double height = 0;
};
[[nodiscard]] ShownSize first_page_shown_size(QPDF& qpdf);

}  // namespace corvane::engine
