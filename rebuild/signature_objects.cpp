#include "rebuild/signature_objects.h"

#include <algorithm>
#include <exception>
#include <string>

#include "rebuild/byte_range_placeholder.h"
#include "rebuild/pdf_literal.h"
#include "rebuild/signing_time.h"
#include "platform/codepage.h"

namespace corvane::rebuild {
namespace {

constexpr std::string_view kFallbackRect = "400.000 60.000 500.000 10.000";
constexpr std::string_view kDefaultDnsName = "Corvane_PDF_Suite";
constexpr std::string_view kDefaultReason = "I am author of this Corvane generated document";

void add_line(std::string& text, std::string_view line) {
  text += line;
  text += '\n';
}

// Writes a code-page string value with its delimiters.
using StringText = std::function<std::string(std::string_view codepage_bytes)>;

std::string literal_string(std::string_view codepage_bytes) {
  return "(" + escape_pdf_literal(codepage_bytes) + ")";
}

// "/Key (value)" with the UTF-8 value in the code page and escaped (or
// written by `string_text`).
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
  if (session.documentEncrypted && encrypt_string) {
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
void add_field_object(std::string& text, SigningSession& session, const SignerDetails& signer,
                      const EncryptStringFn& encrypt_string) {
  add_line(text, std::to_string(session.firstNewObject) + " 0 obj");
  add_line(text, "<<");
  add_line(text, "/P 2 0 R");
  add_line(text, "/V " + std::to_string(session.firstNewObject + 1) + " 0 R");
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
void add_signature_details(std::string& text, SigningSession& session, SignerDetails& signer,
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
// line, with a slot of `width` hex digits between the angle brackets of
// /Contents; where the slot's "<" and the /ByteRange placeholder went.
struct SlotPlace {
  std::size_t slot_at = 0;
  std::size_t byte_range_at = 0;
};
SlotPlace add_signature_dictionary(std::string& text, const SignatureKind& kind, bool with_details,
                                   SigningSession& session, SignerDetails& signer,
                                   const StringText& string_text = literal_string) {
  SlotPlace place;
  add_line(text, "<<");
  text += "/Contents ";
  place.slot_at = text.size();
  // "e" is a hex digit: the slot is a valid string as wide as the longest
  // signature's hex text (and the room reserved for what is added to the
  // signature later), which later overwrites it in place.
  text += '<';
  text.append(kind.slot_hex, 'e');
  add_line(text, "> ");
  place.byte_range_at = text.size();
  add_line(text, kByteRangePlaceholder);
  if (with_details) add_signature_details(text, session, signer, string_text);
  add_line(text, kind.cades ? "/SubFilter /ETSI.CAdES.detached" : "/SubFilter /adbe.pkcs7.detached");
  add_line(text, "/Filter /Adobe.PPKMS");
  add_line(text, "/FT /Sig");
  add_line(text, "/Type /Sig");
  add_line(text, ">>");
  return place;
}

}  // namespace

std::string signature_dictionary_body(SigningSession& session, SignerDetails& signer, const SignatureKind& kind,
                                      const std::function<std::string(std::string_view)>& string_text) {
  std::string text;
  (void)add_signature_dictionary(text, kind, /*with_details=*/true, session, signer, string_text);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

SignatureObjects buildSignatureObjects(SigningSession& session, SignerDetails& signer, const SignatureKind& kind,
                                       const EncryptStringFn& encrypt_string) {
  SignatureObjects objects;
  add_field_object(objects.field, session, signer, encrypt_string);
  objects.dictionary.reserve(1024 + kind.slot_hex);
  add_line(objects.dictionary, std::to_string(session.firstNewObject + 1) + " 0 obj");
  objects.slot_width = kind.slot_hex;
  const SlotPlace place =
      add_signature_dictionary(objects.dictionary, kind, !session.documentEncrypted, session, signer);
  add_line(objects.dictionary, "endobj");
  objects.slot_at = place.slot_at;
  objects.byte_range_at = place.byte_range_at;
  return objects;
}

}  // namespace corvane::rebuild
