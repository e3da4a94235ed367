#include "settings/registry.h"

#include "platform/hives.h"

namespace corvane::settings {
namespace {

constexpr std::string_view kMachinePrefix = "HKLM\\SOFTWARE\\Corvane\\pdf";
constexpr std::string_view kUserPrefix = "HKCU\\SOFTWARE\\Corvane\\pdf";
constexpr std::string_view kProbePath = "HKLM\\SOFTWARE\\Corvane\\ctest";

// Whether this thread may write the machine key, found out once by a probe
// write and kept for the life of the thread.
struct RegistryState {
  bool machine_key_readonly = false;
  bool probe_done = false;
};

RegistryState& registry_state() {
  thread_local RegistryState state;
  return state;
}

// Writes the probe value once; a failed write turns the redirection on.
void probe_machine_key() {
  RegistryState& state = registry_state();
  if (state.probe_done) return;
  state.machine_key_readonly = !platform::hive_write_dword(kProbePath, 1);
  state.probe_done = true;
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t hit; (hit = text.find(from, start)) != std::string_view::npos;
       start = hit + from.size()) {
    out.append(text.substr(start, hit - start));
    out.append(to);
  }
  out.append(text.substr(start));
  return out;
}

// Runs the probe, then turns a machine path to the user key when the machine
// key is read-only. Paths outside the Corvane pdf key stay as they are.
std::string redirected(std::string_view path) {
  probe_machine_key();
  if (!registry_state().machine_key_readonly) return std::string(path);
  return replace_all(path, kMachinePrefix, kUserPrefix);
}

}  // namespace

std::string reg_read(std::string_view path) {
  const std::string where = redirected(path);
  std::string result = platform::hive_read(where).value_or("");
  // A read-only machine key: what the user key lacks comes from the machine key.
  if (result.empty() && registry_state().machine_key_readonly &&
      where.find(kUserPrefix) != std::string::npos)
    result = platform::hive_read(replace_all(where, kUserPrefix, kMachinePrefix)).value_or("");
  return result;
}

bool reg_write_text(std::string_view path, std::string_view value) {
  return platform::hive_write_text(redirected(path), value);
}

bool reg_write_number(std::string_view path, std::int32_t value) {
  return platform::hive_write_dword(redirected(path), static_cast<std::uint32_t>(value));
}

bool reg_create_key(std::uint32_t root, std::string_view key_path) {
  platform::HiveRoot hive;
  if (root == kHkeyCurrentUser) hive = platform::HiveRoot::kUser;
  else if (root == kHkeyLocalMachine) hive = platform::HiveRoot::kMachine;
  else return true;
  return !platform::hive_create_key(hive, key_path);
}

}  // namespace corvane::settings
