// Writing PDF tokens into a byte image: strings, names, numbers and
// fully resolved values. Every value written here stays on one line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <qpdf/QPDFObjectHandle.hh>

namespace corvane::engine {

using Bytes = std::vector<std::uint8_t>;

inline void append(Bytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}
void append_number(Bytes& out, long long value);

// True when every byte is printable ASCII (32 to 126).
[[nodiscard]] bool is_printable_ascii(std::string_view bytes) noexcept;

// A string as a literal "(...)" when it holds only printable ASCII ("(",
// ")" and "\" escaped), otherwise as a hex string "<...>"; so a written
// string never holds a line break, a NUL or another control byte.
void append_string(Bytes& out, std::string_view value);
void append_hex_string(Bytes& out, std::string_view value);

// A scalar (null, boolean, number, name; strings through append_string) in
// the form qpdf reads back unchanged: names with their escapes, reals as
// they were read. Anything that is not a scalar is written as "null".
void append_scalar(Bytes& out, QPDFObjectHandle value);

// The value with every reference replaced by what it refers to, on one
// line: "<< /Key value >>", "[ a b ]". For small values kept apart from a
// document (the encryption dictionary, the file identifier). Values nested
// deeper than eight levels (as a reference cycle would be) are written as
// "null". Throws what qpdf throws when resolving.
[[nodiscard]] std::string resolved_text(QPDFObjectHandle value);

}  // namespace corvane::engine
