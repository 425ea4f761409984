// The round-trip promises over many files: builder-made ones sound and
// damaged, random ones, the bundled samples, and what -R, -C and -B write.
//   1. A file on which the check finds nothing comes back from -J and -B
//      byte for byte.
//   2. Every file that -J lists builds, and -J of the result is its document
//      again, apart from what a build computes anew.
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "commands/exit_codes.h"
#include "document_compare.h"
#include "format/afd_format.h"
#include "in_process.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using afdtest::NameList;

class DocumentRoundTripTest : public ToolTest {
 protected:
  std::string listing(const std::string& path) {
    std::string text;
    return run_command({"-J", path}, &text) == kExitOk ? text : std::string();
  }

  int build(const std::string& doc, const std::string& out, std::string* printed = nullptr) {
    return run_command({"-B", put("doc.json", Bytes(doc.begin(), doc.end())), out}, printed);
  }

  // Both promises for one file; false when -J does not list it at all.
  // `whole`: it comes back byte for byte although it is not sound.
  bool round_trip(const std::string& name, const Bytes& bytes, bool whole = false) {
    const std::string path = put("in.bgl", bytes);
    const std::string doc = listing(path);
    if (doc.empty()) return false;
    const std::string rebuilt = dir.file("rebuilt.bgl");
    std::string printed;
    EXPECT_EQ(build(doc, rebuilt, &printed), kExitOk) << name << ": " << printed << "\n" << doc;
    const bool sound = doc.find("\"problems\": []") != std::string::npos;
    const Bytes again = afdtest::read_file(rebuilt);
    sound_files += sound;
    EXPECT_TRUE(!(sound || whole) || again == bytes) << name << ": not back byte for byte";
    ++listed_files;
    EXPECT_EQ(afdtest::compare_documents(doc, listing(rebuilt)), "") << name;
    return true;
  }

  int listed_files = 0;
  int sound_files = 0;
};

AfdBuilder sound_file() {
  AfdBuilder b;
  b.bounds = {5700000, 5000000, 110000000, 90000000};
  b.trailer_box = {5600000, 5500000, 105000000, 100000000};
  b.file_id[0] = 7, b.file_id[1] = 8, b.file_id[2] = 9;
  const int fra = b.add(Facility::airport("FRANKFURT MAIN", 5560232, 102250716, true));
  const int egg = b.add(Facility::airport("EGELSBACH", 5540000, 102000000));
  const int vor = b.add(Facility::vor("FFM VOR"));
  const int ndb = b.add(Facility::ndb("FFM NDB"));
  b.add_list().entries = {
      NameRef(kLevelRegion, "EUROPE"),          NameRef(kLevelCountry, "GERMANY"),
      NameRef(kLevelCity, "FRANKFURT"),         NameRef(kLevelAirport, "FRANKFURT MAIN", fra),
      NameRef(kLevelAirport, "EGELSBACH", egg), NameRef(kLevelVor, "FFM VOR", vor),
      NameRef(kLevelNdb, "FFM NDB", ndb)};
  b.add_list().entries = {NameRef(kLevelCity, "\xC4\x80\x81\xFF"),
                          NameRef(kLevelAirport, "EGELSBACH", egg)};
  return b;
}

// Files that hold everything a document must carry, one thing each, made
// from the sound file; the last are records far larger than the bytes the
// build holds of them, which come back byte for byte though -V notes their
// size.
struct Oddity {
  const char* name;
  void (*make)(AfdBuilder&);
  bool whole = false;
};

const Oddity kOddities[] = {
    {"sound", [](AfdBuilder&) {}},
    {"empty", [](AfdBuilder& b) { b = AfdBuilder(); }},
    {"header version word", [](AfdBuilder& b) { b.version_word = 0x1234; }},
    {"no trailer", [](AfdBuilder& b) { b.with_trailer = false; }},
    {"sub-records the listing does not read",
     [](AfdBuilder& b) {
       b.facilities()[1].extra = {{0x7777, {1, 2, 3}}, {0x10006, {'X', 0}}};
     }},
    {"no end sub-record", [](AfdBuilder& b) { b.facilities()[2].end_sub_record = false; }},
    {"a sub-record cut by its record's end",
     [](AfdBuilder& b) {
       Facility& f = b.facilities()[0];
       f.extra = {{0x8888, Bytes(3, 9)}};
       f.size_override = static_cast<int32_t>(afdtest::facility_record(f).size() - 8 - 2);
     }},
    {"a record of another type",
     [](AfdBuilder& b) {
       b.add(Facility::raw(0x4444, {1, 2, 3, 4, 5}));
     }},
    {"another record first",
     [](AfdBuilder& b) {
       b.facilities().insert(b.facilities().begin(), Facility::raw(0x4444, {}));
     }},
    {"bytes behind a name's NUL",
     [](AfdBuilder& b) {
       b.list(0).entries[2].padding = {0xAB, 0xCD, 0};
     }},
    {"a city with a link", [](AfdBuilder& b) { b.list(1).entries[0].raw_link = 0x55; }},
    {"a dangling link",
     [](AfdBuilder& b) {
       b.list(0).entries[3].facility = -1;
       b.list(0).entries[3].raw_link = 0x12345;
     }},
    {"an unknown subtype", [](AfdBuilder& b) { b.facilities()[1].subtype = 7; }},
    {"the trailer word of none", [](AfdBuilder& b) { b.trailer_word = -1; }},
    {"a list of size 0", [](AfdBuilder& b) { b.list(1).size_override = 0; }},
    {"bounds that miss the airports",
     [](AfdBuilder& b) {
       b.bounds = {0, 0, 0, 0};
     }},
    {"an airport behind the first VOR",
     [](AfdBuilder& b) { b.facilities().push_back(Facility::airport("BEHIND", 1, 2)); }},
    {"sub-records behind those held",
     [](AfdBuilder& b) {
       for (uint8_t k = 0; k < 5; ++k)
         b.facilities()[0].extra.push_back({0x10010, Bytes(60000, k)});
       b.facilities()[0].extra.push_back({0x10011, {1, 2, 3}});
     },
     true},
    {"a long other record",
     [](AfdBuilder& b) { b.add(Facility::raw(0x4444, Bytes(200000, 0x44))); }, true},
    {"a long tail", [](AfdBuilder& b) { b.list(0).entries[3].padding = Bytes(100000, 0xAB); },
     true},
    {"an end of most of a record",
     [](AfdBuilder& b) {
       Facility& f = b.facilities()[1];
       f.end_sub_record = false;
       f.extra = {{0x8888, Bytes(100000, 9)}};
       f.size_override = static_cast<int32_t>(afdtest::facility_record(f).size() - 8 - 1);
       f.extra[0].payload.pop_back();
     },
     true},
};

// A seeded stream of files as the tool writes them: airports, then navaids,
// each filed under a city; now and then with bytes the listing does not
// interpret, and now and then with a fault.
AfdBuilder random_file(std::mt19937& rng) {
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  AfdBuilder b;
  b.bounds = {INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN};
  b.trailer_box = b.bounds;
  b.file_id[0] = static_cast<uint16_t>(rng());
  b.with_trailer = pick(10) != 0;
  const int airports = pick(8);
  const int navaids = pick(4);
  for (int i = 0; i < airports + navaids; ++i) {
    const bool airport = i < airports;
    Facility f = airport ? Facility::airport(afdtest::numbered("A", i), pick(20000000) - 10000000,
                                             static_cast<int32_t>(rng()), pick(3) == 0)
                 : pick(2) == 0 ? Facility::vor(afdtest::numbered("V", i))
                                : Facility::ndb(afdtest::numbered("N", i));
    if (pick(5) == 0) {
      f.extra.push_back({static_cast<uint32_t>(0x20000 + pick(5)), Bytes(pick(9), 0x5A)});
    }
    if (pick(25) == 0) f.name.reset();
    if (pick(25) == 0) f.subtype = 4 + pick(3);
    b.add(f);
  }
  const int lists = pick(4);
  for (int l = 0; l < lists; ++l) {
    NameList& list = b.add_list();
    list.entries.push_back(NameRef(kLevelRegion, afdtest::numbered("R", l)));
    list.entries.push_back(NameRef(kLevelCity, afdtest::numbered("C", l)));
    for (int i = 0; i < airports + navaids; ++i) {
      if (pick(2) == 0) continue;
      const Facility& f = b.facilities()[static_cast<std::size_t>(i)];
      const int32_t level = f.subtype == 2 ? kLevelVor : f.subtype == 3 ? kLevelNdb : kLevelAirport;
      NameRef ref(level, f.name.value_or(""), i);
      if (pick(8) == 0) ref.padding = Bytes(1 + pick(4), 0xEE);
      if (pick(30) == 0) ref.facility = -1;
      list.entries.push_back(ref);
    }
  }
  return b;
}

TEST_F(DocumentRoundTripTest, BothPromisesHoldOverBuiltSampleAndRandomFiles) {
  for (const Oddity& o : kOddities) {
    AfdBuilder b = sound_file();
    o.make(b);
    EXPECT_TRUE(round_trip(o.name, b.build(), o.whole)) << o.name;
  }
  for (const char* sample : {"base.bgl", "source.bgl"}) {
    EXPECT_TRUE(
        round_trip(sample, afdtest::read_file(std::string(QUARNEL_SAMPLES_DIR) + "/" + sample)));
  }
  std::mt19937 rng(19);
  for (int i = 0; i < 300; ++i)
    round_trip(afdtest::numbered("random ", i), random_file(rng).build());
  EXPECT_GE(sound_files, 100);
  std::printf("round trip: %d files listed, %d of them sound and rebuilt byte for byte\n",
              listed_files, sound_files);
}

TEST_F(DocumentRoundTripTest, DamagedFilesBuildAsTheirListingSays) {
  const Bytes whole = sound_file().build();
  for (std::size_t cut = kHeaderImageSize; cut < whole.size(); ++cut) {
    round_trip(afdtest::numbered("cut at ", cut),
               Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
  }
  std::mt19937 rng(1919);
  for (int i = 0; i < 400; ++i) {
    Bytes flipped = whole;
    for (int k = 0; k < 3; ++k)
      flipped[kHeaderImageSize + rng() % (whole.size() - kHeaderImageSize)] ^=
          static_cast<uint8_t>(1 + rng() % 255);
    round_trip(afdtest::numbered("flipped ", i), flipped);
  }
  EXPECT_GT(listed_files, 600);
  std::printf("round trip of damaged files: %d listed, %d sound\n", listed_files, sound_files);
}

TEST_F(DocumentRoundTripTest, FilesTheToolWritesComeBackByteForByte) {
  const std::string samples = QUARNEL_SAMPLES_DIR;
  {
    const afdtest::InFolder here(dir.path());
    EXPECT_EQ(run_command({"-R", samples + "/base.bgl", samples + "/source.bgl", "linked.bgl"}),
              kExitOk);
    EXPECT_EQ(run_command({"-C", samples + "/base.bgl", "HAMBURG", "BREMEN"}), kExitOk);
  }
  // And one that -B wrote from a short hand-written document.
  const std::string hand =
      R"({"facilities": [{"offset": 1, "kind": "airport", "name": "ONE", "lat": 1, "lon": 2}],
          "name_lists": [{"entries": [{"level": "airport", "name": "ONE", "facility": 1}]}]})";
  ASSERT_EQ(build(hand, dir.file("built.bgl")), kExitOk);
  for (const char* out : {"linked.bgl", "afdtmp.bgl", "built.bgl"}) {
    ASSERT_TRUE(round_trip(out, afdtest::read_file(dir.file(out))));
  }
  EXPECT_EQ(sound_files, 3) << "every file the tool writes is sound";
}

// A damaged file can hold millions of findings: the document carries the
// first 20000, as -V prints them, and counts the rest; it builds all the same.
TEST_F(DocumentRoundTripTest, TheListingCarriesTwentyThousandFindingsAndCountsTheRest) {
  AfdBuilder b = sound_file();
  for (int k = 0; k < 20100; ++k) b.add(Facility::raw(0x4444, {}));
  const std::string text = listing(put("many.bgl", b.build()));
  const nlohmann::json doc = nlohmann::json::parse(text);
  EXPECT_EQ(doc["problems"].size(), 20000u);
  EXPECT_EQ(doc["problems_not_listed"], 100);
  EXPECT_EQ(doc["other_records"].size(), 20100u);
  std::string printed;
  EXPECT_EQ(build(text, dir.file("rebuilt.bgl"), &printed), kExitOk) << printed;
  EXPECT_TRUE(afdtest::read_file(dir.file("rebuilt.bgl")) == b.build());
}

// An edit of a facility whose sub-records the build holds only in part:
// clearing the AI mark takes every marker the scan would see, those that come
// into its sight from the spool as others go included, and nothing else.
TEST_F(DocumentRoundTripTest, ClearingTheAiMarkReachesIntoTheSpooledSubRecords) {
  AfdBuilder b = sound_file();
  Facility& f = b.facilities()[0];  // an AI airport
  for (int k = 0; k < 24000; ++k) f.extra.push_back({0x11001, {1, 0, 0, 0}});
  f.extra.push_back({0x10010, Bytes(100, 7)});
  for (int k = 0; k < 50; ++k) f.extra.push_back({0x11001, {1, 0, 0, 0}});
  f.extra.push_back({0x10010, Bytes(70000, 8)});
  f.extra.push_back({0x11001, {1, 0, 0, 0}});
  nlohmann::json doc = nlohmann::json::parse(listing(put("ai.bgl", b.build())));
  const nlohmann::json subs = doc["facilities"][0]["sub_records"];
  doc["facilities"][0]["ai"] = false;
  std::string printed;
  ASSERT_EQ(build(doc.dump(), dir.file("no-ai.bgl"), &printed), kExitOk) << printed;
  const nlohmann::json after = nlohmann::json::parse(listing(dir.file("no-ai.bgl")));
  EXPECT_EQ(after["facilities"][0]["ai"], false);
  // Every marker before the 70000-byte sub-record is gone; the one behind it,
  // which the scan never reaches, stays.
  nlohmann::json expected = nlohmann::json::array();
  bool behind = false;
  for (const auto& sub : subs) {
    const std::string hex = sub.get<std::string>();
    behind = behind || hex.rfind("10000100701101", 0) == 0;
    if (behind || hex.rfind("01100100", 0) != 0) expected.push_back(sub);
  }
  EXPECT_EQ(after["facilities"][0]["sub_records"], expected);
  EXPECT_EQ(expected.size(), subs.size() - 24051);
}

// Each edit of a facility that carries its sub-records: the build must bring
// them in line, so that the listing shows exactly what was asked for.
TEST_F(DocumentRoundTripTest, EditsOfFacilitiesWithTheirSubRecords) {
  AfdBuilder b = sound_file();
  b.facilities()[1].name.reset();      // an airport without a name sub-record
  b.facilities()[1].position.reset();  // ... and without a position
  const std::string doc = listing(put("raw.bgl", b.build()));
  struct Edit {
    const char* what;
    std::size_t facility;
    nlohmann::json changes;
  };
  const std::vector<Edit> edits = {
      {"a longer name", 0, {{"name", "FRANKFURT RHEIN-MAIN"}}},
      {"a name where there was none", 1, {{"name", "NEU"}}},
      {"a position where there was none",
       1,
       {{"lat", 49.5}, {"lon", 8.25}, {"lat_raw", nullptr}, {"lon_raw", nullptr}}},
      {"no position",
       0,
       {{"lat", nullptr}, {"lon", nullptr}, {"lat_raw", nullptr}, {"lon_raw", nullptr}}},
      {"raw position only",
       0,
       {{"lat", nullptr}, {"lon", nullptr}, {"lat_raw", -5}, {"lon_raw", 2147483647}}},
      {"the AI mark set", 1, {{"ai", true}}},
      {"the AI mark cleared", 0, {{"ai", false}}},
      {"a VOR renamed", 2, {{"name", "\u20acVOR"}}},
      {"the name taken away", 0, {{"name", nullptr}}},
  };
  for (const Edit& e : edits) {
    nlohmann::json edited = nlohmann::json::parse(doc);
    edited["facilities"][e.facility].update(e.changes);
    std::string printed;
    ASSERT_EQ(build(edited.dump(), dir.file("edited.bgl"), &printed), kExitOk) << e.what << printed;
    const nlohmann::json after = nlohmann::json::parse(listing(dir.file("edited.bgl")));
    const nlohmann::json& f = after["facilities"][e.facility];
    // A position given one way leaves the other way's null keys to the build.
    bool position_given = false;
    for (const char* k : {"lat", "lon", "lat_raw", "lon_raw"}) {
      position_given = position_given || (e.changes.contains(k) && !e.changes[k].is_null());
    }
    for (const auto& [key, value] : e.changes.items()) {
      const bool position_key = key == "lat" || key == "lon" || key.ends_with("_raw");
      if (position_key && value.is_null() && position_given) continue;
      if ((key == "lat" || key == "lon") && value.is_number()) {
        EXPECT_NEAR(f[key].get<double>(), value.get<double>(), 1e-5) << e.what;
      } else {
        EXPECT_EQ(f[key], value) << e.what << ": " << key;
      }
    }
  }
}

}  // namespace
}  // namespace quarnel::testing
