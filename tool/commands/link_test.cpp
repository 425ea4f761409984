// Round trips: what the link and extract commands write, scanned again, holds
// exactly what was meant to be copied, with every link pointing at its facility.
#include <algorithm>
#include <filesystem>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "output/layout.h"
#include "output/record_copy.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using namespace afdtest::levels;

struct Scanned {
  std::vector<CatalogueEntry> entries;
  std::vector<std::string> names;
};

class RoundTripTest : public InScratchFolderTest {
 protected:
  int link(const std::string& base, const std::string& source, const std::string& out) {
    rs.reset();
    rs.first_input_path = base;
    rs.second_input_path = source;
    rs.output_path = out;
    afdtest::SilencedStdout quiet;
    return run_link(rs);
  }

  // Scans a written file with a fresh state and checks its framing.
  Scanned read_back(const std::string& path) {
    const Bytes bytes = afdtest::read_file(path);
    EXPECT_EQ(afdtest::get32(bytes, 70), bytes.size() - 20) << "trailer at the end";
    RunState back;
    EXPECT_TRUE(back.allocate());
    EXPECT_TRUE(back.first_input.open(path));
    uint8_t image[kHeaderImageSize];
    EXPECT_TRUE(read_headers(back.first_input, image));
    {
      afdtest::SilencedStdout quiet;
      build_catalogue(back, image, nullptr, ScanMode::kTakeAll);
    }
    Scanned s;  // names are copied: the pool goes with `back`
    for (std::size_t i = 0; i < back.catalogue.count; ++i) {
      const CatalogueEntry& e = back.catalogue[i];
      s.entries.push_back(e);
      s.names.push_back(e.name != nullptr ? e.name : "?");
      if (e.kind == static_cast<int32_t>(kTypeNameListHead)) {
        // A head's size spans its entries and their end record.
        std::size_t j = i + 1;
        while (j < back.catalogue.count && back.catalogue[j].kind != e.kind) ++j;
        const int32_t size = static_cast<int32_t>(afdtest::get32(bytes, e.base_offset + 4));
        uint32_t entries = 0;
        for (std::size_t k = i + 1; k < j; ++k) {
          entries += 8 + afdtest::get32(bytes, back.catalogue[k].base_offset + 4);
        }
        EXPECT_EQ(size, static_cast<int32_t>(16 + entries + 8)) << "head at " << e.base_offset;
      }
    }
    return s;
  }

  // Every name entry that links somewhere links to a facility of the same name.
  static void expect_links_to_named_facilities(const Scanned& s) {
    for (std::size_t i = 0; i < s.entries.size(); ++i) {
      const CatalogueEntry& e = s.entries[i];
      if (e.kind != static_cast<int32_t>(kTypeNameEntry) || e.facility_offset == 0) continue;
      bool found = false;
      for (std::size_t j = 0; j < s.entries.size(); ++j) {
        if (is_facility(s.entries[j]) && s.entries[j].base_offset == e.facility_offset) {
          EXPECT_EQ(s.names[j], s.names[i]);
          found = true;
        }
      }
      EXPECT_TRUE(found) << s.names[i] << " links to " << e.facility_offset;
    }
  }
};

TEST_F(RoundTripTest, LinkedFileRelinksEveryNameToItsMovedFacility) {
  AfdBuilder base;
  std::vector<int> ids;
  for (int i = 0; i < 30; ++i) {
    ids.push_back(base.add(
        Facility::airport(afdtest::numbered("A", static_cast<long>(i)), i, i, i % 4 == 0)));
  }
  base.add(Facility::vor("V"));
  for (int l = 0; l < 3; ++l) {
    auto& list = base.add_list();
    list.entries.push_back(NameRef(kCity, afdtest::numbered("CITY", static_cast<long>(l))));
    for (int i = l; i < 30; i += 3) {
      list.entries.push_back(NameRef(kAirport, afdtest::numbered("A", static_cast<long>(i)),
                                     ids[static_cast<std::size_t>(i)]));
    }
  }
  AfdBuilder source;
  for (int i = 0; i < 30; i += 7) {
    Facility f =
        Facility::airport(afdtest::numbered("A", static_cast<long>(i)), 1000 + i, 1000 + i);
    f.extra.push_back({0x10030, Bytes(static_cast<std::size_t>(i * 13), 9)});  // sizes change
    source.add(f);
  }
  put("base.bgl", base.build());
  put("source.bgl", source.build());
  ASSERT_EQ(link("base.bgl", "source.bgl", "out.bgl"), kExitOk);

  const Scanned out = read_back(dir.file("out.bgl"));
  ASSERT_EQ(out.entries.size(), 31u + 3u + 3u + 30u);
  for (int i = 0; i < 30; ++i)
    EXPECT_EQ(out.names[static_cast<std::size_t>(i)], afdtest::numbered("A", static_cast<long>(i)));
  expect_links_to_named_facilities(out);
}

TEST_F(RoundTripTest, LinkOfAFullCatalogueKeepsTheChainWhole) {
  AfdBuilder base = afdtest::numbered_airports(19999);
  base.add_list().entries = {NameRef(kCity, "LOST"), NameRef(kAirport, "A1", 1)};
  AfdBuilder source;
  source.add(Facility::airport("A5", 7, 7));
  put("base.bgl", base.build());
  put("source.bgl", source.build());
  ASSERT_EQ(link("base.bgl", "source.bgl", "out.bgl"), kExitOk);
  // The list's entries did not fit into the catalogue, so its copy holds only
  // the head, and the head's size says so.
  const Scanned out = read_back(dir.file("out.bgl"));
  ASSERT_EQ(out.entries.size(), 20000u);
  EXPECT_EQ(out.entries.back().kind, static_cast<int32_t>(kTypeNameListHead));
}

// A source airport is matched by its name wherever the name sub-record lies:
// among the first bytes of its record, across their end, or far behind a
// large sub-record; and a record with no name sub-record replaces nothing.
TEST_F(RoundTripTest, SourceNamesAreFoundWhereverTheyLie) {
  struct Case {
    std::size_t filler;  // bytes of a sub-record before the name
    bool named;
  };
  for (const Case c : {Case{0, true}, Case{968, true}, Case{972, true}, Case{980, true},
                       Case{30000, true}, Case{30000, false}}) {
    SCOPED_TRACE(::testing::Message() << "filler " << c.filler << ", named " << c.named);
    AfdBuilder base;
    base.add(Facility::airport("FAR", 1, 1));
    base.add(Facility::airport("NEAR", 2, 2));
    AfdBuilder source;
    Facility far = Facility::airport("FAR", 9, 9);
    far.name.reset();
    far.extra.push_back({0x10099, Bytes(c.filler, 0x5A)});
    if (c.named) far.extra.push_back({0x10006, Bytes{'F', 'A', 'R', 0}});
    source.add(far);
    source.add(Facility::airport("NEAR", 8, 8));
    put("base.bgl", base.build());
    put("source.bgl", source.build());
    ASSERT_EQ(link("base.bgl", "source.bgl", "out.bgl"), kExitOk);
    const Bytes out = afdtest::read_file(dir.file("out.bgl"));
    const Scanned back = read_back(dir.file("out.bgl"));
    ASSERT_GE(back.entries.size(), 2u);
    const Bytes far_record = afdtest::facility_record(far);
    const bool replaced =
        std::search(out.begin(), out.end(), far_record.begin(), far_record.end()) != out.end();
    EXPECT_EQ(replaced, c.named);
    EXPECT_EQ(back.names[1], "NEAR");
  }
}

TEST_F(RoundTripTest, ExtractedFileHoldsTheSelectionAndItsAncestry) {
  AfdBuilder in;
  const int a = in.add(Facility::airport("KEEP", 10, 10));
  const int b = in.add(Facility::airport("DROP", 20, 20));
  const int c = in.add(Facility::airport("KEEP", 30, 30, true));
  in.add_list().entries = {NameRef(kRegion, "R"),        NameRef(kCity, "T1"),
                           NameRef(kAirport, "KEEP", a), NameRef(kCity, "T2"),
                           NameRef(kAirport, "DROP", b), NameRef(kCity, "T3"),
                           NameRef(kAirport, "KEEP", c)};
  put("in.bgl", in.build());
  rs.reset();
  NameTable table;
  table.slots[0] = "KEEP";
  table.count = 1;
  rs.output_path = "afdtmp.bgl";
  {
    afdtest::SilencedStdout quiet;
    ASSERT_EQ(run_extract(rs, "in.bgl", table), kExitOk);
  }
  const Scanned out = read_back(dir.file("afdtmp.bgl"));
  const std::vector<std::string> names = {"KEEP", "KEEP", "", "R", "T1", "KEEP", "T3", "KEEP"};
  EXPECT_EQ(out.names, names);
  // Each KEEP entry links to its own airport, not merely to one of that name.
  EXPECT_EQ(out.entries[5].facility_offset, out.entries[0].base_offset);
  EXPECT_EQ(out.entries[7].facility_offset, out.entries[1].base_offset);
  EXPECT_EQ(out.entries[0].flags, 0);
  EXPECT_EQ(out.entries[1].flags, kFlagAiAirport);
}

}  // namespace
}  // namespace quarnel::testing
