// The exit status of corvanepdf, one table for every command. `verify`
// exits with its verdict instead (verify::Verdict: 0 holds, 1 broken,
// 2 unreadable, 3 untrusted); its 2 and 3 mean what its --help says.
#pragma once

namespace corvane::cli {

enum ExitCode : int {
  kExitSuccess = 0,  // the command did what was asked
  kExitFailed = 1,   // the operation failed (a file not signed, a store not readable, ...)
  kExitUsage = 2,    // wrong arguments: an unknown command or option, a missing value
};

}  // namespace corvane::cli
