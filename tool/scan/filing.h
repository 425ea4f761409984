// The level rule that files every name entry of a list: under the nearest
// earlier entry of the list whose level is smaller, or else under the list's
// head, which stands below every level. The name-list tree, the extract and
// the merge's reading of a source's places all file entries by it.
#pragma once

#include <cstdint>

namespace quarnel {

// Whether an entry of `level` can be filed under an earlier entry of
// `above_level`.
constexpr bool files_under(int32_t above_level, int32_t level) { return above_level < level; }

// The entries a list read in order may still file the next one under, the
// latest last, below the head (which is not among them): at most `Capacity`.
template <typename Slot, int Capacity>
class FilingStack {
 public:
  // Drops the entries that an entry of `level` is not filed under; returns
  // how many stay, the last of them its parent (none: the head).
  int settle(int32_t level) {
    while (depth_ > 0 && !files_under(slots_[depth_ - 1].level, level)) --depth_;
    return depth_;
  }
  // Puts `slot` on top; false, changing nothing, when the stack is full.
  bool push(const Slot& slot) {
    if (depth_ == Capacity) return false;
    slots_[depth_++] = slot;
    return true;
  }
  void clear() { depth_ = 0; }
  int depth() const { return depth_; }
  Slot& operator[](int i) { return slots_[i]; }

 private:
  Slot slots_[Capacity] = {};
  int depth_ = 0;
};

}  // namespace quarnel
