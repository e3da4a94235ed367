// The user's certificate database: `sql:$HOME/.pki/nssdb`, or the database
// named by CORVANE_NSSDB. It is opened read-only once per process and then
// shared by every thread; every PKCS#11 token it lists (smartcards, software
// tokens) is part of it. A host that has set NSS up itself keeps its own
// database.
//
// NSS never asks for a password by itself: token logins are made by
// token_login.h, once per token and process.
#pragma once

#include <string>

namespace corvane::signing {

// Opens the database on first use. True when it is open; otherwise false
// with `error` saying why (the same text on every later call).
[[nodiscard]] bool ensure_database(std::string& error);

// Opens the database for writing on first use, making its folder and an
// empty database with an empty password when they are missing. Must come
// before any other use in the process (the database opens only once).
[[nodiscard]] bool ensure_writable_database(std::string& error);

// The database's name as NSS takes it ("sql:/home/u/.pki/nssdb").
[[nodiscard]] std::string database_name();

// True when the database is a system-wide one (outside the user's home).
[[nodiscard]] bool database_is_system_wide();

}  // namespace corvane::signing
