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
  return object_buffer && catalogue && name_pool && lookups.name_slots &&
         lookups.facility_keys;
}

}  // namespace quarnel
