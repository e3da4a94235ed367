/*
 * The in-process server interface of libcorvanepdf.so: a small binary
 * interface modelled on the classic component object model, so that a host
 * written in any language can load the library, get its class factory,
 * create `edit` objects and call them late-bound.
 *
 * Rules:
 * - Every interface pointer points to a struct whose first member is its
 *   vtable. The first three entries of every vtable are QueryInterface,
 *   AddRef and Release. An object lives until its reference count drops to 0.
 * - Results are 32-bit status codes: negative is failure, CPDF_S_OK success.
 * - Texts are UTF-8. Text and byte payloads inside a CpdfVariant are
 *   allocated with malloc and owned by the variant; corvanepdf_variant_clear
 *   (corvanepdf.h) frees them and releases a held object.
 * - Booleans inside variants are CPDF_TRUE (-1) and CPDF_FALSE (0).
 * - The identifiers and dispatch ids below are fixed and never change.
 */
#ifndef CORVANEPDF_ABI_H
#define CORVANEPDF_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t CpdfResult;

#define CPDF_S_OK ((CpdfResult)0)
#define CPDF_S_FALSE ((CpdfResult)1)
#define CPDF_E_NOTIMPL ((CpdfResult)0x80004001)
#define CPDF_E_NOINTERFACE ((CpdfResult)0x80004002)
#define CPDF_E_POINTER ((CpdfResult)0x80004003)
#define CPDF_E_FAIL ((CpdfResult)0x80004005)
#define CPDF_E_OUTOFMEMORY ((CpdfResult)0x8007000E)
#define CPDF_E_INVALIDARG ((CpdfResult)0x80070057)
#define CPDF_DISP_E_MEMBERNOTFOUND ((CpdfResult)0x80020003)
#define CPDF_DISP_E_TYPEMISMATCH ((CpdfResult)0x80020005)
#define CPDF_DISP_E_UNKNOWNNAME ((CpdfResult)0x80020006)
#define CPDF_DISP_E_EXCEPTION ((CpdfResult)0x80020009)
#define CPDF_DISP_E_BADPARAMCOUNT ((CpdfResult)0x8002000E)
#define CPDF_CLASS_E_NOAGGREGATION ((CpdfResult)0x80040110)
#define CPDF_CLASS_E_CLASSNOTAVAILABLE ((CpdfResult)0x80040111)
#define CPDF_REGDB_E_CLASSNOTREG ((CpdfResult)0x80040154)
#define CPDF_SELFREG_E_CLASS ((CpdfResult)0x80040201)
#define CPDF_SUCCEEDED(result) ((CpdfResult)(result) >= 0)

typedef struct CpdfGuid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
} CpdfGuid;

/* ---- Identities ---------------------------------------------------------- */

#define CPDF_PROGID_EDIT "corvanepdf.edit"
#define CPDF_CLSID_EDIT_TEXT "{3F6A2C1E-8B4D-4E7A-9C21-5D0E7F3B9A14}"
#define CPDF_IID_EDIT_TEXT "{A7C34E92-1F6B-4D58-B0E3-92C4D1A7F865}"
#define CPDF_LIBID_TEXT "{5E1B9D47-C2A8-4F36-8E0D-7B4A3C9F2E51}"
#define CPDF_LIB_VERSION_TEXT "1.0"

/* The class `edit`. */
static const CpdfGuid CPDF_CLSID_EDIT = {
    0x3F6A2C1E, 0x8B4D, 0x4E7A, {0x9C, 0x21, 0x5D, 0x0E, 0x7F, 0x3B, 0x9A, 0x14}};
/* Its default interface `_edit` (a dispatch interface). */
static const CpdfGuid CPDF_IID_EDIT = {
    0xA7C34E92, 0x1F6B, 0x4D58, {0xB0, 0xE3, 0x92, 0xC4, 0xD1, 0xA7, 0xF8, 0x65}};
/* The type library `corvanepdf`, named in the registration. */
static const CpdfGuid CPDF_LIBID_CORVANEPDF = {
    0x5E1B9D47, 0xC2A8, 0x4F36, {0x8E, 0x0D, 0x7B, 0x4A, 0x3C, 0x9F, 0x2E, 0x51}};
/* The three generic interfaces, with their customary identities. */
static const CpdfGuid CPDF_IID_UNKNOWN = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const CpdfGuid CPDF_IID_CLASSFACTORY = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const CpdfGuid CPDF_IID_DISPATCH = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

/* Dispatch ids of `_edit`, in the order of its member table. Every property
 * but lasterror and lasterrorcode is a get/put pair under one id. */
enum CpdfEditDispId {
  CPDF_DISPID_PDFEDITLOADED = 1,      /* property, Boolean */
  CPDF_DISPID_PDFPATH = 2,            /* property, text */
  CPDF_DISPID_SAVEPATH = 3,           /* property, text */
  CPDF_DISPID_PDFLOADED = 4,          /* property, Boolean */
  CPDF_DISPID_PDFPASSWD = 5,          /* property, text */
  CPDF_DISPID_USERNAME = 6,           /* property, text */
  CPDF_DISPID_REASON = 7,             /* property, text */
  CPDF_DISPID_DONTENCRYPT = 8,        /* property, text */
  CPDF_DISPID_SIGNIT = 9,             /* method () -> Boolean */
  CPDF_DISPID_STRING2BYTE = 10,       /* method (text stringword, by reference) -> bytes */
  CPDF_DISPID_SIGN = 11,              /* method (text was, by reference) -> text */
  CPDF_DISPID_CHOOSE_CERTIFICATE = 12, /* method () -> nothing */
  CPDF_DISPID_GETUNIVERSALTIME = 13,  /* method () -> text; fails with CPDF_DISP_E_EXCEPTION */
  CPDF_DISPID_LASTERROR = 14,         /* read-only property, text: why the last signit failed,
                                         or why its signed file was not written; a put fails
                                         with CPDF_DISP_E_MEMBERNOTFOUND */
  CPDF_DISPID_APPENDMODE = 15,        /* property, Boolean */
  CPDF_DISPID_CONTAINERNAME = 16,     /* property, text: the certificate of the next runs (see edit.hpp) */
  CPDF_DISPID_PADES = 17,             /* property, text: "1" PAdES, "0" PKCS#7, "" the setting */
  CPDF_DISPID_TSAURL = 18,            /* property, text: timestamp authority, "" the setting */
  CPDF_DISPID_LTV = 19,               /* property, text: "1" validation data (/DSS), "0" none, "" the setting */
  CPDF_DISPID_CERTIFYLEVEL = 20,      /* property, text: "1" to "3" certify, "0" approval, "" the setting */
  CPDF_DISPID_FIELDNAME = 21,         /* property, text: the empty signature field to sign, "" a new field */
  CPDF_DISPID_LASTERRORCODE = 22      /* read-only property, 32-bit integer: the CpdfErrorCode of
                                         lasterror; a put fails with CPDF_DISP_E_MEMBERNOTFOUND */
};

/* The kinds of failure of a signit (the property "lasterrorcode"), so that a
 * host acts on the kind and shows lasterror's text to people. New kinds may
 * be added; a host treats a number it does not know as CPDF_ERROR_FAILED. */
enum CpdfErrorCode {
  CPDF_ERROR_NONE = 0,                 /* no failure: lasterror is "" */
  CPDF_ERROR_FAILED = 1,               /* any other failure: lasterror says what */
  CPDF_ERROR_NO_SUCH_FILE = 2,         /* pdfpath names no file (or is "") */
  CPDF_ERROR_NOT_PDF = 3,              /* not a PDF the engine can read */
  CPDF_ERROR_PASSWORD_MISSING = 4,     /* an encrypted document and no pdfpasswd */
  CPDF_ERROR_PASSWORD_REFUSED = 5,     /* an encrypted document and a wrong pdfpasswd */
  CPDF_ERROR_CERTIFICATE_NOT_FOUND = 6, /* the selected certificate is not in the store, or none is selected */
  CPDF_ERROR_TOKEN_LOGIN = 7,          /* a token holding the key could not be logged in to */
  CPDF_ERROR_TIMESTAMP_AUTHORITY = 8,  /* the timestamp authority failed or answered wrongly */
  CPDF_ERROR_VALIDATION_DATA = 9,      /* the validation data could not be fetched or added */
  CPDF_ERROR_CERTIFICATE_REVOKED = 10, /* the fetched validation data says a certificate is revoked */
  CPDF_ERROR_CHANGED_WHILE_SIGNING = 11, /* another run replaced the input while this one waited */
  CPDF_ERROR_NOT_WRITTEN = 12,         /* signit answered true, but savepath could not be written */
  CPDF_ERROR_ENGINE_UNAVAILABLE = 13,  /* the PDF engine could not be created */
  CPDF_ERROR_DOCUMENT_LAYOUT = 14,     /* a document the run cannot take (its structure, its size) */
  CPDF_ERROR_SIGNING_FAILED = 15,      /* the key made no signature, or one that does not fit */
  CPDF_ERROR_BAD_OPTION = 16,          /* a property or setting of the run has a value it cannot use */
  CPDF_ERROR_NOT_PERMITTED = 17        /* the document's certification or a field's lock forbids the signature */
};

/* ---- Variants ------------------------------------------------------------ */

enum CpdfVarType {
  CPDF_VT_EMPTY = 0,
  CPDF_VT_I4 = 3,        /* value.i4 */
  CPDF_VT_R8 = 5,        /* value.r8 */
  CPDF_VT_TEXT = 8,      /* value.text: UTF-8, also NUL-terminated */
  CPDF_VT_DISPATCH = 9,  /* value.dispatch: one reference owned by the variant */
  CPDF_VT_BOOL = 11,     /* value.boolean: CPDF_TRUE or CPDF_FALSE */
  CPDF_VT_BYTES = 0x2011 /* value.bytes: byte array indexed from 0 */
};

#define CPDF_TRUE ((int16_t)-1)
#define CPDF_FALSE ((int16_t)0)

typedef struct CpdfDispatch CpdfDispatch;

typedef struct CpdfVariant {
  uint16_t vt; /* a CpdfVarType */
  uint16_t reserved[3];
  union {
    int32_t i4;
    double r8;
    int16_t boolean;
    struct {
      char* data;
      uint32_t length; /* bytes, without the terminating NUL */
    } text;
    struct {
      uint8_t* data;
      uint32_t length;
    } bytes;
    CpdfDispatch* dispatch;
  } value;
} CpdfVariant;

/* ---- Interfaces ---------------------------------------------------------- */

typedef struct CpdfUnknown CpdfUnknown;
typedef struct CpdfUnknownVtbl {
  /* Stores the object's interface `iid` (with a new reference) in *object, or
   * NULL and CPDF_E_NOINTERFACE. */
  CpdfResult (*QueryInterface)(CpdfUnknown* self, const CpdfGuid* iid, void** object);
  /* Return the new reference count. */
  uint32_t (*AddRef)(CpdfUnknown* self);
  uint32_t (*Release)(CpdfUnknown* self);
} CpdfUnknownVtbl;
struct CpdfUnknown {
  const CpdfUnknownVtbl* vtbl;
};

typedef struct CpdfClassFactory CpdfClassFactory;
typedef struct CpdfClassFactoryVtbl {
  CpdfResult (*QueryInterface)(CpdfClassFactory* self, const CpdfGuid* iid, void** object);
  uint32_t (*AddRef)(CpdfClassFactory* self);
  uint32_t (*Release)(CpdfClassFactory* self);
  /* Creates a new object and stores its interface `iid` in *object. `outer`
   * must be NULL (no aggregation). */
  CpdfResult (*CreateInstance)(CpdfClassFactory* self, CpdfUnknown* outer, const CpdfGuid* iid,
                               void** object);
  /* A non-zero `lock` keeps the library loaded (DllCanUnloadNow answers
   * CPDF_S_FALSE) until the matching call with 0. */
  CpdfResult (*LockServer)(CpdfClassFactory* self, int32_t lock);
} CpdfClassFactoryVtbl;
struct CpdfClassFactory {
  const CpdfClassFactoryVtbl* vtbl;
};

/* Invoke kinds. */
#define CPDF_DISPATCH_METHOD ((uint16_t)1)
#define CPDF_DISPATCH_PROPERTYGET ((uint16_t)2)
#define CPDF_DISPATCH_PROPERTYPUT ((uint16_t)4)

typedef struct CpdfDispatchVtbl {
  CpdfResult (*QueryInterface)(CpdfDispatch* self, const CpdfGuid* iid, void** object);
  uint32_t (*AddRef)(CpdfDispatch* self);
  uint32_t (*Release)(CpdfDispatch* self);
  /* Dispatch ids of `count` member names, compared without regard to case.
   * An unknown name gets -1 and the result CPDF_DISP_E_UNKNOWNNAME. */
  CpdfResult (*GetIDsOfNames)(CpdfDispatch* self, const char* const* names, uint32_t count,
                              int32_t* dispids);
  /* Calls member `dispid`. `args` are in the order of the member's
   * parameters (for a property put the new value is the last one) and passed
   * by reference: a member may replace an argument's value. `result` (may be
   * NULL) must hold a valid variant; it is cleared and receives the
   * member's value. On failure *error (when `error` is not NULL) receives a
   * malloc'd UTF-8 description that the caller frees. */
  CpdfResult (*Invoke)(CpdfDispatch* self, int32_t dispid, uint16_t kind, CpdfVariant* args,
                       uint32_t arg_count, CpdfVariant* result, char** error);
} CpdfDispatchVtbl;
struct CpdfDispatch {
  const CpdfDispatchVtbl* vtbl;
};

/* ---- Entry points exported by libcorvanepdf.so ------------------------- */

/* The class factory of `clsid` as interface `iid` (CPDF_IID_CLASSFACTORY or
 * CPDF_IID_UNKNOWN); CPDF_CLASS_E_CLASSNOTAVAILABLE for another class. */
CpdfResult DllGetClassObject(const CpdfGuid* clsid, const CpdfGuid* iid, void** object);
/* CPDF_S_OK when no object of the library is alive and no lock is held,
 * else CPDF_S_FALSE. */
CpdfResult DllCanUnloadNow(void);
/* Writes the registration of `corvanepdf.edit` under SOFTWARE\Classes of the
 * machine hive when it is writable, else of the user hive; the library's own
 * absolute path becomes the InprocServer32 value. CPDF_SELFREG_E_CLASS when
 * a value cannot be written. */
CpdfResult DllRegisterServer(void);
/* Removes exactly the keys DllRegisterServer writes, from the user hive and
 * (when writable) the machine hive. CPDF_SELFREG_E_CLASS on failure. */
CpdfResult DllUnregisterServer(void);

typedef CpdfResult (*CpdfGetClassObjectFn)(const CpdfGuid*, const CpdfGuid*, void**);
typedef CpdfResult (*CpdfCanUnloadNowFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* CORVANEPDF_ABI_H */
