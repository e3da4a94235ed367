// The C++ interface of corvanepdf: the class `edit`, which puts a digital
// signature into an existing PDF.
//
// Set pdfpath, savepath and, as needed, pdfpasswd, username and reason, then
// call signit(). Texts are UTF-8. Every property is a getter/setter pair
// named as the property. No member throws except GetUniversalTime().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "corvanepdf/abi.h"

namespace corvanepdf {

class edit {
 public:
  // Fills reason from the settings (or "I am the author of this document")
  // and creates the PDF engine, so pdfeditloaded() is true when the engine is
  // available.
  edit();
  ~edit();
  edit(edit&&) noexcept;
  edit& operator=(edit&&) noexcept;
  edit(const edit&) = delete;
  edit& operator=(const edit&) = delete;

  // True while the PDF engine exists; setting false makes signit create it again.
  bool pdfeditloaded() const;
  void pdfeditloaded(bool value);
  // The PDF to sign; cleared by signit when the engine cannot be created.
  std::string pdfpath() const;
  void pdfpath(const std::string& value);
  // The signed file; empty means that nothing is written.
  std::string savepath() const;
  void savepath(const std::string& value);
  // True while a document is open; setting false makes signit open pdfpath again.
  bool pdfloaded() const;
  void pdfloaded(bool value);
  // The password of an encrypted document.
  std::string pdfpasswd() const;
  void pdfpasswd(const std::string& value);
  // The signer's user name; after signit it reads back in lower case
  // without surrounding blanks.
  std::string username() const;
  void username(const std::string& value);
  // The signing reason.
  std::string reason() const;
  void reason(const std::string& value);
  // "1" leaves an encrypted document unencrypted, "0" keeps it encrypted;
  // replaced from the settings at every signit.
  std::string dontencrypt() const;
  void dontencrypt(const std::string& value);
  // True: signit appends the signature as an incremental update, so that
  // earlier signatures stay valid; false: it rebuilds the document. Reads
  // the setting `appendmode` until set here.
  bool appendmode() const;
  void appendmode(bool value);
  // The certificate this instance signs with, by nickname, SHA-256
  // fingerprint or unique container name; "" (the default) uses the saved
  // choice. It is never saved, and a certificate it does not name is never
  // used instead.
  std::string containername() const;
  void containername(const std::string& value);
  // "1" makes a PAdES signature (CAdES signed attributes, /SubFilter
  // /ETSI.CAdES.detached), "0" the PKCS#7 one; "" (the default) leaves it to
  // the setting `pades`.
  std::string pades() const;
  void pades(const std::string& value);
  // URL of an RFC 3161 timestamp authority whose token is added to the
  // signature; "" (the default) leaves it to the setting `tsaurl`.
  std::string tsaurl() const;
  void tsaurl(const std::string& value);
  // "1" adds the signature's validation data after it (the chain's
  // certificates, OCSP responses or CRLs fetched from the URLs in the
  // certificates, in the document's /DSS), "0" does not; "" (the default)
  // leaves it to the setting `ltv`.
  std::string ltv() const;
  void ltv(const std::string& value);
  // "1", "2" or "3": the signature certifies the document (no changes;
  // form filling and signing; also annotations allowed afterwards), "0" an
  // approval signature; "" (the default) leaves it to the setting
  // `certifylevel`. Only a document's first signature may certify it.
  std::string certifylevel() const;
  void certifylevel(const std::string& value);
  // The full name of an empty signature field of the document to sign, as
  // an incremental update whatever appendmode says; "" (the default) adds
  // a new field.
  std::string fieldname() const;
  void fieldname(const std::string& value);

  // Signs pdfpath into savepath. True when the signed file was made, also
  // when it could not be written to savepath (last_error() then says so).
  bool signit();
  // The one-line reason of the last signit that answered false, or whose
  // signed file could not be written; "" after a signit that fully
  // succeeded. Read-only; cleared at the start of every signit.
  std::string last_error() const;
  // The kind of that failure, for a program to act on (CPDF_ERROR_NONE
  // when last_error() is ""; abi.h lists the kinds).
  CpdfErrorCode last_error_code() const;
  // The part of last_error() that quotes the layer below: the engine's
  // reason for not reading the document (CPDF_ERROR_NOT_PDF), the file
  // system's for not writing the signed file (CPDF_ERROR_NOT_WRITTEN); ""
  // when it quotes none.
  std::string last_error_cause() const;
  // The empty prepared signature fields the last signit in append mode
  // passed by when it added a field of its own (fieldname not set), by full
  // name; empty after any other run.
  std::vector<std::string> fields_left_empty() const;
  // One byte per character in the component's single-byte code page ('?' for
  // a character it lacks); a one-byte array holding 0 for "". The argument is
  // not changed.
  std::vector<std::uint8_t> string2byte(std::string& stringword);
  // The lower-case hex text of a detached PKCS#7 signature of `was`; "" for
  // an empty text or a failed signing, or the error text of the store.
  std::string sign(std::string& was);
  // Shows the certificate chooser and returns when it is closed.
  void choose_certificate();
  // The local time with its offset from UTC ("dd.mm.yyyy hh:mm:ss +hhmm").
  // Throws std::runtime_error when the time cannot be made.
  std::string GetUniversalTime();

 private:
  struct impl;
  std::unique_ptr<impl> impl_;
};

}  // namespace corvanepdf
