// The listing of a file, one model for the commands that look inside a file:
// the facilities of the object list in file order, then the name lists with
// each entry's link resolved. A sink is told the listing piece by piece, and,
// being a ScanObserver, every record and walk end of the scan as well.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "commands/run_state.h"
#include "format/positions.h"
#include "scan/scan_observer.h"

namespace quarnel {

struct FacilityView {
  uint32_t offset = 0;
  int32_t subtype = 0;
  bool has_name = false;  // false: no name sub-record at all
  std::string_view name;
  bool has_position = false;
  int32_t lat_raw = 0;
  int32_t lon_raw = 0;
  bool ai = false;  // an airport with the AI marker
};

struct ListView {
  uint32_t offset = 0;
  int32_t size = 0;  // as its head declares
  uint32_t entry_count = 0;
};

struct EntryView {
  uint32_t offset = 0;
  int32_t level = 0;
  std::string_view name;
  uint32_t link = 0;
  bool resolved = false;  // the link names a facility record of the object list
  int32_t facility_subtype = 0;
};

// The facility of a Container's first `len` bytes at `offset`.
FacilityView view_facility(uint64_t offset, const uint8_t* record, std::size_t len);

class ListingSink : public ScanObserver {
 public:
  virtual void begin(const uint8_t* /*header_image*/) {}
  virtual void facility(const FacilityView&) {}
  virtual void list_begin(const ListView&) {}
  virtual void entry(const EntryView&) {}
  virtual void list_end() {}
  virtual void end() {}
};

// Tells two sinks everything, the first one first.
class ListingTee : public ListingSink {
 public:
  ListingTee(ListingSink& first, ListingSink& second) : a_(first), b_(second) {}
  void on_record(WalkKind walk, uint64_t pos, const uint8_t* rec, std::size_t len,
                 int32_t size) override {
    a_.on_record(walk, pos, rec, len, size);
    b_.on_record(walk, pos, rec, len, size);
  }
  void on_chain_record(uint64_t pos, const uint8_t* head, std::size_t len) override {
    a_.on_chain_record(pos, head, len);
    b_.on_chain_record(pos, head, len);
  }
  void on_walk_end(WalkKind walk, uint64_t start, uint64_t pos, uint64_t limit,
                   WalkEnd why) override {
    a_.on_walk_end(walk, start, pos, limit, why);
    b_.on_walk_end(walk, start, pos, limit, why);
  }
  void begin(const uint8_t* image) override {
    a_.begin(image);
    b_.begin(image);
  }
  void facility(const FacilityView& f) override {
    a_.facility(f);
    b_.facility(f);
  }
  void list_begin(const ListView& l) override {
    a_.list_begin(l);
    b_.list_begin(l);
  }
  void entry(const EntryView& e) override {
    a_.entry(e);
    b_.entry(e);
  }
  void list_end() override {
    a_.list_end();
    b_.list_end();
  }
  void end() override {
    a_.end();
    b_.end();
  }

 private:
  ListingSink& a_;
  ListingSink& b_;
};

// Opens `path` as the first input, tests its headers, scans it and tells
// `sink` the listing. Returns kExitOk, or kExitCannotOpen with the failure
// noted for end_command, or kExitBadHeader; the sink hears nothing unless the
// headers passed. The scan prints nothing.
int walk_listing(RunState& rs, const std::string& path, ListingSink& sink);

// The same for a first input already open, whose headers passed into `image`.
void tell_listing(RunState& rs, const uint8_t* image, ListingSink& sink);

}  // namespace quarnel
