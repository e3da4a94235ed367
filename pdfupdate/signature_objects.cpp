#include "pdfupdate/signature_objects.h"

#include <algorithm>
#include <exception>
#include <string>

#include "pdfupdate/byte_range_placeholder.h"
#include "pdfupdate/pdf_literal.h"
#include "pdfupdate/signing_time.h"
#include "pdfupdate/xref.h"
#include "platform/codepage.h"

namespace corvane::pdfupdate {
namespace {

constexpr std::string_view kFieldNumber = "@@newxrefnumber-2@@";
constexpr std::string_view kDictionaryNumber = "@@newxrefnumber-1@@";
constexpr std::string_view kSignatureSlot = "@@dummysig@@";

constexpr std::string_view kFallbackRect = "400.000 60.000 500.000 10.000";
constexpr std::string_view kDefaultDnsName = "Corvane_PDF_Suite";
constexpr std::string_view kDefaultReason = "I am author of this Corvane generated document";

void add_line(std::string& text, std::string_view line) {
  text += line;
  text += '\n';
}

// What the two objects hold in place of their tokens: the object numbers
// and the signature slot once numbered and sized, else the tokens
// themselves (the pipeline refuses a run that leaves one).
struct Filled {
  std::string field_number{kFieldNumber};
  std::string dictionary_number{kDictionaryNumber};
  std::string slot{kSignatureSlot};
};

// Writes a code-page string value with its delimiters.
using StringText = std::function<std::string(std::string_view codepage_bytes)>;

std::string literal_string(std::string_view codepage_bytes) {
  return "(" + escape_pdf_literal(codepage_bytes) + ")";
}

// "/Key (value)" with the UTF-8 value in the code page and escaped (or
// written by `string_text`). User texts go in last, after every token is
// filled: nothing reads them again.
void add_string_entry(std::string& text, std::string_view key, std::string_view utf8_value,
                      const StringText& string_text = literal_string) {
  text += key;
  text += " ";
  text += string_text(platform::utf8_to_codepage(utf8_value));
  text += "\n";
}

// The field's name: in an encrypted document a hex string encrypted with
// the document's key for the field's object number, so that readers
// decrypt it to the name; a plain string when that cannot be made.
void add_field_name(std::string& text, const SigningSession& session, const std::string& name,
                    const EncryptStringFn& encrypt_string) {
  if (session.documentEncrypted && encrypt_string && session.firstNewObject > 0) {
    const std::string hex = encrypt_string(session.firstNewObject, platform::utf8_to_codepage(name));
    if (!hex.empty()) {
      add_line(text, "/T <" + hex + ">");
      return;
    }
  }
  add_string_entry(text, "/T", name);
}

// `wished`, or "wished (2)", "wished (3)", ...: the first that is not in
// `taken`.
std::string free_field_name(const std::string& wished, const std::vector<std::string>& taken) {
  const auto is_taken = [&taken](const std::string& name) {
    return std::find(taken.begin(), taken.end(), name) != taken.end();
  };
  std::string name = wished;
  for (int n = 2; is_taken(name); ++n) name = wished + " (" + std::to_string(n) + ")";
  return name;
}

// The signature field merged with its widget annotation, on page object 2.
void add_field_object(std::string& text, SigningSession& session, const SignerState& signer, const Filled& filled,
                      const EncryptStringFn& encrypt_string) {
  add_line(text, filled.field_number + " 0 obj");
  add_line(text, "<<");
  add_line(text, "/P 2 0 R");
  add_line(text, "/V " + filled.dictionary_number + " 0 R");
  add_line(text, "/F 4");  // annotation flag Print
  if (!signer.signerName.empty())
    add_field_name(text, session, free_field_name(signer.signerName, session.fieldNames), encrypt_string);
  if (session.signatureRect.empty()) computeSignatureRect(session);
  const std::string_view rect =
      session.signatureRect.empty() ? kFallbackRect : std::string_view(session.signatureRect);
  add_line(text, "/Rect [" + std::string(rect) + " ]");
  add_line(text, "/FT /Sig");
  add_line(text, "/Subtype /Widget");
  add_line(text, "/Type /Annot");
  add_line(text, ">>");
  add_line(text, "endobj");
}

// The descriptive entries of the signature dictionary. The rebuild leaves
// them out of encrypted documents: as optional texts they are not worth
// encrypting there.
void add_signature_details(std::string& text, SigningSession& session, SignerState& signer,
                           const StringText& string_text = literal_string) {
  try {
    const std::string date = pdfSigningDate();
    add_string_entry(text, "/M", date, string_text);
  } catch (const std::exception&) {
    // No time text can be made on this machine: the dictionary has no /M.
  }
  if (signer.signerDnsName.empty()) signer.signerDnsName = kDefaultDnsName;
  add_string_entry(text, "/Location", signer.signerDnsName, string_text);
  if (!signer.signerName.empty()) add_string_entry(text, "/Name", signer.signerName, string_text);
  if (!signer.signerEmail.empty()) add_string_entry(text, "/ContactInfo", signer.signerEmail, string_text);
  if (session.signingReason.empty()) session.signingReason = kDefaultReason;
  add_string_entry(text, "/Reason", session.signingReason, string_text);
}

// The signature dictionary's entries from "<<" to ">>", each on its own
// line, with `slot` between the angle brackets of /Contents.
void add_signature_dictionary(std::string& text, std::string_view slot, bool with_details, bool cades,
                              SigningSession& session, SignerState& signer,
                              const StringText& string_text = literal_string) {
  add_line(text, "<<");
  add_line(text, "/Contents <" + std::string(slot) + "> ");
  add_line(text, kByteRangePlaceholder);
  if (with_details) add_signature_details(text, session, signer, string_text);
  add_line(text, cades ? "/SubFilter /ETSI.CAdES.detached" : "/SubFilter /adbe.pkcs7.detached");
  add_line(text, "/Filter /Adobe.PPKMS");
  add_line(text, "/FT /Sig");
  add_line(text, "/Type /Sig");
  add_line(text, ">>");
}

// The signature dictionary with its /Contents slot and /ByteRange
// placeholder.
void add_signature_object(std::string& text, SigningSession& session, SignerState& signer, bool cades,
                          const Filled& filled) {
  add_line(text, filled.dictionary_number + " 0 obj");
  add_signature_dictionary(text, filled.slot, !session.documentEncrypted, cades, session, signer);
  add_line(text, "endobj");
}

// Hands out the object numbers N and N + 1 and reserves their entries in the
// cross-reference table. firstNewObject stays 0 when the table is outside
// the layout the rebuild understands.
void number_new_objects(SigningSession& session) {
  if (session.trailerSize == 0) session.trailerSize = readTrailerSize(session);
  if (session.trailerSize > 0) {
    session.firstNewObject = 0;
    reserveSignatureEntries(session);
  }
}

}  // namespace

std::string signature_dictionary_body(SigningSession& session, SignerState& signer, const SignatureKind& kind,
                                      const std::function<std::string(std::string_view)>& string_text) {
  std::string text;
  add_signature_dictionary(text, std::string(kind.slot_hex, 'e'), /*with_details=*/true, kind.cades, session, signer,
                           string_text);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string buildSignatureObjects(SigningSession& session, SignerState& signer, const SignatureKind& kind,
                                  const EncryptStringFn& encrypt_string) {
  // Numbers and slot first, so that the objects are written in one pass and
  // no user text (name, reason) is ever searched for a token.
  Filled filled;
  number_new_objects(session);
  if (session.firstNewObject > 0) {
    filled.field_number = std::to_string(session.firstNewObject);
    filled.dictionary_number = std::to_string(session.firstNewObject + 1);
    // "e" is a hex digit: the slot is a valid string as wide as the longest
    // signature's hex text (and the room reserved for what is added to the
    // signature later), which later overwrites it in place.
    filled.slot.assign(kind.slot_hex, 'e');
  }

  std::string text;
  text.reserve(1024 + filled.slot.size());
  add_field_object(text, session, signer, filled, encrypt_string);
  add_signature_object(text, session, signer, kind.cades, filled);

  if (!session.signatureObjectsText.empty()) return {};
  session.signatureObjectsText = text;
  return text;
}

}  // namespace corvane::pdfupdate
