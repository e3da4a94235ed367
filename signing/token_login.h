// Logging in to the tokens of the certificate database (smartcards, software
// tokens, a store with a password).
//
// This is the component's one process-wide state: a token is logged in for
// the whole process, and the PINs each token refused are remembered for the
// process's lifetime, shared by every thread. It is guarded by one mutex,
// which is held for the whole of a login, PIN prompt included: a second
// thread that needs the same token waits, then finds it logged in or asks
// for a PIN itself.
//
// A PIN a token refused is never sent to it again (a real card locks after
// three wrong ones): the process keeps a salted SHA-256 digest of it, with a
// salt drawn at random once per process, never the PIN. A different PIN (a
// corrected PIN file, another answer at the prompt) is tried, once; so a
// long-running host gets on once its PIN is put right, without a restart.
//
// The PIN comes from the file named by CORVANE_PIN_FILE (its first line),
// else from a prompt on the controlling terminal (echo off, one prompt at a
// time, on a line of its own above a progress line). A PIN is never logged
// and never kept after the login.
#pragma once

#include <string>

namespace corvane::signing {

// Logs in to every present token of the database that needs a login and is
// not logged in. Returns "" when every such token is logged in, else the
// first problem: "wrong PIN for token NAME" (also for a PIN the token
// refused before, which is then not sent), "no PIN: set CORVANE_PIN_FILE or
// run on a terminal", "the PIN of token NAME is locked". The database must
// be open.
[[nodiscard]] std::string log_in_to_tokens();

// Asks `prompt` on the controlling terminal with echo off, as the PIN is
// asked, and puts the answer line (without its end) into `secret`. False
// when there is no terminal or it ends before a line.
[[nodiscard]] bool ask_secret_on_terminal(const std::string& prompt, std::string& secret);

}  // namespace corvane::signing
