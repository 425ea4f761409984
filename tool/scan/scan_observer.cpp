#include "scan/scan_observer.h"

#include <cstdio>

namespace quarnel {

namespace {

// The scan's findings as the core commands print them, in their words.
class ScanLines : public ScanObserver {
 public:
  void on_unknown_object(uint64_t pos, int32_t subtype) override {
    std::printf("unknown object %d at 0x%06lX\n", subtype, static_cast<unsigned long>(pos));
  }
  void on_unknown_record(uint32_t type) override {
    std::printf("unknown object: 0x%06lX\n", static_cast<unsigned long>(type));
  }
  void on_chain_overflow(std::size_t count) override {
    std::printf("overflow %d\n", static_cast<int>(count));
  }
};

}  // namespace

ScanObserver& scan_lines() {
  static ScanLines lines;
  return lines;
}

}  // namespace quarnel
