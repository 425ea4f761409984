// The output writer shared by the link and extract commands: the header image,
// coverage margins, the trailer, and record copies by catalogued offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "scan/run_state.h"

namespace quarnel {

constexpr int32_t kLatitudeLimit = 1280224000;  // 0x4C4EAB00
constexpr int32_t kBoundsMargin = 5000;
constexpr int kBoundsHeader = 0;
constexpr int kBoundsTrailer = 1;
constexpr int kSourceFirstInput = 1;
constexpr int kSourceSecondInput = 2;

// The generator behind a new file's file_id: bits 16..30 of each new state.
class FileIdGenerator {
 public:
  explicit FileIdGenerator(uint32_t seed) : state_(seed) {}
  uint16_t next() {
    state_ = state_ * 22695477u + 1u;
    return static_cast<uint16_t>((state_ >> 16) & 0x7FFF);
  }

 private:
  uint32_t state_;
};

// `box` widened by `margin`: latitudes clamped, longitudes widened by a margin
// that grows toward the poles, and wrapping as 32-bit values do.
CoverageBox widen_box(const CoverageBox& box, int32_t margin);

// Mode 0 stores the widened airport box in the header image; mode 1 writes the
// widened AI-airport box as the trailer at the output's position.
int write_bounds(RunState& rs, int mode, int32_t margin);
std::size_t read_trailer(RunState& rs, InputFile& in, uint64_t offset, CoverageBox& box);
// Writes the trailer word (0x2000033F when none is known) and `box` as they are.
std::size_t write_trailer(RunState& rs, const CoverageBox& box);

void init_header(RunState& rs, std::time_t now);
void set_header_u32(RunState& rs, std::size_t offset, uint32_t value);
std::size_t write_header_image(RunState& rs);
void rewrite_header(RunState& rs);

std::size_t read_object(RunState& rs, const CatalogueEntry& entry, int source);
std::size_t write_object(RunState& rs, CatalogueEntry& entry, std::size_t n);
std::size_t read_name_list_head(RunState& rs, const CatalogueEntry& entry);
std::size_t write_name_list_head(RunState& rs);
std::size_t write_end_mark(RunState& rs);

// Copies the whole record of `entry` from the input that `source` names to the
// output, in pieces when it is larger than ObjectBuffer. A NameEntry's facility
// link is moved to the facility's offset in the new file. Returns the bytes
// written; sets `unreadable_input` when the input no longer holds the record.
uint64_t copy_object(RunState& rs, CatalogueEntry& entry, int source);
uint64_t copy_name_list_object(RunState& rs, CatalogueEntry& entry);

// The facility link a copied NameEntry gets: the facility's offset in the new
// file, or 0 (files no facility) when that facility is not in the new file.
uint32_t relinked_facility(RunState& rs, uint32_t facility_offset);

// Closes the inputs and moves the finished output to its path. Returns the
// command's ExitCode: 0; 6 after the cannot-write line; 2 after the
// cannot-read line when an input no longer held a catalogued record.
int finish_output(RunState& rs);
// A command whose input could not be read whole ends with 2 and the line
// `cannot read:"<path>"`, whatever it made of the bytes it got (its `result`,
// kept when it is 0 or 2 already). Nothing is written then.
int unless_input_failed(RunState& rs, int result);

}  // namespace quarnel
