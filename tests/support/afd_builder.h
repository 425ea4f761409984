// Composes AFD files in memory for tests, fuzz seeds, samples and benchmarks.
// Files come out in the order the tool itself writes (headers, object list,
// name lists, trailer); every header field and size can be overridden to make
// damaged files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace afdtest {

using Bytes = std::vector<uint8_t>;

// The levels of name-list entries, under the names every test uses.
namespace levels {
constexpr int32_t kRegion = 0x10001, kCountry = 0x20001, kState = 0x30001, kCity = 0x40001;
constexpr int32_t kAirport = 0x50001, kVor = 0x50003, kNdb = 0x50004;
}  // namespace levels

struct Box {
  int32_t lat_max, lat_min, lon_max, lon_min;
  bool operator==(const Box&) const = default;
};
constexpr Box kEmptyBox{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX};

struct SubRecord {
  uint32_t type;
  Bytes payload;
};

// One record of the object list: a Container, or any other record type.
struct Facility {
  uint32_t type = 1;  // record type; 1 is a Container
  int32_t subtype = 1;
  std::optional<std::string> name;                      // none: no name sub-record at all
  std::optional<std::pair<int32_t, int32_t>> position;  // latitude, longitude
  bool ai = false;
  std::vector<SubRecord> extra;  // after the standard sub-records
  bool end_sub_record = true;
  std::optional<int32_t> size_override;  // declared payload size
  Bytes payload_override;                // whole payload, when not empty

  static Facility airport(std::string name, int32_t lat = 0, int32_t lon = 0, bool ai = false);
  static Facility vor(std::string name);
  static Facility ndb(std::string name);
  static Facility raw(uint32_t type, Bytes payload);
};

// One record of a name list: a NameEntry, or a raw record of another type.
// The level of the name entry that files `f`.
inline int32_t entry_level(const Facility& f) {
  return f.subtype == 1 ? levels::kAirport : f.subtype == 2 ? levels::kVor : levels::kNdb;
}

struct NameRef {
  NameRef() = default;
  NameRef(int32_t lvl, std::string text, int fac = -1)
      : level(lvl), name(std::move(text)), facility(fac) {}

  int32_t level = levels::kRegion;
  std::string name;
  int facility = -1;        // index of the facility it files, or -1
  uint32_t raw_link = 0;    // used when facility is -1
  uint32_t type = 0x30002;  // record type
  Bytes padding;            // extra bytes after the name's NUL
  std::optional<int32_t> size_override;
};

struct NameList {
  std::vector<NameRef> entries;
  std::optional<int32_t> size_override;
  std::optional<uint32_t> entry_count_override;
  bool end_record = true;

  // Appends `entry` filed under `path` (region first), as a list written in
  // depth-first order does: the levels that the list's last entries already
  // opened are not repeated.
  void file(const std::vector<NameRef>& path, NameRef entry);
  // How many places of `path`, from the first, the list's last entries have open.
  std::size_t open_places(const std::vector<NameRef>& path) const;
};

// Where the parts of a built file landed.
struct Layout {
  std::vector<uint32_t> facility_offsets;  // per added object-list record
  std::vector<uint32_t> list_offsets;
  std::vector<std::vector<uint32_t>> entry_offsets;
};

class AfdBuilder {
 public:
  // Header fields; all may be set to damaged values.
  uint16_t version_word = 1;
  Box bounds{0, 0, 0, 0};
  uint32_t magic = 0x87654321u;
  uint32_t section_tag = 1;
  int32_t format_level = 3;
  uint16_t file_id[3] = {0, 0, 0};
  std::optional<uint32_t> object_list_offset;
  std::optional<uint32_t> name_list_offset;
  std::optional<uint32_t> trailer_offset;  // default: where the trailer is, or 0
  bool with_trailer = true;
  int32_t trailer_word = 0x2000033F;
  Box trailer_box = kEmptyBox;
  bool object_list_end = true;  // the end record after the facilities
  bool chain_end = true;        // the end record after the last list

  int add(Facility f);  // returns the record's index
  NameList& add_list();
  NameList& list(std::size_t i) { return lists_[i]; }
  const NameList& list(std::size_t i) const { return lists_[i]; }
  std::size_t list_count() const { return lists_.size(); }
  std::vector<Facility>& facilities() { return facilities_; }
  const std::vector<Facility>& facilities() const { return facilities_; }

  Bytes build(Layout* layout = nullptr) const;

 private:
  std::vector<Facility> facilities_;
  std::vector<NameList> lists_;
};

// Encoders usable on their own.
Bytes facility_record(const Facility& f);
void put32(Bytes& b, uint32_t v);
uint32_t get32(const Bytes& b, std::size_t off);
void set32(Bytes& b, std::size_t off, uint32_t v);

// The box stored at `off`.
inline Box box_at(const Bytes& b, std::size_t off) {
  const auto at = [&](std::size_t k) { return static_cast<int32_t>(get32(b, off + k)); };
  return {at(0), at(4), at(8), at(12)};
}

// A written file without its stamp (file id, date and time at 128..143),
// which differs from one run to the next.
inline Bytes without_stamp(Bytes b) {
  if (b.size() >= 144) std::fill(b.begin() + 128, b.begin() + 144, 0);
  return b;
}

// "A17" for ("A", 17). Built by appending: g++ 12 at -O3 warns falsely about
// `"A" + std::to_string(i)`.
template <typename Number>
std::string numbered(const char* prefix, Number i) {
  return prefix + std::to_string(i);
}

// The bundled sample pair (samples/, written by make_samples): a base of six
// German airports at their real places, two navaids and two name lists of
// every level, and a source, filed in a name list, whose HAMBURG and
// FRANKFURT MAIN replace the base's and whose KASSEL the base lacks.
AfdBuilder sample_base();
AfdBuilder sample_source();

// A base of `n` airports named A0, A1, ... at latitude i, longitude -i, and
// no name lists.
AfdBuilder numbered_airports(int n);

// Airports AP0, AP1, ... each under a city of its own in one list under
// REGION, airport i with `payload(i)` bytes of runway data and an AI airport
// where i is a multiple of `ai_every`: bases whose records are far apart.
AfdBuilder filed_airports(int n, std::size_t (*payload)(int), int ai_every);

// Files on disk for tests that run the real program.
void write_file(const std::string& path, const Bytes& bytes);
Bytes read_file(const std::string& path);

}  // namespace afdtest
