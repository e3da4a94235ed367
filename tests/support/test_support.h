// Helpers shared by the tests: fixture paths, scratch folders, running programs, hand-made PDFs.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace corvane::test {

std::filesystem::path fixtures_dir();  // what the fixture script filled (pdf/, nss/)
std::filesystem::path fixture_pdf(const std::string& name);
// A fresh empty folder under the build tree, removed when the object dies.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& label = "scratch");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

struct CommandResult {
  int exit_code = -1;
  std::string output;  // stdout and stderr together
};
CommandResult run_command(const std::string& command_line);
std::string shell_quote(const std::string& text);
inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
// How often `part` occurs in `text` (overlaps counted).
inline std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}
// `program ARGUMENTS` with the hives dir/hklm.reg and dir/hkcu.reg and `environment` ("NAME=VALUE ..."),
// without a display or controlling terminal (no chooser can show); `redirections` replace </dev/null.
CommandResult run_without_terminal(const std::filesystem::path& dir, const std::string& program,
                                   const std::string& arguments, const std::string& environment = "",
                                   const std::string& redirections = "</dev/null");

// Runs every command line at once (as run_without_terminal would) and waits for all; results in order.
std::vector<CommandResult> run_at_once(const std::filesystem::path& dir, const std::vector<std::string>& command_lines);

// Holds an exclusive flock on `path` for the object's life, as a run writing into its own input does.
class HeldFileLock {
 public:
  explicit HeldFileLock(const std::filesystem::path& path);
  ~HeldFileLock();
  HeldFileLock(const HeldFileLock&) = delete;
  HeldFileLock& operator=(const HeldFileLock&) = delete;
  void release();

 private:
  int fd_ = -1;
};
// Waits until a process holds (`waiting` false) or waits for (true) a flock on `path`; false after 60 s.
bool wait_for_file_lock(const std::filesystem::path& path, bool waiting);

// A PDF with a classic table: object i + 1 is objects[i], object 1 the catalog; exact offsets.
std::string make_pdf(const std::vector<std::string>& objects, const std::string& trailer_extra = "");
// A stream object's body holding `data`; `dictionary` adds entries.
std::string pdf_stream(const std::string& data, const std::string& dictionary = "");
// One object of a hand-made update; an empty body frees the object.
struct UpdateObject { int number; std::string body; int generation = 0; };
// `pdf` with an incremental update of `objects`: their table and a trailer (last /Root, /Prev, /Size).
std::string with_update(const std::string& pdf, const std::vector<UpdateObject>& objects,
                        const std::string& trailer_extra = "");
// The number behind the last `key` of `pdf` (" /Root 1 0 R" gives 1); -1 when there is none.
long last_number_after(const std::string& pdf, const std::string& key);

// `qpdf --check` of a file: its output when qpdf reports an error or a warning, else "".
std::string qpdf_problems(const std::filesystem::path& pdf, const std::string& password = "");
// The file's text as pdftotext extracts it, blanks squeezed; "" when it cannot be read.
std::string page_text(const std::filesystem::path& pdf, const std::string& password = "");
// Object `number` from its header line through "endobj"; "" when there is none.
std::string object_text(const std::string& file, int number);

// fn(0) .. fn(count - 1) in child processes that start together (as user 65534 with `as_nobody`, root
// only); true when every one returned true.
bool in_children(int count, const std::function<bool(int)>& fn, bool as_nobody = false);
inline bool in_child(const std::function<bool()>& fn, bool as_nobody = false) {
  return in_children(1, [&fn](int) { return fn(); }, as_nobody);
}

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& bytes);

inline constexpr char kMachineKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\pdf";
inline constexpr char kUserKey[] = "HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\pdf";
// A hive file as the registry editor exports it: `values` (reg_value lines) under `key`.
std::string reg_file(const std::string& key, const std::string& values);
std::string reg_value(const std::string& name, const std::string& value);
// Writes dir/hkcu.reg (the user hive run_without_terminal names) holding `values` under the pdf key.
inline void write_user_hive(const std::filesystem::path& dir, const std::string& values) {
  write_file(dir / "hkcu.reg", reg_file(kUserKey, values));
}

// Compares `actual` with the golden file tests/<relative>; CORVANE_UPDATE_GOLDEN=1 rewrites it instead.
void expect_golden(const std::string& relative, const std::string& actual);

// A program running for the object's life, its input a pipe the object holds, its output read up to the
// first line; at the end the input is closed and the program ended (SIGTERM) and waited for.
class BackgroundProgram {
 public:
  explicit BackgroundProgram(const std::vector<std::string>& argv);
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;
  const std::string& first_line() const { return first_line_; }  // "" when none came within 10 s

 private:
  int pid_ = -1;
  int stdin_ = -1;
  std::string first_line_;
};

// Sets an environment variable for the object's life.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_old_ = false;
  std::string old_;
};

}  // namespace corvane::test
