#include "verify/after_signature.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

namespace corvane::verify {
namespace {

bool has_other(const StretchChanges& changes) {
  return !changes.changes.empty() && changes.changes.back().level == ChangeLevel::kOther;
}

// For each item of each stretch, 1 + the last earlier stretch naming an
// equal one (0 when none); `key` says which items are equal.
template <typename Item, typename Key, typename KeyOf>
void mark_since(std::vector<ChangeStretches::Stretch>& stretches, std::vector<Item> StretchChanges::*items,
                std::vector<std::size_t> ChangeStretches::Stretch::*since, KeyOf key) {
  std::map<Key, std::size_t> last_named;
  for (std::size_t k = 0; k < stretches.size(); ++k) {
    const std::vector<Item>& own = stretches[k].own.*items;
    std::vector<std::size_t>& marks = stretches[k].*since;
    marks.reserve(own.size());
    for (const Item& item : own) {
      const auto named = last_named.find(key(item));
      marks.push_back(named == last_named.end() ? 0 : named->second + 1);
    }
    for (const Item& item : own) last_named[key(item)] = k;
  }
}

}  // namespace

ChangeStretches::ChangeStretches(std::vector<StretchChanges> stretches) {
  stretches_.resize(stretches.size());
  for (std::size_t k = 0; k < stretches.size(); ++k) stretches_[k].own = std::move(stretches[k]);
  mark_since<LaterChange, std::pair<ChangeLevel, std::string>>(
      stretches_, &StretchChanges::changes, &Stretch::change_since,
      [](const LaterChange& c) { return std::pair(c.level, c.what); });
  const auto itself = [](const std::string& s) -> const std::string& { return s; };
  mark_since<std::string, std::string>(stretches_, &StretchChanges::document_information, &Stretch::information_since,
                                       itself);
  mark_since<std::string, std::string>(stretches_, &StretchChanges::fields, &Stretch::field_since, itself);
  for (std::size_t k = stretches_.size(); k-- > 0;) {
    Stretch& s = stretches_[k];
    const bool alone = has_other(s.own) || k + 1 == stretches_.size();
    s.last = alone ? k : stretches_[k + 1].last;
    s.level = alone ? s.own.level : std::max(s.own.level, stretches_[k + 1].level);
  }
}

AfterSignature::AfterSignature(StretchChanges changes)
    : AfterSignature(std::make_shared<const ChangeStretches>(std::vector<StretchChanges>{std::move(changes)}), 0) {}

AfterSignature::AfterSignature(std::shared_ptr<const ChangeStretches> all, std::size_t first)
    : level((*all)[first].level),
      changes(all, first, &StretchChanges::changes, &ChangeStretches::Stretch::change_since),
      document_information(all, first, &StretchChanges::document_information,
                           &ChangeStretches::Stretch::information_since),
      fields(std::move(all), first, &StretchChanges::fields, &ChangeStretches::Stretch::field_since) {}

const LaterChange* AfterSignature::shown() const {
  if (refused != kNoChange) {
    std::size_t i = 0;
    for (const LaterChange& change : changes)
      if (i++ == refused) return &change;
  }
  for (const LaterChange& change : changes)
    if (change.level == level) return &change;
  return nullptr;
}

}  // namespace corvane::verify
