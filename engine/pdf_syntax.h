// Writing PDF tokens into a byte image: strings, names, numbers and
// fully resolved values. Every value written here stays on one line.
#pragma once

#include <string>
#include <string_view>

#include <qpdf/QPDFObjectHandle.hh>

#include "engine/byte_sink.h"

namespace corvane::engine {

inline void append(ByteSink& out, std::string_view text) { out.append(text); }
void append_number(ByteSink& out, long long value);

// True when every byte is printable ASCII (32 to 126).
[[nodiscard]] bool is_printable_ascii(std::string_view bytes) noexcept;

// A name ("/Type", as qpdf gives it, escapes resolved) in the form qpdf
// reads back unchanged: bytes outside 33 to 126 and delimiters as "#xx".
void append_name(ByteSink& out, std::string_view name);

// A string as a literal "(...)" when it holds only printable ASCII ("(",
// ")" and "\" escaped), otherwise as a hex string "<...>"; so a written
// string never holds a line break, a NUL or another control byte.
void append_string(ByteSink& out, std::string_view value);
void append_hex_string(ByteSink& out, std::string_view value);

// A scalar (null, boolean, number, name; strings through append_string) in
// the form qpdf reads back unchanged: names with their escapes, reals as
// they were read. Anything that is not a scalar is written as "null".
void append_scalar(ByteSink& out, QPDFObjectHandle value);

// The value with every reference replaced by what it refers to, on one
// line: "<< /Key value >>", "[ a b ]". For small values kept apart from a
// document (the encryption dictionary, the file identifier). Values nested
// deeper than eight levels (as a reference cycle would be) are written as
// "null". Throws what qpdf throws when resolving.
[[nodiscard]] std::string resolved_text(QPDFObjectHandle value);

}  // namespace corvane::engine
