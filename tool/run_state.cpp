#include "run_state.h"

#include <new>

namespace quarnel {

bool RunState::allocate() {
  object_buffer.reset(new (std::nothrow) uint8_t[kObjectBufferSize]);
  catalogue.reset(new (std::nothrow) CatalogueEntry[kCatalogueCapacity]);
  name_pool.reset(new (std::nothrow) char[kNamePoolSize]);
  name_pool_size = kNamePoolSize;
  return object_buffer && catalogue && name_pool;
}

}  // namespace quarnel
