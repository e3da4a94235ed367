// Signatures for the verifier's tests, made with openssl cms (with or without signed attributes, any digest).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace corvane::test {

// A detached CMS signature of `content` by the fixture key `key` ("signer", "ecsigner", or the path of
// KEY.crt and KEY.key without the ending) with the digest `md`; `flags` go to `openssl cms -sign`.
std::vector<std::uint8_t> openssl_sign(const std::string& content, const std::string& key, const std::string& md,
                                       const std::string& flags = "");

// A one-page PDF with `fields` signature fields whose dictionaries share one /ByteRange and one /Contents
// (an indirect string of `slot_bytes` bytes), signed over the ranges with openssl_sign(key, md, flags).
std::string make_shared_slot_pdf(int fields, std::size_t slot_bytes, const std::string& key, const std::string& md,
                                 const std::string& flags = "");

// with_update, and `packed` stored in an object stream (numbered one above every other object) that a
// cross-reference stream named by the trailer's /XRefStm lists.
std::string with_packed_update(const std::string& pdf, const std::vector<UpdateObject>& objects,
                               const std::vector<UpdateObject>& packed);

// The body of a signature dictionary with an empty slot for with_signed_update; `extra` adds entries.
std::string signature_dictionary(const std::string& extra = "");

// with_update, signed: the object made with signature_dictionary() gets its /ByteRange and a signature by
// the fixture key `key` over the whole resulting file.
std::string with_signed_update(const std::string& pdf, const std::vector<UpdateObject>& objects,
                               const std::string& key = "signer", const std::string& trailer_extra = "");

}  // namespace corvane::test
