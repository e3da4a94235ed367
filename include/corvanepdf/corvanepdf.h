/*
 * The C interface of corvanepdf for hosts with a foreign-function interface.
 *
 * Objects are created by ProgID through the registration that
 * `corvanepdf register` (DllRegisterServer) writes: the registered library is
 * loaded and its class factory makes the object. A host linked against the
 * library creates "corvanepdf.edit" without a registration. Members are then called
 * late-bound by name. Texts are UTF-8; Booleans are CPDF_TRUE / CPDF_FALSE.
 *
 * Every function returns a status (abi.h); on failure a description of the
 * last failure on this thread is available from corvanepdf_last_error().
 */
#ifndef CORVANEPDF_H
#define CORVANEPDF_H

#include <stdint.h>

#include "corvanepdf/abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Creates an object by ProgID ("corvanepdf.edit") or class identifier
 * ("{...}"), looked up first in the user's then in the machine's
 * SOFTWARE\Classes; this library's own class when neither registers it.
 * *object receives its dispatch interface (one reference), or NULL with
 * CPDF_REGDB_E_CLASSNOTREG when the name is not registered and not this
 * library's, and another failure code when the library cannot be loaded or
 * refuses. */
CpdfResult corvanepdf_create_object(const char* name, CpdfDispatch** object);

/* Reads property `name` into *result (which must hold a valid variant). */
CpdfResult corvanepdf_get_property(CpdfDispatch* object, const char* name, CpdfVariant* result);
/* Sets property `name` to *value; the variant stays owned by the caller. */
CpdfResult corvanepdf_put_property(CpdfDispatch* object, const char* name, CpdfVariant* value);
/* Calls method `name` with `arg_count` arguments, passed by reference;
 * `result` may be NULL. CPDF_DISP_E_EXCEPTION when the member reports an
 * error (its text is in corvanepdf_last_error()). */
CpdfResult corvanepdf_call_method(CpdfDispatch* object, const char* name, CpdfVariant* args,
                                  uint32_t arg_count, CpdfVariant* result);
/* Releases one reference; returns the references left. NULL is ignored. */
uint32_t corvanepdf_release(CpdfDispatch* object);

/* The description of the last failure of a function of this header on the
 * calling thread ("" when none). Valid until the next call on the thread.
 *
 * It describes calls that fail (a status below 0): an unknown member, a
 * wrong argument, an object that cannot be created. A signit that runs
 * answers CPDF_S_OK with a Boolean, so after it this text is "". Why signit
 * answered false, or why a signed file could not be written while signit
 * answered true, is the object's own read-only property "lasterror"
 * (corvanepdf_get_property(edit, "lasterror", &text)): it belongs to the
 * object, lasts until its next signit, and is "" after a full success. Its
 * kind, for a program to act on, is corvanepdf_last_error_code(edit). */
const char* corvanepdf_last_error(void);

/* The kind of failure of the last signit of `edit` (a CpdfErrorCode, abi.h:
 * the object's read-only property "lasterrorcode"), for a host to act on
 * while lasterror's text is for people: CPDF_ERROR_NONE after a full
 * success, CPDF_ERROR_NOT_WRITTEN when signit answered true but the signed
 * file could not be written. CPDF_ERROR_FAILED when `edit` is NULL or has
 * no such property (corvanepdf_last_error() then says why). */
int32_t corvanepdf_last_error_code(CpdfDispatch* edit);

/* Unloads the libraries loaded by corvanepdf_create_object whose
 * DllCanUnloadNow answers CPDF_S_OK. */
void corvanepdf_free_unused_libraries(void);

/* Verifies every signature of the PDF at `path`, opened with `password`
 * (NULL or "" for none), as `corvanepdf verify --json` does. *json receives
 * the report as one JSON document (UTF-8, the members the manual lists for
 * verify --json), to be freed with corvanepdf_free; *verdict, unless NULL,
 * receives the verify command's exit status: 0 every signature holds and its
 * signer is trusted, 1 no signature or one is invalid or followed by changed
 * content, 2 the file could not be read, 3 valid but a signer not trusted or a
 * weak digest. A file that cannot be read is a report too (verdict 2, its
 * "error" member says why); the call fails only without a path or a place for
 * the report (CPDF_E_POINTER, *json NULL) or when memory runs out. The user's
 * certificate store (CORVANE_NSSDB, else ~/.pki/nssdb) judges the trust. */
CpdfResult corvanepdf_verify_json(const char* path, const char* password, char** json, int32_t* verdict);

/* ---- Variants ------------------------------------------------------------ */

/* Makes *variant empty without looking at what it held. */
void corvanepdf_variant_init(CpdfVariant* variant);
/* Frees the payload (text, bytes) or releases the object, then empties. */
void corvanepdf_variant_clear(CpdfVariant* variant);
/* Each setter clears the variant first. The text and byte setters copy their
 * input and return CPDF_E_OUTOFMEMORY when that fails (the variant is then
 * empty); a NULL text counts as "". */
CpdfResult corvanepdf_variant_set_text(CpdfVariant* variant, const char* utf8);
CpdfResult corvanepdf_variant_set_bytes(CpdfVariant* variant, const uint8_t* data,
                                        uint32_t length);
void corvanepdf_variant_set_bool(CpdfVariant* variant, int value);
void corvanepdf_variant_set_int32(CpdfVariant* variant, int32_t value);
void corvanepdf_variant_set_double(CpdfVariant* variant, double value);

/* Frees a text handed out by the library (the error text of Invoke). */
void corvanepdf_free(void* memory);

#ifdef __cplusplus
}
#endif

#endif /* CORVANEPDF_H */
