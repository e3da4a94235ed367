// Logging in to the tokens of the certificate database (smartcards, software
// tokens, a store with a password).
//
// This is the component's one process-wide state: a token is logged in for
// the whole process, so what was learned about a token (logged in, or why
// not) is kept for the process's lifetime and shared by every thread. It is
// guarded by one mutex, which is held for the whole of a login, PIN prompt
// included: a second thread that needs the same token waits and then uses
// the first one's outcome. So a token gets at most one login attempt per
// process, and a wrong PIN is never tried twice (a real card locks after
// three).
//
// The PIN comes from the file named by CORVANE_PIN_FILE (its first line),
// else from a prompt on the controlling terminal (echo off, one prompt at a
// time, on a line of its own above a progress line). A PIN is never logged
// and never kept after the login.
#pragma once

#include <string>

namespace corvane::signing {

// Logs in to every present token of the database that needs a login and has
// not been tried yet in this process. Returns "" when every such token is
// logged in, else the first problem: "wrong PIN for token NAME", "no PIN:
// set CORVANE_PIN_FILE or run on a terminal", "the PIN of token NAME is
// locked". The same problem is returned on every later call, without a new
// attempt. The database must be open.
[[nodiscard]] std::string log_in_to_tokens();

// Asks `prompt` on the controlling terminal with echo off, as the PIN is
// asked, and puts the answer line (without its end) into `secret`. False
// when there is no terminal or it ends before a line.
[[nodiscard]] bool ask_secret_on_terminal(const std::string& prompt, std::string& secret);

}  // namespace corvane::signing
