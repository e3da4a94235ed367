/* A host written in C: proves that the public headers are plain C and that
 * creation by ProgID and a method call work from C alone. */
#include <string.h>

#include "corvanepdf/corvanepdf.h"

/* Creates corvanepdf.edit by ProgID, calls string2byte with `text` and copies
 * up to `capacity` bytes of the result to `out`. Returns the status of the
 * first failing step. */
CpdfResult c_host_string2byte(const char* text, uint8_t* out, uint32_t capacity,
                              uint32_t* length) {
  CpdfDispatch* edit = NULL;
  CpdfVariant arg;
  CpdfVariant result;
  CpdfResult status = corvanepdf_create_object(CPDF_PROGID_EDIT, &edit);
  if (!CPDF_SUCCEEDED(status)) return status;
  corvanepdf_variant_init(&arg);
  corvanepdf_variant_init(&result);
  status = corvanepdf_variant_set_text(&arg, text);
  if (CPDF_SUCCEEDED(status)) status = corvanepdf_call_method(edit, "string2byte", &arg, 1, &result);
  if (CPDF_SUCCEEDED(status)) {
    if (result.vt != CPDF_VT_BYTES) {
      status = CPDF_DISP_E_TYPEMISMATCH;
    } else {
      *length = result.value.bytes.length;
      memcpy(out, result.value.bytes.data, *length < capacity ? *length : capacity);
    }
  }
  corvanepdf_variant_clear(&arg);
  corvanepdf_variant_clear(&result);
  corvanepdf_release(edit);
  return status;
}

/* Creates corvanepdf.edit, signs `pdfpath` (into no file) and returns the
 * kind of failure the C interface reports for it; `signed_out` receives
 * what signit answered. */
int32_t c_host_signit_error_code(const char* pdfpath, int* signed_out) {
  CpdfDispatch* edit = NULL;
  CpdfVariant path;
  CpdfVariant result;
  int32_t code = -1;
  if (!CPDF_SUCCEEDED(corvanepdf_create_object(CPDF_PROGID_EDIT, &edit))) return code;
  corvanepdf_variant_init(&path);
  corvanepdf_variant_init(&result);
  if (CPDF_SUCCEEDED(corvanepdf_variant_set_text(&path, pdfpath)) &&
      CPDF_SUCCEEDED(corvanepdf_put_property(edit, "pdfpath", &path)) &&
      CPDF_SUCCEEDED(corvanepdf_call_method(edit, "signit", NULL, 0, &result))) {
    *signed_out = result.vt == CPDF_VT_BOOL && result.value.boolean == CPDF_TRUE;
    code = corvanepdf_last_error_code(edit);
  }
  corvanepdf_variant_clear(&path);
  corvanepdf_variant_clear(&result);
  corvanepdf_release(edit);
  return code;
}
