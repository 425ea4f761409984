#include "io/arena.h"

#include "io/platform.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUARNEL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARNEL_ASAN 1
#endif
#endif
#ifndef QUARNEL_ASAN
#define QUARNEL_ASAN 0
#endif
#if QUARNEL_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace quarnel {

void ArenaRelease::operator()(uint8_t* arena) const noexcept {
#if QUARNEL_ASAN
  ASAN_UNPOISON_MEMORY_REGION(arena, size);
#endif
  platform::release_blocks(arena, size);
}

Arena allocate_arena(std::size_t size) {
  auto* base = static_cast<uint8_t*>(platform::allocate_blocks(size));
  if (base == nullptr) return Arena(nullptr, ArenaRelease{});
  return Arena(base, ArenaRelease{size});
}

void poison_gap(uint8_t* gap, std::size_t size) {
#if QUARNEL_ASAN
  ASAN_POISON_MEMORY_REGION(gap, size);
#else
  (void)gap;
  (void)size;
#endif
}

}  // namespace quarnel
