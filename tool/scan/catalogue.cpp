#include "scan/catalogue.h"

#include <cstring>

namespace quarnel {

const char* add_name(Catalogue& catalogue, std::string_view text, bool counted) {
  const std::size_t len = text.size();
  ScanStatistics& stats = catalogue.stats;
  if (counted && static_cast<int64_t>(len) > stats.max_strlen) {
    stats.max_strlen = static_cast<int64_t>(len);
  }
  const std::size_t size = catalogue.name_pool_size;
  if (len >= size || catalogue.name_pool_fill >= size - len - 1) return nullptr;
  char* copy = catalogue.name_pool.get() + catalogue.name_pool_fill;
  if (len > 0) std::memcpy(copy, text.data(), len);
  copy[len] = '\0';
  catalogue.name_pool_fill += len + 1;
  return copy;
}

bool is_name_selected(const char* name, const NameTable* table) {
  if (table == nullptr || name == nullptr) return false;
  for (std::size_t i = 0; i < table->count; ++i) {
    if (table->slots[i] != nullptr && std::strcmp(name, table->slots[i]) == 0) return true;
  }
  return false;
}

int count_selected(const Catalogue& catalogue) {
  int n = 0;
  for (std::size_t i = 0; i < catalogue.count; ++i) {
    if (is_selected(catalogue[i])) ++n;
  }
  return n;
}

}  // namespace quarnel
