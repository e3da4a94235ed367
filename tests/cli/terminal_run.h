// A command run on a pseudo-terminal of its own, its question answered.
#pragma once

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/support/test_support.h"

namespace corvane::test {

struct TerminalRun {
  std::string screen;  // everything the program wrote to its terminal
  int exit_code = -1;
};

// Runs `command` with a pseudo-terminal as its controlling terminal; once the
// screen shows `prompt`, types `answer`.
inline TerminalRun run_on_terminal(const std::string& command, const std::string& prompt, const std::string& answer) {
  TerminalRun run;
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child < 0) return run;
  if (child == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  bool answered = false;
  char buffer[4096];
  // A run that stops talking for a minute is stuck (waiting for an answer
  // it will not get): it is ended, and the test fails on its exit code.
  pollfd watched{terminal, POLLIN, 0};
  for (ssize_t n; ::poll(&watched, 1, 60'000) > 0 && (n = ::read(terminal, buffer, sizeof buffer)) > 0;) {
    run.screen.append(buffer, static_cast<std::size_t>(n));
    if (!answered && contains(run.screen, prompt))
      answered = ::write(terminal, answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
  }
  ::kill(child, SIGKILL);
  ::close(terminal);
  int status = 0;
  ::waitpid(child, &status, 0);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace corvane::test
