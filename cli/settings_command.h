// The work of `corvanepdf settings`, apart from argument parsing so that it
// can be driven directly. Each returns the exit code (0 or 1) and writes its
// answer to `out`, a one-line message on failure to `err`.
#pragma once

#include <ostream>
#include <string>

namespace corvane::cli {

// Every value of the Corvane pdf key in the machine hive, then in the user
// hive, one per line: "<machine|user>  <name> = <value>", a number marked
// "(dword)", a value of another type shown as "(binary value)", the key's
// default value named "(default)". 1 when a hive cannot be read.
int settings_list(std::ostream& out, std::ostream& err);

// The value as the component reads it: `path` and `debug` through the
// machine key, `UniqueContainerName` from the user key and then the machine
// key, every other name through the user key; through the machine key for
// any name with `machine`. The redirection of a read-only machine key
// applies. 1, with a message, when the value is not set (empty).
int settings_get(const std::string& name, bool machine, std::ostream& out, std::ostream& err);

// Writes a text, or with `dword` a 32-bit number (decimal, or hexadecimal
// after "0x"; -2147483648 to 4294967295), to the user key, or with `machine`
// to the machine key, which is redirected to the user key when this user
// may not write it (said on `err`). 1 when the name or number is not
// acceptable or the write fails. Prints nothing on success.
int settings_set(const std::string& name, const std::string& value, bool dword, bool machine,
                 std::ostream& err);

}  // namespace corvane::cli
