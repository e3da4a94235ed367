// Makes a PDF with N distinct signatures for the verify benchmark: a first
// revision with GROUPS pages and as many empty parent fields, then N
// incremental revisions, each adding one signature field (an invisible
// widget on a page, a kid of a parent field) with its own signature
// dictionary, /Contents and /ByteRange covering its revision. Each
// revision rewrites only its group's /Kids and /Annots arrays, so the file
// grows linearly; the SHA-256 state over the file so far is carried from
// revision to revision, so that making it is linear too.
//
//   make_signed_revisions N SIGNER.crt SIGNER.key OUT.pdf [GROUPS]
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kSlotBytes = 2048;  // room for the DER of each signature

struct Object {
  int number;
  std::string body;
};

std::string reference(int number) { return std::to_string(number) + " 0 R"; }

std::string ten_digits(std::size_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%010zu", value);
  return text;
}

// Appends `objects` and their cross-reference section after `file`;
// returns the offsets of the objects' bodies within the appended text.
std::size_t append_revision(std::string& file, const std::vector<Object>& objects, std::size_t previous_xref,
                            int size, std::vector<std::size_t>* body_offsets) {
  std::vector<std::size_t> offsets;
  for (const Object& o : objects) {
    offsets.push_back(file.size());
    file += std::to_string(o.number) + " 0 obj\n";
    if (body_offsets) body_offsets->push_back(file.size());
    file += o.body + "\nendobj\n";
  }
  const std::size_t xref = file.size();
  file += "xref\n0 1\n0000000000 65535 f \n";
  for (std::size_t i = 0; i < objects.size(); ++i)
    file += std::to_string(objects[i].number) + " 1\n" + ten_digits(offsets[i]) + " 00000 n \n";
  file += "trailer\n<< /Size " + std::to_string(size) + " /Root 1 0 R";
  if (previous_xref) file += " /Prev " + std::to_string(previous_xref);
  file += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return xref;
}

std::string list(const std::vector<int>& numbers) {
  std::string out = "[";
  for (int n : numbers) out += reference(n) + " ";
  return out + "]";
}

// A detached CMS signature with signed attributes over `digest` (SHA-256).
std::string sign_digest(X509* cert, EVP_PKEY* key, const unsigned char* digest) {
  CMS_ContentInfo* cms = CMS_sign(nullptr, nullptr, nullptr, nullptr, CMS_DETACHED | CMS_PARTIAL | CMS_BINARY);
  CMS_SignerInfo* signer = cms ? CMS_add1_signer(cms, cert, key, EVP_sha256(), CMS_PARTIAL | CMS_NOSMIMECAP) : nullptr;
  unsigned char* der = nullptr;
  int length = -1;
  if (signer &&
      CMS_signed_add1_attr_by_NID(signer, NID_pkcs9_contentType, V_ASN1_OBJECT, OBJ_nid2obj(NID_pkcs7_data), -1) &&
      CMS_signed_add1_attr_by_NID(signer, NID_pkcs9_messageDigest, V_ASN1_OCTET_STRING, digest, 32) &&
      CMS_SignerInfo_sign(signer) == 1)
    length = i2d_CMS_ContentInfo(cms, &der);
  CMS_ContentInfo_free(cms);
  if (length < 0) return {};
  std::string out(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length));
  OPENSSL_free(der);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "usage: make_signed_revisions N SIGNER.crt SIGNER.key OUT.pdf [GROUPS]\n";
    return 2;
  }
  const int count = std::stoi(argv[1]);
  const int groups = argc > 5 ? std::stoi(argv[5]) : 100;
  FILE* cert_file = std::fopen(argv[2], "r");
  FILE* key_file = std::fopen(argv[3], "r");
  X509* cert = cert_file ? PEM_read_X509(cert_file, nullptr, nullptr, nullptr) : nullptr;
  EVP_PKEY* key = key_file ? PEM_read_PrivateKey(key_file, nullptr, nullptr, nullptr) : nullptr;
  if (!cert || !key) {
    std::cerr << "the certificate or the key cannot be read\n";
    return 1;
  }

  // 1 catalog, 2 pages, 3 the form's fields; per group: a page, its
  // /Annots, a parent field, its /Kids.
  auto page = [](int g) { return 4 + 4 * g; };
  auto annots = [](int g) { return 5 + 4 * g; };
  auto parent = [](int g) { return 6 + 4 * g; };
  auto kids = [](int g) { return 7 + 4 * g; };
  std::vector<int> pages, parents;
  for (int g = 0; g < groups; ++g) {
    pages.push_back(page(g));
    parents.push_back(parent(g));
  }
  std::vector<Object> first = {
      {1, "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields 3 0 R /SigFlags 3 >> >>"},
      {2, "<< /Type /Pages /Kids " + list(pages) + " /Count " + std::to_string(groups) + " >>"},
      {3, list(parents)},
  };
  for (int g = 0; g < groups; ++g) {
    first.push_back({page(g), "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Annots " + reference(annots(g)) + " >>"});
    first.push_back({annots(g), "[]"});
    first.push_back({parent(g), "<< /T (group" + std::to_string(g) + ") /Kids " + reference(kids(g)) + " >>"});
    first.push_back({kids(g), "[]"});
  }
  int size = 4 + 4 * groups;
  std::string file = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n";
  std::size_t xref = append_revision(file, first, 0, size, nullptr);

  EVP_MD_CTX* so_far = EVP_MD_CTX_new();
  EVP_MD_CTX* one = EVP_MD_CTX_new();
  EVP_DigestInit_ex(so_far, EVP_sha256(), nullptr);
  EVP_DigestUpdate(so_far, file.data(), file.size());
  std::vector<std::vector<int>> kid_lists(groups), annot_lists(groups);
  const std::string placeholder = "[0 0000000000 0000000000 0000000000]";
  for (int i = 0; i < count; ++i) {
    const int g = i % groups;
    const int widget = size, dictionary = size + 1;
    size += 2;
    kid_lists[g].push_back(widget);
    annot_lists[g].push_back(widget);
    const std::size_t start = file.size();
    std::vector<std::size_t> bodies;
    xref = append_revision(
        file,
        {{widget, "<< /T (s" + std::to_string(i) + ") /Parent " + reference(parent(g)) +
                      " /FT /Sig /Type /Annot /Subtype /Widget /Rect [0 0 0 0] /F 132 /P " + reference(page(g)) +
                      " /V " + reference(dictionary) + " >>"},
         {dictionary, "<< /Type /Sig /Filter /Adobe.PPKLite /SubFilter /adbe.pkcs7.detached /M (D:20261206000000Z)"
                      " /ByteRange " + placeholder + " /Contents <" + std::string(2 * kSlotBytes, '0') + "> >>"},
         {kids(g), list(kid_lists[g])},
         {annots(g), list(annot_lists[g])}},
        xref, size, &bodies);
    const std::size_t slot = file.find("/Contents <", bodies[1]) + 10;
    const std::size_t slot_end = slot + 2 * kSlotBytes + 2;
    const std::string ranges =
        "[0 " + ten_digits(slot) + " " + ten_digits(slot_end) + " " + ten_digits(file.size() - slot_end) + "]";
    file.replace(file.find(placeholder, bodies[1]), placeholder.size(), ranges);

    unsigned char digest[32];
    EVP_MD_CTX_copy_ex(one, so_far);
    EVP_DigestUpdate(one, file.data() + start, slot - start);
    EVP_DigestUpdate(one, file.data() + slot_end, file.size() - slot_end);
    EVP_DigestFinal_ex(one, digest, nullptr);
    const std::string der = sign_digest(cert, key, digest);
    if (der.empty() || der.size() > kSlotBytes) {
      std::cerr << "signature " << i << " cannot be made or does not fit its slot\n";
      return 1;
    }
    static const char kHex[] = "0123456789abcdef";
    for (std::size_t b = 0; b < der.size(); ++b) {
      file[slot + 1 + 2 * b] = kHex[static_cast<unsigned char>(der[b]) >> 4];
      file[slot + 2 + 2 * b] = kHex[static_cast<unsigned char>(der[b]) & 15];
    }
    EVP_DigestUpdate(so_far, file.data() + start, file.size() - start);
  }
  std::ofstream(argv[4], std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
  return 0;
}
