// Finding the signature dictionaries of a PDF: the values of every signature
// field reachable from the document's form (/AcroForm /Fields and their
// /Kids) or from a widget annotation of a page.
#pragma once

#include <string>
#include <vector>

#include "verify/signature_report.h"

class QPDF;

namespace corvane::verify {

// One signature dictionary as the document holds it.
struct SignatureDictionary {
  std::string field_name;        // the field's full name ("form.sig"); "" when it has none
  std::vector<long long> byte_range;  // the numbers of /ByteRange; empty when it is missing or not all integers
  long long contents_offset = -1;     // where /Contents begins in the file; -1 when unknown
  // The bytes of /Contents, kept only when its offset is unknown: the
  // signature is read from the file at its offset, so that many fields
  // sharing one large /Contents cost no copies of it.
  std::string contents;
  std::string signing_time;      // /M as written; "" when absent
  std::string sub_filter;        // /SubFilter without the slash; "" when absent
  // The dictionary's object (number, generation); 0 when it is direct.
  int object_number = 0;
  int object_generation = 0;
  // The dictionary (or the field holding a direct one) is stored inside an
  // object stream: its /Contents then has no place in the file, and an
  // offset found for it is one in the decoded stream.
  bool in_object_stream = false;
  // The /P of the certification this signature makes (/Perms /DocMDP
  // names it); 0 for an approval signature.
  int certification = 0;
  FieldLocks locks;  // what its field's /Lock and its FieldMDP reference lock
};

struct SignatureScan {
  bool opened = false;
  std::string error;  // why the document could not be read; "" when opened
  std::vector<SignatureDictionary> signatures;  // in the order of the form, then of the pages
};

// Lists the signature dictionaries of the document `pdf`, each once even
// when it is reachable along several ways. A field counts when its own or
// an inherited /FT is /Sig and its /V is a dictionary. Cycles in /Kids or
// /Parent, of the form and of the page tree, are followed once. The pages
// and their annotations are let go of as they are read (they read as null
// afterwards), so that memory stays small whatever the number of pages:
// read anything else from `pdf` first. Never throws: a document whose
// objects cannot be read gives `opened` false and `error`.
[[nodiscard]] SignatureScan find_signatures(QPDF& pdf);

}  // namespace corvane::verify
