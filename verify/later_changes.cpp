#include "verify/later_changes.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "verify/opened_revision.h"

namespace corvane::verify {
namespace {

bool has_other(const AfterSignature& after) {
  return !after.changes.empty() && after.changes.back().level == ChangeLevel::kOther;
}

// `strings` followed by those of `later` it does not hold already.
void append_new(std::vector<std::string>& strings, const std::vector<std::string>& later) {
  const std::set<std::string> have(strings.begin(), strings.end());
  for (const std::string& s : later)
    if (!have.contains(s)) strings.push_back(s);
}

// What a stretch and everything after it did: the stretch's changes, then
// the later ones it does not name already. A stretch with a change no rule
// clears ends the list, as the analysis of a single stretch stops there.
AfterSignature joined(AfterSignature stretch, const AfterSignature& later) {
  if (has_other(stretch)) return stretch;
  std::set<std::pair<ChangeLevel, std::string>> have;
  for (const LaterChange& c : stretch.changes) have.emplace(c.level, c.what);
  for (const LaterChange& c : later.changes)
    if (!have.contains({c.level, c.what})) stretch.changes.push_back(c);
  stretch.level = std::max(stretch.level, later.level);
  append_new(stretch.document_information, later.document_information);
  append_new(stretch.fields, later.fields);
  return stretch;
}

}  // namespace

std::vector<AfterSignature> changes_after(const platform::ByteSource& file, const std::vector<std::uint64_t>& signed_ends,
                                          std::uint64_t last_end, const std::string& password,
                                          const std::vector<KnownSignature>& signatures) {
  std::vector<std::uint64_t> ends(signed_ends.begin(), signed_ends.end());
  std::sort(ends.begin(), ends.end());
  ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
  // stretches[i]: from ends[i] to the next end (or the last revision).
  std::vector<AfterSignature> stretches(ends.size());
  std::unique_ptr<OpenedRevision> from;
  for (std::size_t i = 0; i < ends.size(); ++i) {
    if (!from) from = std::make_unique<OpenedRevision>(file, ends[i], password);
    auto to = std::make_unique<OpenedRevision>(file, i + 1 < ends.size() ? ends[i + 1] : last_end, password, from.get());
    stretches[i] = analyse_changes(*from, *to, signatures);
    from = std::move(to);
  }
  for (std::size_t i = ends.size(); i-- > 1;) stretches[i - 1] = joined(std::move(stretches[i - 1]), stretches[i]);
  // Each union is handed over to its last user rather than copied.
  std::vector<std::size_t> stretch_of, users(ends.size(), 0);
  for (std::uint64_t end : signed_ends) {
    stretch_of.push_back(static_cast<std::size_t>(std::lower_bound(ends.begin(), ends.end(), end) - ends.begin()));
    ++users[stretch_of.back()];
  }
  std::vector<AfterSignature> result;
  result.reserve(signed_ends.size());
  for (std::size_t i : stretch_of)
    result.push_back(--users[i] == 0 ? std::move(stretches[i]) : stretches[i]);
  return result;
}

}  // namespace corvane::verify
