#include "verify/form_signatures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdint>
#include <limits>
#include <set>

#include <qpdf/QPDF.hh>

#include "engine/first_page.h"
#include "platform/safe_open.h"

namespace corvane::verify {
namespace {

// Fields deeper than this are not looked at (a form is a shallow tree).
constexpr int kMaxDepth = 32;

std::size_t count_in(QPDFObjectHandle field, bool inherited_sig, int depth, std::set<QPDFObjGen>& seen) {
  if (!field.isDictionary() || depth > kMaxDepth) return 0;
  if (field.isIndirect() && !seen.insert(field.getObjGen()).second) return 0;
  QPDFObjectHandle type = field.getKey("/FT");
  const bool sig = type.isName() ? type.getName() == "/Sig" : inherited_sig;
  std::size_t count = 0;
  QPDFObjectHandle value = field.getKey("/V");
  if (sig && value.isDictionary() && value.getKey("/Contents").isString()) ++count;
  QPDFObjectHandle kids = field.getKey("/Kids");
  if (kids.isArray())
    for (QPDFObjectHandle kid : kids.aitems()) count += count_in(kid, sig, depth + 1, seen);
  return count;
}

// The first page as the signing run finds it; null for a document without
// one, whose fields are still counted.
QPDFObjectHandle first_page(QPDF& pdf) {
  try {
    return engine::find_first_page(pdf);
  } catch (const std::exception&) {
    return QPDFObjectHandle::newNull();
  }
}

}  // namespace

std::size_t count_signed_form_fields(const std::string& path, const std::string& password) {
  try {
    // Never through another user's link, never waiting on a FIFO.
    const int fd = platform::open_regular(path, O_RDONLY, 0, nullptr);
    if (fd < 0) return 0;
    // No PDF this large can be signed, and reading one whose end is not a
    // PDF's would scan it whole: the signing run refuses it from its size.
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size > std::numeric_limits<std::int32_t>::max()) {
      ::close(fd);
      return 0;
    }
    FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
      ::close(fd);
      return 0;
    }
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str(), file, /*close_file=*/true, password.c_str());
    QPDFObjectHandle fields = pdf.getRoot().getKey("/AcroForm").getKey("/Fields");
    std::set<QPDFObjGen> seen;
    std::size_t count = 0;
    if (fields.isArray())
      for (QPDFObjectHandle field : fields.aitems()) count += count_in(field, false, 0, seen);
    // Some signers list their field only as a widget on the first page.
    QPDFObjectHandle annots = first_page(pdf).getKey("/Annots");
    if (annots.isArray())
      for (QPDFObjectHandle widget : annots.aitems()) count += count_in(widget, false, 0, seen);
    return count;
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace corvane::verify
