// Linked into the libFuzzer binaries and the in-process sweep only. Every run
// allocates the tool's work buffers anew, as main does; under the sanitizer
// each such allocation of a megabyte costs milliseconds, which would cut the
// runs per second tenfold. So
// freed blocks of 64000 bytes or more are kept and handed out again, filled
// with junk so that no run can lean on what an earlier one left. They stay
// ordinary malloc blocks, with the sanitizer's guard zones around them. A run
// may also ask that one allocation fail (fuzz_support.h, RunLimits).
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace quarnel::fuzz {
// See fuzz_support.cpp, which sets it for a run.
long g_allocations_left = 0;
}  // namespace quarnel::fuzz

namespace {

constexpr std::size_t kCachedFrom = 64000;
constexpr std::size_t kMaxCached = 32;

struct Block {
  void* p;
  std::size_t size;
};

// Fixed storage: the cache must not allocate through the operators it replaces.
Block g_blocks[kMaxCached];
std::size_t g_count = 0;

void* take(std::size_t size) {
  // A fuzz run that tries out failed allocations says which one fails.
  if (quarnel::fuzz::g_allocations_left > 0 && --quarnel::fuzz::g_allocations_left == 0) {
    return nullptr;
  }
  if (size >= kCachedFrom) {
    for (std::size_t i = 0; i < g_count; ++i) {
      if (g_blocks[i].size == size) {
        void* p = g_blocks[i].p;
        g_blocks[i] = g_blocks[--g_count];
        std::memset(p, 0xA5, size);
        return p;
      }
    }
  }
  return std::malloc(size == 0 ? 1 : size);
}

void give_back(void* p) {
  if (p == nullptr) return;
  const std::size_t size = malloc_usable_size(p);
  if (size >= kCachedFrom && g_count < kMaxCached) {
    g_blocks[g_count++] = {p, size};
    return;
  }
  std::free(p);
}

}  // namespace

void* operator new(std::size_t size) {
  void* p = take(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return take(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return take(size); }
void operator delete(void* p) noexcept { give_back(p); }
void operator delete[](void* p) noexcept { give_back(p); }
void operator delete(void* p, std::size_t) noexcept { give_back(p); }
void operator delete[](void* p, std::size_t) noexcept { give_back(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { give_back(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { give_back(p); }
