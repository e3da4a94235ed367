#include "cli/settings_command.h"

#include <strings.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdint>
#include <iomanip>
#include <iostream>
#include <optional>

#include "cli/certificates_command.h"
#include "cli/commands.h"
#include "settings/host_access.h"
#include "settings/registry.h"
#include "settings/setting_values.h"

namespace corvane::cli {
namespace {

constexpr std::string_view kPdfKey = "SOFTWARE\\Corvane\\pdf";

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string_view hive_label(settings::HiveRoot root) {
  return root == settings::HiveRoot::kMachine ? "machine" : "user";
}

// -2147483648 .. 4294967295 in decimal, or "0x" and up to eight hex digits.
std::optional<std::int32_t> parse_number(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < INT32_MIN || value > static_cast<long long>(UINT32_MAX)) return std::nullopt;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

void run(int exit_code) {
  if (exit_code != 0) throw CLI::RuntimeError(exit_code);
}

}  // namespace

int settings_list(std::ostream& out, std::ostream& err) {
  int exit_code = 0;
  for (const auto root : {settings::HiveRoot::kMachine, settings::HiveRoot::kUser}) {
    const std::string file = settings::hive_file_path(root);
    const auto values = settings::hive_list_values(root, kPdfKey);
    if (!settings::hive_intact(root)) {
      err << "cannot read the " << hive_label(root) << " settings: " << file << "\n";
      exit_code = 1;
      continue;
    }
    if (!values) continue;  // no Corvane pdf key there
    for (const auto& value : *values) {
      out << std::left << std::setw(9) << hive_label(root)
          << (value.name.empty() ? "(default)" : value.name) << " = ";
      switch (value.type) {
        case settings::HiveValue::Type::kText: out << value.text; break;
        case settings::HiveValue::Type::kDword: out << value.text << " (dword)"; break;
        case settings::HiveValue::Type::kOther: out << "(binary value)"; break;
      }
      out << "\n";
    }
  }
  return exit_code;
}

int settings_get(const std::string& name, bool machine, std::ostream& out, std::ostream& err) {
  const bool machine_name = same_name(name, "path") || same_name(name, "debug");
  const std::string_view base =
      machine || machine_name ? settings::kMachineBase : settings::kUserBase;
  // The signing key is read as the component reads it: user key, then machine key.
  const std::string value = !machine && same_name(name, "UniqueContainerName")
                                ? settings::read_setting(name)
                                : settings::reg_read(std::string(base) + name);
  if (value.empty()) {
    err << name << " is not set\n";
    return 1;
  }
  out << value << "\n";
  return 0;
}

int settings_set(const std::string& name, const std::string& value, bool dword, bool machine,
                 std::ostream& err) {
  if (name.empty() || name.find_first_of("\\\r\n") != std::string::npos) {
    err << "not a value name: \"" << name << "\"\n";
    return 1;
  }
  const std::string path =
      std::string(machine ? settings::kMachineBase : settings::kUserBase) + name;
  bool written;
  if (dword) {
    const auto number = parse_number(value);
    if (!number) {
      err << "not a 32-bit number: " << value << "\n";
      return 1;
    }
    written = settings::reg_write_number(path, *number);
  } else {
    written = settings::reg_write_text(path, value);
  }
  // The store sends machine writes to the user key when this user may not
  // write the machine hive.
  const bool to_user = !machine || !settings::hive_writable(settings::HiveRoot::kMachine);
  const auto root = to_user ? settings::HiveRoot::kUser : settings::HiveRoot::kMachine;
  if (!written) {
    err << "cannot write " << name << " to the " << hive_label(root)
        << " settings: " << settings::hive_file_path(root) << "\n";
    return 1;
  }
  if (machine && to_user)
    err << "the machine settings are read-only for this user: " << name
        << " was written to the user settings (" << settings::hive_file_path(root) << ")\n";
  return 0;
}

void add_settings_command(CLI::App& app) {
  auto* settings = app.add_subcommand("settings", "Show and change the values of the Corvane pdf key");
  settings->require_subcommand(1);

  settings->add_subcommand("list", "Every value of the machine and the user key, with its source")
      ->callback([] { run(settings_list(std::cout, std::cerr)); });

  struct GetArgs {
    std::string name;
    bool machine = false;
  };
  auto get_args = std::make_shared<GetArgs>();
  auto* get = settings->add_subcommand("get", "Print a value as the component reads it");
  get->add_option("NAME", get_args->name, "Value name")->required();
  get->add_flag("--machine", get_args->machine, "Read through the machine key");
  get->callback([get_args] {
    run(settings_get(get_args->name, get_args->machine, std::cout, std::cerr));
  });

  struct SetArgs {
    std::string name;
    std::string value;
    bool dword = false;
    bool machine = false;
  };
  auto set_args = std::make_shared<SetArgs>();
  auto* set = settings->add_subcommand("set", "Write a value to the user key (or the machine key)");
  set->add_option("NAME", set_args->name, "Value name")->required();
  set->add_option("VALUE", set_args->value, "Text, or a number with --dword")->required();
  set->add_flag("--dword", set_args->dword, "Write a 32-bit number (REG_DWORD)");
  set->add_flag("--machine", set_args->machine,
                "Write to the machine key (the user key when the machine key is read-only)");
  set->callback([set_args] {
    std::string value = set_args->value;
    // The signing key may be named as --cert names it; the setting holds its
    // unique container name, and a key the user's store lacks is refused
    // (the machine's choice is for other users' stores).
    if (same_name(set_args->name, "UniqueContainerName") && !set_args->dword && !set_args->machine &&
        !value.empty()) {
      const auto container = container_name_for(value, std::cerr);
      if (!container) run(1);
      value = *container;
    }
    run(settings_set(set_args->name, value, set_args->dword, set_args->machine, std::cerr));
  });
}

}  // namespace corvane::cli
