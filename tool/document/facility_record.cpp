// Facility records from their descriptions. The tool reads a record through a
// bounded view (the first sub-record of a type, within the first bytes the
// scan looks at); the record is patched until that view shows what the
// description states, and refused when it cannot.
#include "document/facility_record.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "document/patched_record.h"
#include "format/afd_format.h"
#include "format/levels.h"
#include "format/positions.h"
#include "format/records.h"

namespace quarnel {

namespace {

constexpr uint8_t kAiPayload[] = {1, 0, 0, 0};

Bytes sub_record(uint32_t type, const Bytes& payload) {
  Bytes b(kSubHeadSize);
  put_u32(b.data(), type);
  put_u32(b.data() + 4, static_cast<uint32_t>(payload.size()));
  append(b, payload);
  return b;
}

Bytes position_payload(int32_t lat, int32_t lon, Bytes payload = Bytes(16, 0)) {
  if (payload.size() < kPosLongitude + 4) payload.resize(kPosLongitude + 4, 0);
  put_i32(payload.data() + kPosLatitude, lat);
  put_i32(payload.data() + kPosLongitude, lon);
  return payload;
}

// `old` with the name that starts at `at` replaced: whatever followed the old
// name's NUL stays behind the new one.
Bytes with_name(Bytes old, std::size_t at, const std::string& name) {
  if (old.size() < at) old.resize(at, 0);
  const auto nul = std::find(old.begin() + static_cast<std::ptrdiff_t>(at), old.end(), 0);
  Bytes tail = nul == old.end() ? Bytes{} : Bytes(nul + 1, old.end());
  old.resize(at);
  append(old, reinterpret_cast<const uint8_t*>(name.data()), name.size());
  old.push_back(0);
  append(old, tail);
  return old;
}

Bytes sub_payload(const Bytes& sub) { return Bytes(sub.begin() + kSubHeadSize, sub.end()); }

struct Wanted {
  int32_t subtype = 0;
  bool position_said = false;
  bool has_position = false;
  int32_t lat = 0;
  int32_t lon = 0;
};

struct View {
  bool has_name = false;
  std::string_view name;
  bool has_position = false;
  int32_t lat = 0;
  int32_t lon = 0;
  bool ai = false;
};

View view_of(const Bytes& rec, int32_t subtype) {
  const std::size_t len = std::min(rec.size(), kSeenRecord);
  View v;
  v.has_name = find_facility_name(rec.data(), len, &v.name);
  v.has_position = find_position(rec.data(), len, &v.lat, &v.lon);
  v.ai = subtype == kSubtypeAirport && has_ai_marker(rec.data(), len);
  return v;
}

uint32_t name_sub_type(int32_t subtype) {
  return subtype == kSubtypeAirport ? kSubAirportName : kSubNavaid;
}
std::size_t name_at(int32_t subtype) { return subtype == kSubtypeAirport ? 0 : kNavaidName; }

bool fail(Fault* fault, const char* below, const char* what) {
  *fault = {below, what};
  return false;
}

bool resolve_subtype(const DescribedFacility& desc, int32_t* subtype, Fault* fault) {
  if (desc.subtype.has()) {
    *subtype = desc.subtype.value;
    if (desc.kind.has() && desc.kind.value != facility_kind_word(*subtype)) {
      return fail(fault, ".kind", "disagrees with the subtype: give one of them");
    }
    return true;
  }
  if (!desc.kind.has()) return fail(fault, "", "a facility needs its kind");
  const std::string& kind = desc.kind.value;
  if (kind == "other") return fail(fault, ".subtype", "a facility of kind other needs its subtype");
  *subtype = kind == "airport" ? kSubtypeAirport : kind == "vor" ? kSubtypeVor : kSubtypeNdb;
  return true;
}

// Degrees as the listing prints them, where -0.000000 is 0.000000: a value
// just below zero prints with its sign, and jq and its kind write it as 0.
std::string degrees_text(double degrees) {
  char text[48];
  std::snprintf(text, sizeof text, "%.6f", degrees);
  const std::string_view shown = text;
  return shown == "-0.000000" ? std::string(shown.substr(1)) : std::string(shown);
}

// One axis of the position: -1 none, 1 given, 0 not said; false on a conflict.
bool resolve_axis(const Stated<double>& degrees, const Stated<int32_t>& raw, bool latitude,
                  int* state, int32_t* value, Fault* fault) {
  *state = degrees.said() || raw.said() ? -1 : 0;
  if (raw.has()) {
    *value = raw.value;
    *state = 1;
    if (degrees.has()) {
      const double held = latitude ? latitude_degrees(raw.value) : longitude_degrees(raw.value);
      if (degrees_text(degrees.value) != degrees_text(held)) {
        return fail(fault, latitude ? ".lat" : ".lon",
                    latitude ? "lat and lat_raw disagree: give one of them"
                             : "lon and lon_raw disagree: give one of them");
      }
    }
  } else if (degrees.has()) {
    // Degrees alone must name a place on the earth; raw values are written
    // as given, since a damaged file's document holds any.
    const double limit = latitude ? 90.0 : 180.0;
    if (degrees.value < -limit || degrees.value > limit) {
      return fail(fault, latitude ? ".lat" : ".lon",
                  latitude ? "must be from -90 to 90 degrees" : "must be from -180 to 180 degrees");
    }
    *value = latitude ? latitude_raw(degrees.value) : longitude_raw(degrees.value);
    *state = 1;
  }
  return true;
}

bool resolve_position(const DescribedFacility& desc, Wanted* w, Fault* fault) {
  int lat_state = 0;
  int lon_state = 0;
  if (!resolve_axis(desc.lat, desc.lat_raw, true, &lat_state, &w->lat, fault) ||
      !resolve_axis(desc.lon, desc.lon_raw, false, &lon_state, &w->lon, fault)) {
    return false;
  }
  if (lat_state == 0 && lon_state == 0) return true;
  if (lat_state != lon_state) {
    return fail(fault, lat_state == 1 ? ".lon" : ".lat", "a position needs both lat and lon");
  }
  w->position_said = true;
  w->has_position = lat_state == 1;
  return true;
}

// The held sub-records, one apiece; the reader checked each as it came.
std::vector<Bytes> held_sub_records(const SubRecords& s) {
  std::vector<Bytes> subs;
  std::size_t begin = 0;
  for (const uint32_t end : s.ends) {
    subs.emplace_back(s.held.begin() + static_cast<std::ptrdiff_t>(begin),
                      s.held.begin() + static_cast<std::ptrdiff_t>(end));
    begin = end;
  }
  return subs;
}

// The sub-records of a facility described without raw bytes.
bool standard_sub_records(const DescribedFacility& desc, const Wanted& w, std::vector<Bytes>* subs,
                          Fault* fault) {
  if (w.has_position) subs->push_back(sub_record(kSubPosition, position_payload(w.lat, w.lon)));
  if (desc.name.has()) {
    if (w.subtype < kSubtypeAirport || w.subtype > kSubtypeNdb) {
      return fail(fault, ".name", "only an airport, VOR or NDB has a name");
    }
    subs->push_back(sub_record(name_sub_type(w.subtype),
                               with_name(Bytes{}, name_at(w.subtype), desc.name.value)));
  }
  if (desc.ai.has() && desc.ai.value) {
    subs->push_back(sub_record(kSubAiMarker, Bytes(std::begin(kAiPayload), std::end(kAiPayload))));
  }
  return true;
}

void patch_name(PatchedRecord& r, const DescribedFacility& desc, const Wanted& w) {
  const long k = r.first_seen(name_sub_type(w.subtype));
  if (!desc.name.has()) {
    if (k >= 0) r.erase(k);
  } else if (k >= 0) {
    r.replace(k, sub_record(name_sub_type(w.subtype),
                            with_name(sub_payload(r.at(k)), name_at(w.subtype), desc.name.value)));
  } else {
    r.put_front(sub_record(name_sub_type(w.subtype),
                           with_name(Bytes{}, name_at(w.subtype), desc.name.value)));
  }
}

void patch_position(PatchedRecord& r, const Wanted& w) {
  const long k = r.first_seen(kSubPosition);
  if (!w.has_position) {
    if (k >= 0) r.erase(k);
  } else if (k >= 0) {
    r.replace(k, sub_record(kSubPosition, position_payload(w.lat, w.lon, sub_payload(r.at(k)))));
  } else {
    r.put_front(sub_record(kSubPosition, position_payload(w.lat, w.lon)));
  }
}

void patch_ai(PatchedRecord& r, bool ai) {
  if (ai) {
    r.put_front(sub_record(kSubAiMarker, Bytes(std::begin(kAiPayload), std::end(kAiPayload))));
    return;
  }
  r.erase_seen(kSubAiMarker);
}

bool name_matches(const View& v, const DescribedFacility& desc) {
  if (!desc.name.said()) return true;
  if (!desc.name.has()) return !v.has_name;
  return v.has_name && v.name == desc.name.value;
}

bool position_matches(const View& v, const Wanted& w) {
  if (!w.position_said) return true;
  if (!w.has_position) return !v.has_position;
  return v.has_position && v.lat == w.lat && v.lon == w.lon;
}

}  // namespace

bool assemble_facility(const DescribedFacility& desc, Spool& spool, AssembledFacility* out,
                       Fault* fault) {
  Wanted w;
  if (!resolve_subtype(desc, &w.subtype, fault) || !resolve_position(desc, &w, fault)) return false;
  const bool airport = w.subtype == kSubtypeAirport;
  if (desc.ai.has() && desc.ai.value && !airport) {
    return fail(fault, ".ai", "only an airport can be an AI airport");
  }
  if (desc.name.has() && (w.subtype < kSubtypeAirport || w.subtype > kSubtypeNdb)) {
    return fail(fault, ".name", "only an airport, VOR or NDB has a name");
  }
  std::vector<Bytes> subs;
  const SubRecords& given = desc.sub_records.value;
  if (desc.sub_records.said()) {
    subs = held_sub_records(given);
  } else if (!standard_sub_records(desc, w, &subs, fault)) {
    return false;
  }
  const Bytes reserved = desc.reserved.said() ? desc.reserved.value : Bytes(4, 0);
  out->end = desc.end.said() ? desc.end.value : Piece{Bytes(kSubHeadSize, 0), 0, 0};
  if (reserved.size() < 4 && (!subs.empty() || given.count > 0 || out->end.size() > 0)) {
    return fail(fault, ".reserved",
                "shorter than 4 bytes only in a record that ends there: no sub-records, end \"\"");
  }
  PatchedRecord record(w.subtype, reserved, std::move(subs), spool, given.spool_at, given.spilled,
                       out->end);
  if (desc.sub_records.said()) {
    if (!name_matches(view_of(record.seen(), w.subtype), desc)) patch_name(record, desc, w);
    if (!position_matches(view_of(record.seen(), w.subtype), w)) patch_position(record, w);
    if (desc.ai.said() && airport && view_of(record.seen(), w.subtype).ai != desc.ai.value) {
      patch_ai(record, desc.ai.value);
    }
  }
  if (record.size() - kRecordHeadSize > static_cast<uint64_t>(INT32_MAX)) {
    return fail(fault, "", "the record would pass the 2 GiB that its size field can count");
  }
  out->front = record.front();
  out->tail_at = record.tail_at();
  out->tail_size = record.tail_size();
  out->size = record.size();
  out->seen = record.seen();
  out->subtype = w.subtype;
  // What the tool will read back must be what was asked for.
  const View v = view_of(out->seen, w.subtype);
  if (!name_matches(v, desc)) return fail(fault, ".name", kUnreadRecordText);
  if (!position_matches(v, w)) return fail(fault, ".lat", kUnreadRecordText);
  if (desc.ai.said() && airport && v.ai != desc.ai.value) return fail(fault, ".ai", kUnreadRecordText);
  // A spool that failed to read shows as a failed write, at the end.
  return true;
}

}  // namespace quarnel
