// The check command on files with one planted defect each: the line that names
// the defect at its offset, and ExitCode 8; notes alone leave it at 0. The
// golden -V tests hold the lines of a file with a bit of everything, of a
// file cut short and of two airports of one name.
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using afdtest::Layout;

using namespace afdtest::levels;

std::string at(uint32_t offset, const std::string& text) {
  char head[16];
  std::snprintf(head, sizeof head, "0x%06X: ", offset);
  return head + text + "\n";
}

// Two airports, a VOR, one list that files them all; bounds that cover them.
AfdBuilder sound() {
  AfdBuilder b;
  b.bounds = {1000, -1000, 1000, -1000};
  b.trailer_box = {500, 500, 500, 500};
  const int a = b.add(Facility::airport("ALPHA", 100, 100));
  const int c = b.add(Facility::airport("CHARLIE", 500, 500, true));
  const int v = b.add(Facility::vor("VICTOR"));
  b.add_list().entries = {NameRef(kRegion, "R"), NameRef(kCity, "C"), NameRef(kAirport, "ALPHA", a),
                          NameRef(kAirport, "CHARLIE", c), NameRef(0x50003, "VICTOR", v)};
  return b;
}

struct Defect {
  const char* name;
  // Plants the defect in the sound file's builder.
  std::function<void(AfdBuilder&)> plant;
  // The line the check must print about the built file, which it may still
  // damage (cut it short).
  std::function<std::string(Bytes&, const Layout&)> line;
  int rc = kExitProblemsFound;
  bool whole = false;  // the line is all the check prints
};

const Defect kDefects[] = {
    {"NegativeSize", [](AfdBuilder& b) { b.facilities()[2].size_override = -8; },
     [](Bytes&, const Layout& l) {
       return at(l.facility_offsets[2],
                 "a record of the object list declares a negative size (-8): the walk stops here");
     }},
    {"HeadCutShort", [](AfdBuilder&) {},
     [](Bytes& f, const Layout& l) {
       f.resize(l.facility_offsets[1] + 5);
       return at(l.facility_offsets[1],
                 "a record head of the object list cut off by the end of its data");
     }},
    {"ObjectListWithoutEndRecord",
     [](AfdBuilder& b) {
       b = AfdBuilder();
       b.add(Facility::airport("A"));
       b.object_list_end = false;
       b.with_trailer = false;
       b.chain_end = false;
     },
     [](Bytes& f, const Layout&) {
       return at(static_cast<uint32_t>(f.size()), "the object list ends without an end record");
     }},
    {"SubRecordCutOff",
     [](AfdBuilder& b) {
       Bytes payload = afdtest::facility_record(Facility::airport("BROKEN", 1, 1));
       payload.erase(payload.begin(), payload.begin() + 8);
       afdtest::set32(payload, 12, 0x7FFFFFF0u);  // the first sub-record's size
       b.add(Facility::raw(1, payload));
     },
     [](Bytes&, const Layout& l) {
       return at(l.facility_offsets[3] + 16,
                 "a sub-record of size 2147483632 reaches past its record's end: cut off");
     }},
    {"UnknownRecordType", [](AfdBuilder& b) { b.add(Facility::raw(0x7777, Bytes(12, 0xAB))); },
     [](Bytes&, const Layout& l) {
       return at(l.facility_offsets[3],
                 "a record of unknown type 0x007777 in the object list: link leaves it out");
     }},
    {"HeadSizeTooLarge",
     [](AfdBuilder& b) {
       Layout l;
       const Bytes plain = b.build(&l);
       b.list(0).size_override =
           static_cast<int32_t>(afdtest::get32(plain, l.list_offsets[0] + 4)) + 8;
       b.add_list().entries = {NameRef(kCity, "PADDING")};  // the chain goes on behind
     },
     [](Bytes& f, const Layout& l) {
       const uint32_t declared = afdtest::get32(f, l.list_offsets[0] + 4);
       return at(l.list_offsets[0], "the name list's head declares " + std::to_string(declared) +
                                        " bytes; its entries and end record take " +
                                        std::to_string(declared - 8));
     }},
    {"EntryCountWrong", [](AfdBuilder& b) { b.list(0).entry_count_override = 9; },
     [](Bytes&, const Layout& l) {
       return at(l.list_offsets[0], "the name list's head counts 9 entries; the list holds 5");
     }},
    {"EntryCountOfOne", [](AfdBuilder& b) { b.list(0).entry_count_override = 1; },
     [](Bytes&, const Layout& l) {
       return at(l.list_offsets[0], "the name list's head counts 1 entry; the list holds 5");
     }},
    {"NegativeListSize", [](AfdBuilder& b) { b.list(0).size_override = -1; },
     [](Bytes&, const Layout& l) {
       return at(l.list_offsets[0],
                 "a record of the name-list chain declares a negative size (-1): the walk stops "
                 "here");
     }},
    {"TrailerInsideTheObjectList",
     [](AfdBuilder& b) {
       Layout l;
       b.build(&l);
       b.trailer_offset = l.facility_offsets[1];
     },
     [](Bytes&, const Layout& l) {
       return at(l.facility_offsets[1], "the trailer's offset points into the object list");
     }},
    {"NotesLeaveTheExitCodeAlone",
     [](AfdBuilder& b) {
       b.with_trailer = false;
       b.bounds = {0, 0, 0, 0};
     },
     [](Bytes&, const Layout&) {
       return at(2, "note: the header's bounds do not cover all airports") +
              at(70, "note: the trailer's offset is 0: the file has no trailer") +
              "no problems found, 2 notes\n";
     },
     kExitOk, true},
    {"MoreRecordsThanTheCatalogueHolds",
     [](AfdBuilder& b) {
       b = AfdBuilder();
       for (std::size_t i = 0; i <= kCatalogueCapacity; ++i) {
         b.add(Facility::airport(afdtest::numbered("A", i)));
       }
     },
     [](Bytes&, const Layout& l) {
       return at(l.facility_offsets[kCatalogueCapacity],
                 "more records than the tool can catalogue (20000): link and extract drop them") +
              "1 problem found\n";
     },
     kExitProblemsFound, true},
    // 1400 names of 300 bytes need more than the pool's 400000 bytes.
    {"NamesBeyondTheNamePool",
     [](AfdBuilder& b) {
       b = AfdBuilder();
       for (int i = 0; i < 1400; ++i)
         b.add(Facility::airport(std::string(290, 'N') + std::to_string(i)));
     },
     [](Bytes&, const Layout&) -> std::string {
       return "names from here on do not fit the tool's name pool: they never match\n1 problem "
              "found\n";
     }},
};

void PrintTo(const Defect& d, std::ostream* os) { *os << d.name; }

class PlantedDefect : public ToolTest, public ::testing::WithParamInterface<Defect> {};

TEST_P(PlantedDefect, IsReportedAtItsOffset) {
  AfdBuilder b = sound();
  GetParam().plant(b);
  Layout l;
  Bytes bytes = b.build(&l);
  const std::string line = GetParam().line(bytes, l);
  std::string out;
  EXPECT_EQ(run_command({"-V", put("c.bgl", bytes)}, &out), GetParam().rc) << out;
  if (GetParam().whole) {
    EXPECT_EQ(out, line);
  } else {
    EXPECT_NE(out.find(line), std::string::npos) << "no line\n" << line << "in\n" << out;
  }
}

INSTANTIATE_TEST_SUITE_P(Check, PlantedDefect, ::testing::ValuesIn(kDefects),
                         [](const auto& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace quarnel::testing
