#include "verify/later_changes.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "verify/opened_revision.h"

namespace corvane::verify {

std::vector<AfterSignature> changes_after(const platform::ByteSource& file, const std::vector<std::uint64_t>& signed_ends,
                                          std::uint64_t last_end, const std::string& password,
                                          const KnownSignatures& signatures) {
  std::vector<std::uint64_t> ends(signed_ends.begin(), signed_ends.end());
  std::sort(ends.begin(), ends.end());
  ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
  // stretches[i]: from ends[i] to the next end (or the last revision).
  std::vector<StretchChanges> stretches(ends.size());
  std::unique_ptr<OpenedRevision> from;
  for (std::size_t i = 0; i < ends.size(); ++i) {
    if (!from) from = std::make_unique<OpenedRevision>(file, ends[i], password);
    auto to = std::make_unique<OpenedRevision>(file, i + 1 < ends.size() ? ends[i + 1] : last_end, password, from.get());
    stretches[i] = analyse_changes(*from, *to, signatures);
    from = std::move(to);
  }
  const auto shared = std::make_shared<const ChangeStretches>(std::move(stretches));
  std::vector<AfterSignature> result;
  result.reserve(signed_ends.size());
  for (std::uint64_t end : signed_ends)
    result.emplace_back(shared, static_cast<std::size_t>(std::lower_bound(ends.begin(), ends.end(), end) - ends.begin()));
  return result;
}

}  // namespace corvane::verify
