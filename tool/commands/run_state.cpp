// The run's fixed blocks: allocated once, in one arena, before any work starts.
#include "commands/run_state.h"

#include <memory>
#include <new>

#include "scan/lookup.h"

namespace quarnel {

namespace {

// Blocks start on cache lines and are kept apart by a gap, which is poisoned
// under AddressSanitizer so that a run past one block's end is still caught.
constexpr std::size_t kGap = 64;

constexpr std::size_t padded(std::size_t bytes) { return (bytes + kGap - 1) / kGap * kGap + kGap; }

// Lays the blocks out from `base` and hands them to `rs`; with a null base it
// only measures. Returns the bytes the layout takes.
std::size_t carve(RunState& rs, uint8_t* base) {
  std::size_t at = 0;
  const auto take = [&](std::size_t bytes) -> uint8_t* {
    uint8_t* block = base != nullptr ? base + at : nullptr;
    at += padded(bytes);
    if (block != nullptr) poison_gap(base + at - kGap, kGap);
    return block;
  };
  uint8_t* object = take(kObjectBufferSize);
  uint8_t* entries = take(kCatalogueCapacity * sizeof(CatalogueEntry));
  uint8_t* names = take(kNamePoolSize);
  uint8_t* slots = take(kNameSlots * sizeof(uint32_t));
  uint8_t* offsets = take(kNameSlots * sizeof(uint64_t));
  uint8_t* files = take(2 * kInputWindowSize + kOutputBufferSize);
  uint8_t* blocks = take(kCacheBlocks * kCacheBlockSize);
  if (base == nullptr) return at;
  rs.object_buffer.reset(object);
  Catalogue& catalogue = rs.catalogue;
  catalogue.entries.reset(std::uninitialized_value_construct_n(
                              reinterpret_cast<CatalogueEntry*>(entries), kCatalogueCapacity) -
                          kCatalogueCapacity);
  catalogue.name_pool.reset(reinterpret_cast<char*>(names));
  catalogue.lookups.name_slots.reset(reinterpret_cast<uint32_t*>(slots));
  catalogue.lookups.offset_slots.reset(reinterpret_cast<uint64_t*>(offsets));
  rs.file_buffers.reset(files);
  rs.source_blocks.reset(blocks);
  return at;
}

}  // namespace

bool RunState::allocate() {
  if (!arena) {
    const std::size_t size = carve(*this, nullptr);
    arena = allocate_arena(size);
    if (!arena) return false;
    carve(*this, arena.get());
  }
  if (!plan_memory) {
    plan_memory.reset(new (std::nothrow) uint8_t[kPlanMemorySize]);
    if (!plan_memory) return false;
  }
  catalogue.name_pool_size = kNamePoolSize;
  catalogue.lookups.ready = false;
  uint8_t* const files = file_buffers.get();
  first_input.attach_window(files, kInputWindowSize);
  second_input.attach_window(files + kInputWindowSize, kInputWindowSize);
  output.attach_buffer(files + 2 * kInputWindowSize, kOutputBufferSize);
  // Only the second input is read out of order (the link's source).
  second_input.attach_block_cache(source_blocks.get(), kCacheBlocks);
  return true;
}

ScanTarget first_input_scan(RunState& rs) {
  return ScanTarget{rs.first_input,    rs.object_buffer.get(), rs.catalogue,    rs.airport_box,
                    rs.ai_airport_box, rs.airport_positions,   rs.scan_observer};
}

WriteTarget write_target(RunState& rs) {
  return WriteTarget{rs.output,    rs.header_image, rs.airport_box,  rs.ai_airport_box,
                     rs.catalogue, rs.first_input,  rs.second_input, rs.object_buffer.get()};
}

void RunState::reset() {
  catalogue.count = 0;
  catalogue.name_pool_fill = 0;
  catalogue.stats = ScanStatistics{};
  airport_box = kEmptyBox;
  ai_airport_box = kEmptyBox;
  scan_observer = nullptr;
  airport_positions = nullptr;
  header_image.fill(0);
  first_input.close();
  second_input.close();
  output.abandon();
  failures.clear();
  first_input_path.clear();
  second_input_path.clear();
  output_path.clear();
  name_table = NameTable{};
  catalogue.lookups.ready = false;
}

}  // namespace quarnel
