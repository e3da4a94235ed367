// `register` and `unregister`: the registration of the in-process server,
// through the library's own entry points.
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/commands.h"
#include "corvanepdf/abi.h"

namespace corvane::cli {
namespace {

void report(CpdfResult result, const char* done, const char* failed) {
  if (CPDF_SUCCEEDED(result)) {
    std::cout << done << "\n";
    return;
  }
  std::cerr << "corvanepdf: " << failed << "\n";
  throw CLI::RuntimeError(1);
}

}  // namespace

void add_server_commands(CLI::App& app) {
  app.add_subcommand("register", "Register corvanepdf.edit so hosts can create it by name")
      ->callback([] {
        report(DllRegisterServer(), "corvanepdf.edit registered",
               "registration failed: the settings hive cannot be written");
      });
  app.add_subcommand("unregister", "Remove the registration of corvanepdf.edit")->callback([] {
    report(DllUnregisterServer(), "corvanepdf.edit unregistered",
           "unregistration failed: the settings hive cannot be written");
  });
}

}  // namespace corvane::cli
