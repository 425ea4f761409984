// Writes the bundled sample files: a small base file and a source file whose
// airports replace some of the base's. Run: make_samples <folder>
#include <cstdio>
#include <string>

#include "afd_builder.h"

using afdtest::AfdBuilder;
using afdtest::Facility;
using afdtest::NameRef;

namespace {

constexpr int32_t kRegion = 0x10001, kCountry = 0x20001, kState = 0x30001, kCity = 0x40001;
constexpr int32_t kAirport = 0x50001, kVor = 0x50003, kNdb = 0x50004;

AfdBuilder sample_base() {
  AfdBuilder b;
  b.bounds = {6100000, 5300000, 1400000, 600000};
  b.trailer_word = 0x2000033F;
  b.trailer_box = {5900000, 5800000, 1000000, 900000};
  const int ham = b.add(Facility::airport("HAMBURG", 5963000, 1093000));
  const int brm = b.add(Facility::airport("BREMEN", 5904000, 963000, true));
  const int hnv = b.add(Facility::airport("HANNOVER", 5846000, 1063000));
  const int fra = b.add(Facility::airport("FRANKFURT MAIN", 5555000, 948000, true));
  const int muc = b.add(Facility::airport("MUENCHEN", 5335000, 1243000));
  const int stu = b.add(Facility::airport("STUTTGART", 5387000, 1007000));
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
  AfdBuilder s;
  s.bounds = {5970000, 5550000, 1100000, 940000};
  Facility hamburg = Facility::airport("HAMBURG", 5963500, 1093500);
  hamburg.extra.push_back({0x10010, afdtest::Bytes(40, 0x42)});  // runway data, larger record
  s.add(hamburg);
  s.add(Facility::airport("FRANKFURT MAIN", 5555500, 948500, true));
  s.add(Facility::airport("KASSEL", 5140000, 940000));  // not in the base: not taken
  s.add(Facility::vor("HAMBURG VOR"));                  // navaids are never taken
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_samples <folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  afdtest::write_file(dir + "/base.bgl", sample_base().build());
  afdtest::write_file(dir + "/source.bgl", sample_source().build());
  return 0;
}
