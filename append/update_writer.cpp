#include "append/update_writer.h"

#include <algorithm>
#include <cstdio>

namespace corvane::append {
namespace {

struct Entry {
  std::int32_t number;
  std::int32_t generation;
  std::int64_t offset;
};

// Entries sorted by number, grouped into runs of consecutive numbers:
// "first count" for each run.
std::vector<std::pair<std::int32_t, std::int32_t>> runs_of(const std::vector<Entry>& entries) {
  std::vector<std::pair<std::int32_t, std::int32_t>> runs;
  for (const Entry& e : entries) {
    if (!runs.empty() && runs.back().first + runs.back().second == e.number)
      ++runs.back().second;
    else
      runs.emplace_back(e.number, 1);
  }
  return runs;
}

// The trailer entries the update carries, each with a leading blank.
std::string carried_entries(const UpdateBase& base, std::int32_t size) {
  std::string text = " /Size " + std::to_string(size);
  if (!base.root.empty()) text += " /Root " + base.root;
  if (!base.info.empty()) text += " /Info " + base.info;
  if (!base.encrypt.empty()) text += " /Encrypt " + base.encrypt;
  if (!base.id.empty()) text += " /ID " + base.id;
  text += " /Prev " + std::to_string(base.last_xref);
  return text;
}

void append_table(std::string& out, const UpdateBase& base, const std::vector<Entry>& entries,
                  std::int32_t size) {
  out += "xref\n";
  std::size_t at = 0;
  for (const auto& [first, count] : runs_of(entries)) {
    out += std::to_string(first) + " " + std::to_string(count) + "\n";
    for (std::int32_t i = 0; i < count; ++i, ++at) {
      char line[24];
      std::snprintf(line, sizeof line, "%010lld %05d n \n", static_cast<long long>(entries[at].offset),
                    static_cast<int>(entries[at].generation));
      out += line;
    }
  }
  out += "trailer\n<<" + carried_entries(base, size) + " >>\n";
}

void put_big_endian(std::string& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The stream's own entry is among `entries`; its data is not compressed and
// (like every cross-reference stream) not encrypted.
void append_stream(std::string& out, const UpdateBase& base, const std::vector<Entry>& entries,
                   std::int32_t size, std::int32_t own_number) {
  std::string data;
  for (const Entry& e : entries) {
    put_big_endian(data, 1, 1);
    put_big_endian(data, static_cast<std::uint64_t>(e.offset), 5);
    put_big_endian(data, static_cast<std::uint64_t>(e.generation), 2);
  }
  std::string index;
  for (const auto& [first, count] : runs_of(entries))
    index += (index.empty() ? "" : " ") + std::to_string(first) + " " + std::to_string(count);
  out += std::to_string(own_number) + " 0 obj\n<< /Type /XRef" + carried_entries(base, size) +
         " /W [1 5 2] /Index [" + index + "] /Length " + std::to_string(data.size()) +
         " >>\nstream\n" + data + "\nendstream\nendobj\n";
}

}  // namespace

Update write_update(const UpdateBase& base, const std::vector<NewObject>& objects) {
  Update update;
  std::string& out = update.bytes;
  if (!base.ends_with_eol) out += '\n';

  std::vector<Entry> entries;
  std::int32_t size = base.first_new_number;
  for (const NewObject& object : objects) {
    const std::int64_t offset = base.file_size + static_cast<std::int64_t>(out.size());
    update.object_offsets.push_back(offset);
    entries.push_back({object.number, object.generation, offset});
    size = std::max(size, object.number + 1);
    out += std::to_string(object.number) + " " + std::to_string(object.generation) + " obj\n";
    out += object.body;
    out += "\nendobj\n";
  }

  const std::int64_t xref_at = base.file_size + static_cast<std::int64_t>(out.size());
  if (base.xref_kind == XrefKind::kStream) {
    const std::int32_t own = size++;
    entries.push_back({own, 0, xref_at});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.number < b.number; });
    append_stream(out, base, entries, size, own);
  } else {
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.number < b.number; });
    append_table(out, base, entries, size);
  }
  out += "startxref\n" + std::to_string(xref_at) + "\n%%EOF\n";
  return update;
}

}  // namespace corvane::append
