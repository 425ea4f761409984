// The check command on files with one planted defect each: the line that names
// the defect at its offset, and ExitCode 8; a sound file passes with 0.
#include <cstdio>
#include <functional>
#include <string>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using afdtest::Layout;

using namespace afdtest::levels;

class CheckTest : public ToolTest {
 protected:
  int check(const Bytes& bytes, std::string* out) {
    const std::string path = put("c.bgl", bytes);
    afdtest::CapturedStdout captured;
    const int rc = run_check(rs, path);
    *out = captured.text();
    return rc;
  }
};

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

TEST_F(CheckTest, ASoundFilePasses) {
  std::string out;
  EXPECT_EQ(check(sound().build(), &out), kExitOk);
  EXPECT_EQ(out, "no problems found\n");
}

TEST_F(CheckTest, NotesLeaveTheExitCodeAlone) {
  AfdBuilder b = sound();
  b.with_trailer = false;
  b.bounds = {0, 0, 0, 0};
  std::string out;
  EXPECT_EQ(check(b.build(), &out), kExitOk);
  EXPECT_EQ(out, at(2, "note: the header's bounds do not cover all airports") +
                     at(70, "note: the trailer's offset is 0: the file has no trailer") +
                     "no problems found, 2 notes\n");
}

struct Defect {
  const char* what;
  // Plants the defect; returns the file and the line the check must print.
  std::function<std::pair<Bytes, std::string>()> plant;
};

TEST_F(CheckTest, EachPlantedDefectIsReportedAtItsOffset) {
  const Defect defects[] = {
      {"record cut off",
       [] {
         AfdBuilder b = sound();
         b.facilities()[1].size_override = 100000;
         Layout l;
         Bytes f = b.build(&l);
         return std::make_pair(
             f, at(
                    l.facility_offsets[1],
                    "a record of the object list declares 100000 bytes, past the end of its data "
                    "at 0x" +
                        [&] {
                          char h[8];
                          std::snprintf(h, sizeof h, "%06zX", f.size());
                          return std::string(h);
                        }() +
                        ": cut off"));
       }},
      {"negative size",
       [] {
         AfdBuilder b = sound();
         b.facilities()[2].size_override = -8;
         Layout l;
         Bytes f = b.build(&l);
         return std::make_pair(
             f, at(l.facility_offsets[2],
                   "a record of the object list declares a negative size (-8): the walk stops "
                   "here"));
       }},
      {"head cut short",
       [] {
         Layout l;
         Bytes f = sound().build(&l);
         f.resize(l.facility_offsets[1] + 5);
         return std::make_pair(
             f, at(l.facility_offsets[1],
                   "a record head of the object list cut off by the end of its data"));
       }},
      {"object list without end record",
       [] {
         AfdBuilder b;
         b.add(Facility::airport("A"));
         b.object_list_end = false;
         b.with_trailer = false;
         b.chain_end = false;
         Layout l;
         Bytes f = b.build(&l);
         return std::make_pair(
             f, at(static_cast<uint32_t>(f.size()), "the object list ends without an end record"));
       }},
      {"sub-record cut off",
       [] {
         AfdBuilder b = sound();
         Bytes payload = afdtest::facility_record(Facility::airport("BROKEN", 1, 1));
         payload.erase(payload.begin(), payload.begin() + 8);
         afdtest::set32(payload, 12, 0x7FFFFFF0u);  // the first sub-record's size
         b.add(Facility::raw(1, payload));
         Layout l;
         Bytes f = b.build(&l);
         return std::make_pair(f, at(l.facility_offsets[3] + 16,
                                     "a sub-record of size 2147483632 reaches past its record's "
                                     "end: cut off"));
       }},
      {"unknown subtype",
       [] {
         AfdBuilder b = sound();
         Facility odd = Facility::airport("ODD");
         odd.subtype = 7;
         b.add(odd);
         Layout l;
         Bytes f = b.build(&l);
         return std::make_pair(
             f, at(l.facility_offsets[3],
                   "a facility of unknown subtype 7: link and extract leave it out"));
       }},
      {"unknown record type",
       [] {
         AfdBuilder b = sound();
         b.add(Facility::raw(0x7777, Bytes(12, 0xAB)));
         Layout l;
         Bytes f = b.build(&l);
         return std::make_pair(f, at(l.facility_offsets[3],
                                     "a record of unknown type 0x007777 in the object list: link "
                                     "leaves it out"));
       }},
      {"dangling link",
       [] {
         AfdBuilder b = sound();
         b.list(0).entries.push_back(NameRef(kAirport, "GONE"));
         b.list(0).entries.back().raw_link = 0x12345;
         Layout l;
         Bytes f = b.build(&l);
         return std::make_pair(f, at(l.entry_offsets[0][5],
                                     "name entry \"GONE\" links 0x012345, where no facility is"));
       }},
      {"airport entry linking a VOR",
       [] {
         AfdBuilder b = sound();
         b.list(0).entries.push_back(NameRef(kAirport, "VICTOR", 2));
         Layout l;
         Bytes f = b.build(&l);
         char tail[64];
         std::snprintf(tail, sizeof tail, "at 0x%06X", l.facility_offsets[2]);
         return std::make_pair(
             f,
             at(l.entry_offsets[0][5],
                std::string("airport entry \"VICTOR\" links a facility of kind vor (subtype 2) ") +
                    tail));
       }},
      {"airport entry without a link",
       [] {
         AfdBuilder b = sound();
         b.list(0).entries.push_back(NameRef(kAirport, "NOWHERE"));
         Layout l;
         Bytes f = b.build(&l);
         return std::make_pair(
             f, at(l.entry_offsets[0][5], "airport entry \"NOWHERE\" links no facility"));
       }},
      {"head size too large",
       [] {
         AfdBuilder b = sound();
         Layout l;
         const Bytes plain = b.build(&l);
         const auto actual = static_cast<int32_t>(afdtest::get32(plain, l.list_offsets[0] + 4));
         b.list(0).size_override = actual + 8;
         b.add_list().entries = {NameRef(kCity, "PADDING")};  // the chain goes on behind
         Bytes f = b.build(&l);
         return std::make_pair(
             f, at(l.list_offsets[0],
                   "the name list's head declares " + std::to_string(actual + 8) +
                       " bytes; its entries and end record take " + std::to_string(actual)));
       }},
      {"entry count wrong",
       [] {
         AfdBuilder b = sound();
         b.list(0).entry_count_override = 9;
         Layout l;
         Bytes f = b.build(&l);
         return std::make_pair(
             f, at(l.list_offsets[0], "the name list's head counts 9 entries; the list holds 5"));
       }},
      {"entry count of one",
       [] {
         AfdBuilder b = sound();
         b.list(0).entry_count_override = 1;
         Layout l;
         Bytes f = b.build(&l);
         return std::make_pair(
             f, at(l.list_offsets[0], "the name list's head counts 1 entry; the list holds 5"));
       }},
      {"negative list size",
       [] {
         AfdBuilder b = sound();
         b.list(0).size_override = -1;
         Layout l;
         Bytes f = b.build(&l);
         return std::make_pair(
             f, at(l.list_offsets[0],
                   "a record of the name-list chain declares a negative size (-1): the walk "
                   "stops here"));
       }},
      {"second airport of one name",
       [] {
         AfdBuilder b = sound();
         b.facilities().insert(b.facilities().begin() + 2, Facility::airport("ALPHA", 7, 7));
         b.list(0).entries[4].facility = 3;  // the VOR moved behind the new airport
         Layout l;
         Bytes f = b.build(&l);
         char tail[80];
         std::snprintf(tail, sizeof tail, "0x%06X: a link never replaces it",
                       l.facility_offsets[0]);
         return std::make_pair(f, at(l.facility_offsets[2],
                                     std::string("airport \"ALPHA\" has the name of the airport "
                                                 "at ") +
                                         tail));
       }},
      {"airport behind a VOR",
       [] {
         AfdBuilder b = sound();
         b.add(Facility::airport("LATE", 1, 1));
         Layout l;
         Bytes f = b.build(&l);
         char tail[80];
         std::snprintf(tail, sizeof tail, "0x%06X: a link never replaces it",
                       l.facility_offsets[2]);
         return std::make_pair(
             f, at(l.facility_offsets[3],
                   std::string("airport \"LATE\" stands behind the vor at ") + tail));
       }},
      {"trailer past the end",
       [] {
         AfdBuilder b = sound();
         b.trailer_offset = 0x100000;
         Bytes f = b.build();
         char tail[64];
         std::snprintf(tail, sizeof tail, "the file ends at 0x%06zX", f.size());
         return std::make_pair(
             f, at(0x100000, std::string("the trailer's offset points at no trailer: ") + tail));
       }},
      {"trailer inside the object list",
       [] {
         AfdBuilder b = sound();
         Layout l;
         b.build(&l);
         b.trailer_offset = l.facility_offsets[1];
         Bytes f = b.build(&l);
         return std::make_pair(
             f, at(l.facility_offsets[1], "the trailer's offset points into the object list"));
       }},
  };
  for (const Defect& d : defects) {
    const auto [bytes, line] = d.plant();
    std::string out;
    EXPECT_EQ(check(bytes, &out), kExitProblemsFound) << d.what << "\n" << out;
    EXPECT_NE(out.find(line), std::string::npos) << d.what << ": no line\n"
                                                 << line << "in\n"
                                                 << out;
    rs.reset();
  }
}

TEST_F(CheckTest, MoreRecordsThanTheCatalogueHolds) {
  AfdBuilder b;
  for (std::size_t i = 0; i <= kCatalogueCapacity; ++i) {
    b.add(Facility::airport(afdtest::numbered("A", static_cast<long>(i))));
  }
  Layout l;
  const Bytes f = b.build(&l);
  std::string out;
  EXPECT_EQ(check(f, &out), kExitProblemsFound);
  EXPECT_EQ(out,
            at(l.facility_offsets[kCatalogueCapacity],
               "more records than the tool can catalogue (20000): link and extract drop them") +
                "1 problem found\n");
}

TEST_F(CheckTest, NamesBeyondTheNamePool) {
  AfdBuilder b;
  // 1400 names of 300 bytes need more than the pool's 400000 bytes.
  for (int i = 0; i < 1400; ++i)
    b.add(Facility::airport(std::string(290, 'N') + std::to_string(i)));
  Layout l;
  const Bytes f = b.build(&l);
  std::string out;
  EXPECT_EQ(check(f, &out), kExitProblemsFound);
  const std::size_t fit = kNamePoolSize / 295;  // each name and its NUL: 294 or 295 bytes
  ASSERT_GT(l.facility_offsets.size(), fit);
  EXPECT_NE(out.find("names from here on do not fit the tool's name pool"), std::string::npos)
      << out;
  EXPECT_NE(out.find("1 problem found\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace quarnel::testing
