// The AFD file builder: facilities and name lists laid out as the format has them.
#include "afd_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace afdtest {

void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint32_t get32(const Bytes& b, std::size_t off) {
  return static_cast<uint32_t>(b.at(off)) | static_cast<uint32_t>(b.at(off + 1)) << 8 |
         static_cast<uint32_t>(b.at(off + 2)) << 16 | static_cast<uint32_t>(b.at(off + 3)) << 24;
}
void set32(Bytes& b, std::size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.at(off + static_cast<std::size_t>(i)) = static_cast<uint8_t>(v >> (8 * i));
}

namespace {

void put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void put_sub(Bytes& b, uint32_t type, const Bytes& payload) {
  put32(b, type);
  put32(b, static_cast<uint32_t>(payload.size()));
  b.insert(b.end(), payload.begin(), payload.end());
}

Bytes text_bytes(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

void put_box(Bytes& b, const Box& box) {
  put32(b, static_cast<uint32_t>(box.lat_max));
  put32(b, static_cast<uint32_t>(box.lat_min));
  put32(b, static_cast<uint32_t>(box.lon_max));
  put32(b, static_cast<uint32_t>(box.lon_min));
}

// A record: its type, its size (the payload's, unless given) and its payload.
Bytes record(uint32_t type, std::optional<int32_t> size, const Bytes& payload) {
  Bytes b;
  put32(b, type);
  put32(b, static_cast<uint32_t>(size.value_or(static_cast<int32_t>(payload.size()))));
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

Bytes name_entry_record(const NameRef& e, uint32_t link) {
  Bytes payload;
  put32(payload, static_cast<uint32_t>(e.level));
  put32(payload, link);
  const Bytes text = text_bytes(e.name);
  payload.insert(payload.end(), text.begin(), text.end());
  payload.insert(payload.end(), e.padding.begin(), e.padding.end());
  return record(e.type, e.size_override, payload);
}

}  // namespace

Facility Facility::airport(std::string name, int32_t lat, int32_t lon, bool ai) {
  Facility f;
  f.subtype = 1;
  f.name = std::move(name);
  f.position = std::make_pair(lat, lon);
  f.ai = ai;
  return f;
}

Facility Facility::vor(std::string name) {
  Facility f;
  f.subtype = 2;
  f.name = std::move(name);
  return f;
}

Facility Facility::ndb(std::string name) {
  Facility f = vor(std::move(name));
  f.subtype = 3;
  return f;
}

Facility Facility::raw(uint32_t type, Bytes payload) {
  Facility f;
  f.type = type;
  f.payload_override = std::move(payload);
  return f;
}

Bytes facility_record(const Facility& f) {
  Bytes payload = f.payload_override;
  if (payload.empty()) {
    put32(payload, static_cast<uint32_t>(f.subtype));
    put32(payload, 0);
    if (f.subtype == 1) {
      if (f.position) {
        Bytes pos;
        put32(pos, 0);
        put32(pos, static_cast<uint32_t>(f.position->first));
        put32(pos, 0);
        put32(pos, static_cast<uint32_t>(f.position->second));
        put_sub(payload, 0x10001, pos);
      }
      if (f.name) put_sub(payload, 0x10006, text_bytes(*f.name));
      if (f.ai) put_sub(payload, 0x11001, Bytes{1, 0, 0, 0});
    } else if (f.name) {
      Bytes navaid(48, 0x11);  // frequency and other data the tool never reads
      const Bytes text = text_bytes(*f.name);
      navaid.insert(navaid.end(), text.begin(), text.end());
      put_sub(payload, 0x10004, navaid);
    }
    for (const SubRecord& s : f.extra) put_sub(payload, s.type, s.payload);
    if (f.end_sub_record) put_sub(payload, 0, {});
  }
  return record(f.type, f.size_override, payload);
}

int AfdBuilder::add(Facility f) {
  facilities_.push_back(std::move(f));
  return static_cast<int>(facilities_.size()) - 1;
}

std::size_t NameList::open_places(const std::vector<NameRef>& path) const {
  // The entries open at the list's end: each one's nearest earlier entry of a
  // smaller level, up from the last.
  std::vector<const NameRef*> open;
  for (const NameRef& e : entries) {
    while (!open.empty() && open.back()->level >= e.level) open.pop_back();
    open.push_back(&e);
  }
  std::size_t shared = 0;
  while (shared < path.size() && shared < open.size() &&
         open[shared]->level == path[shared].level && open[shared]->name == path[shared].name) {
    ++shared;
  }
  return shared;
}

void NameList::file(const std::vector<NameRef>& path, NameRef entry) {
  entries.insert(entries.end(), path.begin() + static_cast<std::ptrdiff_t>(open_places(path)),
                 path.end());
  entries.push_back(std::move(entry));
}

NameList& AfdBuilder::add_list() {
  lists_.emplace_back();
  return lists_.back();
}

Bytes AfdBuilder::build(Layout* layout) const {
  Layout where;
  Bytes objects;
  const uint32_t object_start = 168;
  for (const Facility& f : facilities_) {
    where.facility_offsets.push_back(object_start + static_cast<uint32_t>(objects.size()));
    const Bytes rec = facility_record(f);
    objects.insert(objects.end(), rec.begin(), rec.end());
  }
  if (object_list_end) put32(objects, 0), put32(objects, 0);
  const uint32_t lists_start = object_start + static_cast<uint32_t>(objects.size());
  Bytes lists;
  for (const NameList& list : lists_) {
    const uint32_t head_at = lists_start + static_cast<uint32_t>(lists.size());
    where.list_offsets.push_back(head_at);
    where.entry_offsets.emplace_back();
    Bytes entries;
    for (const NameRef& e : list.entries) {
      where.entry_offsets.back().push_back(head_at + 24 + static_cast<uint32_t>(entries.size()));
      uint32_t link = e.raw_link;
      if (e.facility >= 0) link = where.facility_offsets.at(static_cast<std::size_t>(e.facility));
      const Bytes rec = name_entry_record(e, link);
      entries.insert(entries.end(), rec.begin(), rec.end());
    }
    if (list.end_record) put32(entries, 0), put32(entries, 0);
    Bytes count(12, 0);
    put32(count, list.entry_count_override.value_or(static_cast<uint32_t>(list.entries.size())));
    const Bytes head = record(
        0x30001, list.size_override.value_or(static_cast<int32_t>(16 + entries.size())), count);
    lists.insert(lists.end(), head.begin(), head.end());
    lists.insert(lists.end(), entries.begin(), entries.end());
  }
  if (chain_end) put32(lists, 0), put32(lists, 0);
  const uint32_t trailer_at = lists_start + static_cast<uint32_t>(lists.size());

  Bytes file;
  put16(file, version_word);
  put_box(file, bounds);
  file.resize(70, 0);
  put32(file, trailer_offset.value_or(with_trailer ? trailer_at : 0));
  file.resize(118, 0);
  put32(file, magic);
  file.resize(128, 0);
  for (uint16_t id : file_id) put16(file, id);
  file.resize(144, 0);
  put32(file, section_tag);
  put32(file, 0);
  put32(file, static_cast<uint32_t>(format_level));
  put32(file, name_list_offset.value_or(lists_start));
  put32(file, 0);
  put32(file, object_list_offset.value_or(object_start));
  file.insert(file.end(), objects.begin(), objects.end());
  file.insert(file.end(), lists.begin(), lists.end());
  if (with_trailer) {
    put32(file, static_cast<uint32_t>(trailer_word));
    put_box(file, trailer_box);
  }
  if (layout != nullptr) *layout = std::move(where);
  return file;
}

void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes read_file(const std::string& path) {
  // Block reads: some inputs here are tens of megabytes.
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) throw std::runtime_error("cannot read " + path);
  Bytes out;
  uint8_t buf[1 << 16];
  for (std::size_t got; (got = std::fread(buf, 1, sizeof buf, f)) > 0;) {
    out.insert(out.end(), buf, buf + got);
  }
  std::fclose(f);
  return out;
}

namespace {

// The file's units: a latitude counts 10 001 750 to the quarter circle (metres
// from the equator to the pole), a longitude 2^32 to the full circle.
struct Place {
  double lat;
  double lon;
  int32_t lat_raw() const { return static_cast<int32_t>(std::lround(lat * 10001750.0 / 90.0)); }
  int32_t lon_raw() const { return static_cast<int32_t>(std::lround(lon * 4294967296.0 / 360.0)); }
};

// The airports' reference points.
constexpr Place kHamburg{53.6304, 9.9882};
constexpr Place kBremen{53.0475, 8.7867};
constexpr Place kHannover{52.4611, 9.6851};
constexpr Place kFrankfurt{50.0333, 8.5706};
constexpr Place kMuenchen{48.3538, 11.7861};
constexpr Place kStuttgart{48.6899, 9.2220};
constexpr Place kKassel{51.4083, 9.3775};
// An add-on's survey differs from the base's by a few metres.
constexpr Place kHamburgSurveyed{53.6306, 9.9885};
constexpr Place kFrankfurtSurveyed{50.0335, 8.5709};

Facility airport_at(const char* name, Place p, bool ai = false) {
  return Facility::airport(name, p.lat_raw(), p.lon_raw(), ai);
}

// The rectangle around `places`, a tenth of a degree wider on every side.
Box bounds_of(const std::vector<Place>& places) {
  constexpr double kMargin = 0.1;
  Place north{-90, 0}, south{90, 0}, east{0, -180}, west{0, 180};
  for (const Place& p : places) {
    north.lat = std::max(north.lat, p.lat + kMargin);
    south.lat = std::min(south.lat, p.lat - kMargin);
    east.lon = std::max(east.lon, p.lon + kMargin);
    west.lon = std::min(west.lon, p.lon - kMargin);
  }
  return {north.lat_raw(), south.lat_raw(), east.lon_raw(), west.lon_raw()};
}

}  // namespace

AfdBuilder sample_base() {
  using namespace levels;
  AfdBuilder b;
  b.bounds = bounds_of({kHamburg, kBremen, kHannover, kFrankfurt, kMuenchen, kStuttgart});
  b.trailer_word = 0x2000033F;
  b.trailer_box = bounds_of({kBremen, kFrankfurt});
  const int ham = b.add(airport_at("HAMBURG", kHamburg));
  const int brm = b.add(airport_at("BREMEN", kBremen, true));
  const int hnv = b.add(airport_at("HANNOVER", kHannover));
  const int fra = b.add(airport_at("FRANKFURT MAIN", kFrankfurt, true));
  const int muc = b.add(airport_at("MUENCHEN", kMuenchen));
  const int stu = b.add(airport_at("STUTTGART", kStuttgart));
  const int vor = b.add(Facility::vor("HAMBURG VOR"));
  const int ndb = b.add(Facility::ndb("BREMEN NDB"));
  auto& north = b.add_list();
  north.entries = {
      {kRegion, "EUROPE"},        {kCountry, "GERMANY"},      {kState, "HAMBURG"},
      {kCity, "HAMBURG"},         {kAirport, "HAMBURG", ham}, {kVor, "HAMBURG VOR", vor},
      {kState, "BREMEN"},         {kCity, "BREMEN"},          {kAirport, "BREMEN", brm},
      {kNdb, "BREMEN NDB", ndb},  {kState, "NIEDERSACHSEN"},  {kCity, "HANNOVER"},
      {kAirport, "HANNOVER", hnv}};
  auto& south = b.add_list();
  south.entries = {{kRegion, "EUROPE"},
                   {kCountry, "GERMANY"},
                   {kState, "HESSEN"},
                   {kCity, "FRANKFURT"},
                   {kAirport, "FRANKFURT MAIN", fra},
                   {kState, "BAYERN"},
                   {kCity, "MUENCHEN"},
                   {kAirport, "MUENCHEN", muc},
                   {kState, "BADEN-WUERTTEMBERG"},
                   {kCity, "STUTTGART"},
                   {kAirport, "STUTTGART", stu}};
  return b;
}

AfdBuilder sample_source() {
  using namespace levels;
  AfdBuilder s;
  s.bounds = bounds_of({kHamburgSurveyed, kFrankfurtSurveyed, kKassel});
  s.trailer_box = bounds_of({kFrankfurtSurveyed});
  Facility hamburg = airport_at("HAMBURG", kHamburgSurveyed);
  hamburg.extra.push_back({0x10010, Bytes(40, 0x42)});  // runway data, larger record
  const int ham = s.add(hamburg);
  const int fra = s.add(airport_at("FRANKFURT MAIN", kFrankfurtSurveyed, true));
  const int kas = s.add(airport_at("KASSEL", kKassel));  // not in the base: a link leaves it out
  const int vor = s.add(Facility::vor("HAMBURG VOR"));   // navaids are never taken
  // Filed as add-on files file their airports: KASSEL under
  // EUROPE > GERMANY > HESSEN > KASSEL.
  s.add_list().entries = {
      {kRegion, "EUROPE"}, {kCountry, "GERMANY"},      {kState, "HAMBURG"},
      {kCity, "HAMBURG"},  {kAirport, "HAMBURG", ham}, {kVor, "HAMBURG VOR", vor},
      {kState, "HESSEN"},  {kCity, "FRANKFURT"},       {kAirport, "FRANKFURT MAIN", fra},
      {kCity, "KASSEL"},   {kAirport, "KASSEL", kas}};
  return s;
}

AfdBuilder numbered_airports(int n) {
  AfdBuilder b;
  for (int i = 0; i < n; ++i) b.add(Facility::airport(numbered("A", i), i, -i));
  return b;
}

AfdBuilder filed_airports(int n, std::size_t (*payload)(int), int ai_every) {
  AfdBuilder b;
  auto& list = b.add_list();
  list.entries.push_back({levels::kRegion, "REGION"});
  for (int i = 0; i < n; ++i) {
    Facility f = Facility::airport(numbered("AP", i), 1000 * i, -1000 * i, i % ai_every == 0);
    f.extra.push_back({0x10010, Bytes(payload(i), static_cast<uint8_t>(i))});
    const int index = b.add(f);
    list.entries.push_back({levels::kCity, numbered("CITY", i)});
    list.entries.push_back({levels::kAirport, numbered("AP", i), index});
  }
  return b;
}

}  // namespace afdtest
