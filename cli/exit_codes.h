// The exit status of corvanepdf, one table for every command.
#pragma once

namespace corvane::cli {

enum ExitCode : int {
  kExitSuccess = 0,  // the command did what was asked
  kExitFailed = 1,   // the operation failed (a file not signed, a store not readable, ...)
  kExitUsage = 2,    // wrong arguments: an unknown command or option, a missing value
};

}  // namespace corvane::cli
