// The kinds of failure a host tells apart: the one list of them. Each
// entry gives the C++ name (platform::ErrorCode), the name that follows
// CPDF_ERROR_ in include/corvanepdf/abi.h and in the Python module's
// ErrorCode, and the published number, which never changes. The C header
// stays plain C, so it spells the list out again: the build checks it
// against this one entry by entry, and a test checks that it and the Python
// module hold exactly these names and numbers. A new kind goes at the end.
#pragma once

// X(name, C_NAME, number) for each kind.
#define CORVANE_ERROR_CODES(X)                                                                   \
  X(kNone, NONE, 0)                                   /* no failure */                           \
  X(kFailed, FAILED, 1)                               /* any other: the message says what */     \
  X(kNoSuchFile, NO_SUCH_FILE, 2)                     /* the document does not exist */          \
  X(kNotPdf, NOT_PDF, 3)                              /* not a PDF the engine can read */        \
  X(kPasswordMissing, PASSWORD_MISSING, 4)            /* encrypted, and no password */           \
  X(kPasswordRefused, PASSWORD_REFUSED, 5)            /* encrypted, and a wrong password */      \
  X(kCertificateNotFound, CERTIFICATE_NOT_FOUND, 6)   /* not in the store, or none selected */   \
  X(kTokenLogin, TOKEN_LOGIN, 7)                      /* the key's token refused the login */    \
  X(kTimestampAuthority, TIMESTAMP_AUTHORITY, 8)      /* failed or answered wrongly */           \
  X(kValidationData, VALIDATION_DATA, 9)              /* not fetched or not added */             \
  X(kCertificateRevoked, CERTIFICATE_REVOKED, 10)     /* the signer's or one of its chain */     \
  X(kChangedWhileSigning, CHANGED_WHILE_SIGNING, 11)  /* the input replaced by another run */    \
  X(kNotWritten, NOT_WRITTEN, 12)                     /* done, but the output not written */     \
  X(kEngineUnavailable, ENGINE_UNAVAILABLE, 13)       /* the PDF engine could not be created */  \
  X(kDocumentLayout, DOCUMENT_LAYOUT, 14)             /* a layout or size the run cannot take */ \
  X(kSigningFailed, SIGNING_FAILED, 15)               /* no signature, or one too long */      \
  X(kBadOption, BAD_OPTION, 16)                       /* a property or setting it cannot use */ \
  X(kNotPermitted, NOT_PERMITTED, 17)                 /* a certification or a lock forbids it */
