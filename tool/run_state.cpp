#include "run_state.h"

#include <new>

#include "lookup.h"

namespace quarnel {

namespace {

template <typename T>
void allocate_missing(std::unique_ptr<T[]>& block, std::size_t n) {
  if (!block) block.reset(new (std::nothrow) T[n]);
}

}  // namespace

bool RunState::allocate() {
  allocate_missing(object_buffer, kObjectBufferSize);
  allocate_missing(catalogue, kCatalogueCapacity);
  allocate_missing(name_pool, kNamePoolSize);
  name_pool_size = kNamePoolSize;
  allocate_missing(lookups.name_slots, kNameSlots);
  allocate_missing(lookups.facility_keys, kCatalogueCapacity);
  lookups.ready = false;
  allocate_missing(file_buffers, 2 * kInputWindowSize + kOutputBufferSize);
  if (uint8_t* const blocks = file_buffers.get()) {
    first_input.attach_window(blocks, kInputWindowSize);
    second_input.attach_window(blocks + kInputWindowSize, kInputWindowSize);
    output.attach_buffer(blocks + 2 * kInputWindowSize, kOutputBufferSize);
  }
  return object_buffer && catalogue && name_pool && lookups.name_slots && lookups.facility_keys &&
         file_buffers;
}

void RunState::reset() {
  catalogue_count = 0;
  name_pool_fill = 0;
  stats = ScanStatistics{};
  airport_box = kEmptyBox;
  ai_airport_box = kEmptyBox;
  trailer_word = -1;
  unreadable_input = nullptr;
  header_image.fill(0);
  first_input.close();
  second_input.close();
  output.abandon();
  first_input_path.clear();
  second_input_path.clear();
  output_path.clear();
  name_table = NameTable{};
  lookups.ready = false;
}

}  // namespace quarnel
