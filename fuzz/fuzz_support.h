// Helpers the fuzz entries share: taking inputs apart and a scratch folder
// for the entries that work on files.
#pragma once

#include <string>
#include <string_view>

namespace corvane::fuzz {

// Removes the first line (up to and without its LF) from `input` and
// returns it; the whole input when it holds no LF.
std::string_view take_line(std::string_view& input);

// True when `text` is well-formed UTF-8: no stray or missing continuation
// bytes, no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool valid_utf8(std::string_view text);

// A folder of this process for scratch files, made on first use below
// CORVANE_FUZZ_SCRATCH, else /dev/shm (the many small writes stay in
// memory), else TMPDIR or /tmp; removed when the process ends normally.
const std::string& scratch_dir();

// Writes `bytes` to `path`, replacing it; aborts when that fails.
void write_scratch_file(const std::string& path, std::string_view bytes);

// The file's bytes, "" when it is missing.
std::string read_scratch_file(const std::string& path);

}  // namespace corvane::fuzz
