// The run's fixed blocks are carved from one allocation, the arena, and go
// with it: a block itself is never released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quarnel {

struct KeptByArena {
  template <typename T>
  void operator()(T*) const noexcept {}
};
template <typename T>
using Block = std::unique_ptr<T[], KeptByArena>;

struct ArenaRelease {
  std::size_t size = 0;
  void operator()(uint8_t* arena) const noexcept;
};
using Arena = std::unique_ptr<uint8_t, ArenaRelease>;

// `size` bytes of the platform's blocks as an arena; null when there are none.
Arena allocate_arena(std::size_t size);

// Marks bytes between blocks as out of bounds for AddressSanitizer, so that a
// run past one block's end is still caught; does nothing in other builds.
void poison_gap(uint8_t* gap, std::size_t size);

}  // namespace quarnel
