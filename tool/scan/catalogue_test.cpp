// Tests of the header test, the scan and the name-list chain over builder-made files.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "scan/filing.h"
#include "scan/name_tree.h"
#include "scan/record_walk.h"
#include "scan/scan.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using namespace afdtest::levels;

class CatalogueTest : public ToolTest {};

// The golden failure lines hold a section tag and a format level of 2.
TEST_F(CatalogueTest, HeaderTestRefusesEachBrokenField) {
  struct Case {
    const char* what;
    void (*damage)(AfdBuilder&);
    bool accepted;
  };
  const Case cases[] = {
      {"valid", [](AfdBuilder&) {}, true},
      {"magic", [](AfdBuilder& b) { b.magic = 0x87654320; }, false},
      {"negative format level", [](AfdBuilder& b) { b.format_level = -5; }, false},
      {"format level 9", [](AfdBuilder& b) { b.format_level = 9; }, true},
  };
  for (const Case& c : cases) {
    AfdBuilder b;
    c.damage(b);
    InputFile in;
    ASSERT_TRUE(in.open(put("h.bgl", b.build())));
    uint8_t image[kHeaderImageSize];
    EXPECT_EQ(read_headers(in, image), c.accepted) << c.what;
  }
  // Every cut short of the two headers is refused.
  const Bytes whole = AfdBuilder().build();
  for (std::size_t len :
       {std::size_t{0}, std::size_t{100}, std::size_t{127}, std::size_t{128}, std::size_t{167}}) {
    InputFile in;
    ASSERT_TRUE(in.open(put("h.bgl", Bytes(whole.begin(), whole.begin() + long(len)))));
    uint8_t image[kHeaderImageSize];
    EXPECT_FALSE(read_headers(in, image)) << len;
  }
}

TEST_F(CatalogueTest, CataloguesFacilitiesThenListsInFileOrder) {
  AfdBuilder b;
  const int ham = b.add(Facility::airport("HAMBURG", 100, 200, true));
  b.add(Facility::vor("HAM VOR"));
  b.add(Facility::ndb("HAM NDB"));
  b.add_list().entries = {NameRef(kCity, "HAMBURG"), NameRef(kAirport, "HAMBURG", ham)};
  afdtest::Layout at;
  const Bytes file = b.build(&at);
  EXPECT_EQ(scan(file), "");

  ASSERT_EQ(rs.catalogue.count, 6u);
  EXPECT_EQ(entry(0).kind, 1);
  EXPECT_STREQ(entry(0).name, "HAMBURG");
  EXPECT_EQ(entry(0).flags, kFlagAiAirport);
  EXPECT_EQ(entry(0).base_offset, at.facility_offsets[0]);
  EXPECT_EQ(entry(1).kind, 2);
  EXPECT_STREQ(entry(1).name, "HAM VOR");
  EXPECT_EQ(entry(2).kind, 3);
  EXPECT_EQ(entry(3).kind, 0x30001);
  EXPECT_STREQ(entry(3).name, "");
  EXPECT_EQ(entry(3).name_kind, 0);
  EXPECT_EQ(entry(3).origin, Origin::kNone);
  EXPECT_EQ(entry(3).base_offset, at.list_offsets[0]);
  EXPECT_EQ(entry(4).name_kind, kCity);
  EXPECT_EQ(entry(5).facility_offset, at.facility_offsets[0]);
  EXPECT_EQ(entry(5).base_offset, at.entry_offsets[0][1]);

  EXPECT_EQ(rs.catalogue.stats.containers, 3);
  EXPECT_EQ(rs.catalogue.stats.airports, 1);
  EXPECT_EQ(rs.catalogue.stats.ai_airports, 1);
  EXPECT_EQ(rs.catalogue.stats.name_lists, 1);
  EXPECT_EQ(rs.catalogue.stats.names, 2);
  EXPECT_EQ(rs.airport_box, (CoverageBox{100, 100, 200, 200}));
  EXPECT_EQ(rs.ai_airport_box, (CoverageBox{100, 100, 200, 200}));
}

// Odd records are stepped over whole: names the scan cannot reach (behind
// filler past what it looks at, in a navaid record too short to hold one, in a
// sub-record that claims more than its record holds) are catalogued empty, and
// unknown subtypes and record types are reported and skipped.
TEST_F(CatalogueTest, OddRecordsAreSteppedOverWhole) {
  Facility big = Facility::airport("", 1, 1);
  big.name.reset();
  big.position.reset();
  big.end_sub_record = false;
  big.extra.push_back({0x10099, Bytes(64000, 0xAA)});
  big.extra.push_back({0x10006, Bytes{'L', 'A', 'T', 'E', 0}});
  big.extra.push_back({0, {}});
  Facility shortnav = Facility::vor("");
  shortnav.name.reset();
  shortnav.extra.push_back({0x10004, Bytes(40, 'Z')});  // ends before offset 48
  Facility unterminated = Facility::ndb("");
  unterminated.name.reset();
  Bytes navaid(48, 0);
  navaid.insert(navaid.end(), {'N', 'D', 'B'});  // no NUL: the name ends with the record
  unterminated.extra.push_back({0x10004, navaid});
  Facility overlong = Facility::airport("X", 5, 6, true);
  Bytes sub;
  afdtest::put32(sub, 0x10006);
  afdtest::put32(sub, 1000);  // claims more than the record holds
  sub.insert(sub.end(), {'N', 'A', 'M', 'E', 0});
  overlong.payload_override = {1, 0, 0, 0, 0, 0, 0, 0};
  overlong.payload_override.insert(overlong.payload_override.end(), sub.begin(), sub.end());
  Facility odd = Facility::vor("ODD");
  odd.subtype = 5;
  AfdBuilder b;
  for (const Facility& f : {big, shortnav, unterminated, overlong, odd}) b.add(f);
  b.add(Facility::raw(7, Bytes(12, 0)));
  b.add(Facility::airport("NEXT"));
  afdtest::Layout at;
  const Bytes file = b.build(&at);
  char printed[128];
  std::snprintf(printed, sizeof printed, "unknown object 5 at 0x%06X\nunknown object: 0x000007\n",
                at.facility_offsets[4]);
  EXPECT_EQ(scan(file), printed);
  ASSERT_EQ(rs.catalogue.count, 5u);
  const char* const names[] = {"", "", "NDB", "", "NEXT"};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_STREQ(entry(i).name, names[i]) << i;
  EXPECT_EQ(rs.catalogue.stats.containers, 5);
  EXPECT_EQ(rs.catalogue.stats.max_cont_size, 8 + 8 + 8 + 64000 + 8 + 5 + 8);
}

TEST_F(CatalogueTest, HeadWithSizeZeroIsCataloguedAndEndsTheChain) {
  AfdBuilder b;
  b.add_list().entries = {NameRef(kCity, "FIRST")};
  b.list(0).size_override = 0;
  b.add_list().entries = {NameRef(kCity, "SECOND")};
  scan(b.build());
  ASSERT_EQ(rs.catalogue.count, 2u);
  EXPECT_STREQ(entry(1).name, "FIRST");
}

TEST_F(CatalogueTest, NamePoolNeverUsesItsLastByte) {
  const std::string filler(kNamePoolSize - 12, 'x');
  ASSERT_NE(add_name(rs.catalogue, filler, false), nullptr);
  EXPECT_EQ(rs.catalogue.name_pool_fill, kNamePoolSize - 11);
  // 10 bytes and a NUL would fill the pool to its last byte: refused.
  EXPECT_EQ(add_name(rs.catalogue, "0123456789", true), nullptr);
  // Counted although it did not fit; the longer filler, added uncounted, is not.
  EXPECT_EQ(rs.catalogue.stats.max_strlen, 10);
  EXPECT_EQ(rs.catalogue.name_pool_fill, kNamePoolSize - 11);
  const char* fits = add_name(rs.catalogue, "012345678", true);
  ASSERT_NE(fits, nullptr);
  EXPECT_STREQ(fits, "012345678");
  EXPECT_EQ(rs.catalogue.name_pool_fill, kNamePoolSize - 1);
  EXPECT_EQ(add_name(rs.catalogue, "", false), nullptr);
}

TEST_F(CatalogueTest, NameThatDidNotFitNeverMatches) {
  rs.catalogue.name_pool_fill = rs.catalogue.name_pool_size - 4;  // room for "AB" only
  AfdBuilder b;
  b.add(Facility::airport("AB"));
  b.add(Facility::airport("LONGER"));
  NameTable table;
  table.slots[0] = "LONGER";
  table.slots[1] = "";
  table.count = 2;
  scan(b.build(), &table);
  ASSERT_EQ(rs.catalogue.count, 2u);
  EXPECT_EQ(entry(1).name, nullptr);
  EXPECT_EQ(entry(1).origin, Origin::kNone);  // neither as "LONGER" nor as the empty name
  EXPECT_STREQ(entry(0).name, "AB");
}

TEST_F(CatalogueTest, SelectionIsExactAndOnlyForAirports) {
  AfdBuilder b;
  b.add(Facility::airport("Bremen"));
  b.add(Facility::airport("BREMEN"));
  b.add(Facility::airport("BREMEN "));
  b.add(Facility::vor("BREMEN"));
  b.add(Facility::airport("BREMEN"));
  NameTable table;
  table.slots[0] = nullptr;  // selects nothing, but does not end the table
  table.slots[1] = "BREMEN";
  table.count = 2;
  scan(b.build(), &table);
  ASSERT_EQ(rs.catalogue.count, 5u);
  const Origin expected[] = {Origin::kNone, Origin::kFirstInput, Origin::kNone, Origin::kNone,
                             Origin::kFirstInput};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(entry(i).origin, expected[i]) << i;
  EXPECT_EQ(count_selected(rs.catalogue), 2);
  EXPECT_FALSE(is_name_selected("BREMEN", nullptr));
}

// A full table of names, some slots empty and some names given twice: the scan
// selects an airport exactly when is_name_selected says so.
TEST_F(CatalogueTest, ScanSelectsWhatTheNameTableNames) {
  std::vector<std::string> names;
  for (int i = 0; i < 200; ++i) names.push_back(afdtest::numbered("FIELD ", i));
  NameTable table;
  for (std::size_t k = 0; k < kNameTableSlots; ++k) {
    table.slots[k] = k % 9 == 4 ? nullptr : names[(k * 7) % 150].c_str();
  }
  table.count = kNameTableSlots;
  AfdBuilder b;
  for (const std::string& name : names) b.add(Facility::airport(name));
  scan(b.build(), &table);
  ASSERT_EQ(rs.catalogue.count, names.size());
  int selected = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const bool expected = is_name_selected(names[i].c_str(), &table);
    EXPECT_EQ(is_selected(entry(i)), expected) << names[i];
    selected += expected ? 1 : 0;
  }
  EXPECT_GT(selected, 40);
}

TEST_F(CatalogueTest, DamagedSizesEndTheWalkKeepingWhatWasRead) {
  struct Case {
    const char* what;
    int32_t size;
  };
  for (const Case c :
       {Case{"negative", -1}, Case{"past the end", 1 << 30}, Case{"int max", INT32_MAX}}) {
    AfdBuilder b;
    b.add(Facility::airport("KEPT"));
    Facility bad = Facility::airport("BAD");
    bad.size_override = c.size;
    b.add(bad);
    b.add(Facility::airport("AFTER"));
    rs.catalogue.count = 0;
    scan(b.build());
    ASSERT_EQ(rs.catalogue.count, 1u) << c.what;
    EXPECT_STREQ(entry(0).name, "KEPT") << c.what;
  }
}

TEST_F(CatalogueTest, EntriesAreSearchedOnlyInsideTheirList) {
  AfdBuilder b;
  auto& first = b.add_list();
  first.entries = {NameRef(kCity, "ONE")};
  first.end_record = false;  // entries would run on into the next list
  b.add_list().entries = {NameRef(kCity, "TWO")};
  scan(b.build());
  ASSERT_EQ(rs.catalogue.count, 4u);
  EXPECT_EQ(rs.catalogue.stats.name_lists, 2);
  EXPECT_EQ(rs.catalogue.stats.names, 2);
  EXPECT_STREQ(entry(1).name, "ONE");
  EXPECT_STREQ(entry(3).name, "TWO");
}

// Raw chain records, each its type, declared size and as many payload bytes.
Bytes chain_bytes(std::initializer_list<std::pair<uint32_t, int32_t>> records, std::size_t cut) {
  Bytes b;
  for (const auto& [type, size] : records) {
    afdtest::put32(b, type);
    afdtest::put32(b, static_cast<uint32_t>(size));
    b.resize(b.size() + static_cast<std::size_t>(std::max(size, 0)), 0);
  }
  b.resize(b.size() - cut);
  return b;
}

TEST_F(CatalogueTest, NameListChainEndsForEachReasonWhereItsRecordStands) {
  constexpr uint32_t kHead = kTypeNameListHead;
  struct Case {
    const char* what;
    Bytes bytes;
    uint64_t start;
    int heads;
    WalkEnd end;
    uint64_t position;
    uint64_t last_entries_limit;  // of the last head seen
  };
  const Case cases[] = {
      {"head then end record", chain_bytes({{kHead, 24}, {0, 0}}, 0), 0, 1, WalkEnd::kEndRecord, 32,
       32},
      {"end record of a size is stepped over", chain_bytes({{0, 4}, {0, 0}}, 0), 0, 0,
       WalkEnd::kEndRecord, 12, 0},
      {"other record of size 0", chain_bytes({{kHead, 16}, {5, 0}}, 0), 0, 1, WalkEnd::kSizeZero,
       24, 24},
      {"negative size", chain_bytes({{5, -8}}, 0), 0, 0, WalkEnd::kNegativeSize, 0, 0},
      {"head cut by the file's end", chain_bytes({{kHead, 16}}, 1), 0, 0, WalkEnd::kHeadCut, 0, 0},
      {"record head cut", chain_bytes({{kHead, 16}, {0, 0}}, 3), 0, 1, WalkEnd::kHeadCut, 24, 24},
      {"start beyond the data", chain_bytes({{0, 0}}, 0), 8, 0, WalkEnd::kEndOfData, 8, 0},
      // The second record stands for the head's last 16 bytes.
      {"head of size 0 spans the file", chain_bytes({{kHead, 0}, {0, 8}}, 0), 0, 1,
       WalkEnd::kSizeZero, 0, 24},
      {"head past the file's end", chain_bytes({{kHead, 100}}, 84), 0, 1, WalkEnd::kEndOfData, 108,
       24},
  };
  for (const Case& c : cases) {
    InputFile in;
    ASSERT_TRUE(in.open(put("chain.bin", c.bytes)));
    NameListChain chain(in, c.start);
    ChainRecord record;
    int heads = 0;
    uint64_t limit = 0;
    while (chain.next(&record)) {
      if (record.is_head) {
        ++heads;
        limit = record.entries_limit;
        EXPECT_EQ(record.entries, record.pos + kNameListHeadSize) << c.what;
      }
      if (!chain.step(record)) break;
    }
    EXPECT_EQ(heads, c.heads) << c.what;
    EXPECT_EQ(chain.end(), c.end) << c.what;
    EXPECT_EQ(chain.position(), c.position) << c.what;
    EXPECT_EQ(limit, c.last_entries_limit) << c.what;
  }
}

// The extract's and the merge's stack and the name-list tree file by one rule:
// over lists of random levels, the stack's parent of every entry is the tree's.
TEST_F(CatalogueTest, FilingStackAndNameTreeFileEveryEntryAlike) {
  const int32_t levels[] = {kRegion, kCountry, kState, kCity, kAirport, kVor, kNdb, 0, -1, 7};
  uint32_t seed = 12345;
  const auto draw = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  std::vector<TreeNode> tree(kTreeNodes);
  for (int round = 0; round < 50; ++round) {
    Catalogue& catalogue = rs.catalogue;
    catalogue.count = 0;
    std::vector<TreeIndex> expected(64, kNoNode);
    struct Slot {
      int32_t level;
      TreeIndex node;
    };
    FilingStack<Slot, 64> filing;
    TreeIndex head = kNoNode;
    for (std::size_t i = 0; i < 60; ++i) {
      CatalogueEntry& e = catalogue[catalogue.count];
      e = CatalogueEntry{};
      const auto node = static_cast<TreeIndex>(catalogue.count++);
      if (i == 0 || draw(12) == 0) {
        e.kind = static_cast<int32_t>(kTypeNameListHead);
        head = node;
        filing.clear();
        continue;
      }
      e.kind = static_cast<int32_t>(kTypeNameEntry);
      e.name_kind = levels[draw(std::size(levels))];
      const int depth = filing.settle(e.name_kind);
      expected[node] = depth > 0 ? filing[depth - 1].node : head;
      ASSERT_TRUE(filing.push(Slot{e.name_kind, node}));
    }
    build_name_tree(catalogue, 0, tree.data());
    for (std::size_t i = 0; i < catalogue.count; ++i) {
      if (expected[i] != kNoNode) {
        EXPECT_EQ(tree[i].parent, expected[i]) << round << " " << i;
      }
    }
  }
}

}  // namespace
}  // namespace quarnel::testing
