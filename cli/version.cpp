#include "cli/version.h"

#include <nss.h>
#include <qpdf/qpdf-c.h>

#ifndef CORVANEPDF_VERSION
#define CORVANEPDF_VERSION "unknown"
#endif

namespace corvane::cli {

std::string version_text() {
  // Both libraries report the version of the shared object actually
  // loaded, not of the headers the command was built with.
  const char* nss = ::NSS_GetVersion();
  return std::string("corvanepdf ") + CORVANEPDF_VERSION + "\nqpdf " + ::qpdf_get_qpdf_version() + "\nNSS " +
         (nss ? nss : "unknown");
}

}  // namespace corvane::cli
