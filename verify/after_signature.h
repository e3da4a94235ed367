// What the revisions after a signature changed, shared between
// signatures.
//
// The change analysis judges each stretch of updates between two
// consecutive signatures once. A signature is followed by its own stretch
// and every later one, so a document with n signatures would hold about
// n²/2 changes if each report copied what follows it. Here each stretch's
// changes are held once, in ChangeStretches, and a signature's report is a
// view of the stretches from its own on: the same lists, in the same
// order, as if they had been joined, made while they are read.
#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace corvane::verify {

// How far a change after a signature goes, from the least to the most; a
// certification or a --permit option says which levels are permitted.
enum class ChangeLevel {
  kNone,
  kValidationData,  // /DSS added or grown, document timestamps
  kSigning,         // new signatures, prepared signature fields signed, invisible empty signature fields
  kFormFilling,     // values of fields that are not signature fields, their widgets' appearances
  kAnnotations,     // markup annotations added, changed or removed
  kOther,           // anything no rule clears
};

// One change found after a signature.
struct LaterChange {
  ChangeLevel level = ChangeLevel::kNone;
  std::string object;  // the object that changed ("4 1"); "" for the trailer
  std::string what;    // "field \"Amount\"", "new generation of the page's content"
};

// What the change analysis found between two revisions.
struct StretchChanges {
  ChangeLevel level = ChangeLevel::kNone;  // the highest level found
  std::vector<LaterChange> changes;        // in the order found; an "other" change, when there is one, is the last
  // The document information's keys that changed ("/ModDate", "XMP
  // metadata"): permitted after every signature, always reported.
  std::vector<std::string> document_information;
  std::vector<std::string> fields;  // the full names of the fields the changes fill or sign
};

// A document's stretches in file order. What follows the start of stretch
// `first` is that stretch's lists, then of each later stretch the items
// that no stretch from `first` on named before (a change is named by its
// level and text), up to and including the first stretch with an "other"
// change: the analysis of a stretch stops there.
class ChangeStretches {
 public:
  explicit ChangeStretches(std::vector<StretchChanges> stretches);

  struct Stretch {
    StretchChanges own;
    // Per item of `own`: 1 + the last earlier stretch that names it too, 0
    // when none does; the item follows stretch `first` when this is at
    // most `first`.
    std::vector<std::size_t> change_since, information_since, field_since;
    std::size_t last = 0;                    // the last stretch that follows this one's start
    ChangeLevel level = ChangeLevel::kNone;  // the highest level from here to `last`
  };
  [[nodiscard]] const Stretch& operator[](std::size_t i) const { return stretches_[i]; }

 private:
  std::vector<Stretch> stretches_;
};

// The items of one list (changes, document information keys or fields)
// that follow the start of one stretch, read from the shared stretches.
template <typename Item>
class LaterItems {
 public:
  using Items = std::vector<Item> StretchChanges::*;
  using Since = std::vector<std::size_t> ChangeStretches::Stretch::*;

  LaterItems() = default;
  LaterItems(std::shared_ptr<const ChangeStretches> all, std::size_t first, Items items, Since since)
      : all_(std::move(all)), first_(first), items_(items), since_(since) {}

  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Item;
    using difference_type = std::ptrdiff_t;
    using pointer = const Item*;
    using reference = const Item&;

    iterator() = default;
    reference operator*() const { return ((*list_->all_)[stretch_].own.*list_->items_)[item_]; }
    pointer operator->() const { return &**this; }
    iterator& operator++() {
      ++item_;
      settle();
      return *this;
    }
    iterator operator++(int) {
      iterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const iterator& other) const { return stretch_ == other.stretch_ && item_ == other.item_; }

   private:
    friend class LaterItems;
    iterator(const LaterItems* list, std::size_t stretch) : list_(list), stretch_(stretch) {}
    // Moves on to the first item from here that the list holds.
    void settle() {
      const std::size_t last = (*list_->all_)[list_->first_].last;
      while (stretch_ <= last) {
        const ChangeStretches::Stretch& s = (*list_->all_)[stretch_];
        if (item_ >= (s.own.*list_->items_).size()) {
          ++stretch_;
          item_ = 0;
        } else if ((s.*list_->since_)[item_] <= list_->first_) {
          return;
        } else {
          ++item_;
        }
      }
    }
    const LaterItems* list_ = nullptr;
    std::size_t stretch_ = 0;
    std::size_t item_ = 0;
  };

  [[nodiscard]] iterator begin() const {
    if (!all_) return end();
    iterator at(this, first_);
    at.settle();
    return at;
  }
  [[nodiscard]] iterator end() const { return iterator(this, all_ ? (*all_)[first_].last + 1 : 0); }
  [[nodiscard]] bool empty() const { return begin() == end(); }

 private:
  std::shared_ptr<const ChangeStretches> all_;
  std::size_t first_ = 0;
  Items items_ = nullptr;
  Since since_ = nullptr;
};

// What the revisions after a signature's own did, and whether the
// signature permits it.
struct AfterSignature {
  AfterSignature() = default;
  // Only what one analysis found.
  explicit AfterSignature(StretchChanges changes);
  // What follows the start of stretch `first`.
  AfterSignature(std::shared_ptr<const ChangeStretches> all, std::size_t first);

  ChangeLevel level = ChangeLevel::kNone;  // the highest level found
  LaterItems<LaterChange> changes;         // an "other" change, when there is one, is the last
  LaterItems<std::string> document_information;
  LaterItems<std::string> fields;
  bool permitted = true;
  std::string refusal;  // why not permitted ("the document is not certified"); "" when permitted or for an other change
  static constexpr std::size_t kNoChange = static_cast<std::size_t>(-1);
  std::size_t refused = kNoChange;  // the position in `changes` of the change not permitted

  // The change to name: the one not permitted, else the first of the
  // highest level; nullptr when nothing changed.
  [[nodiscard]] const LaterChange* shown() const;
};

}  // namespace corvane::verify
