// What the link and extract commands write, read back with -J: the edges of
// a link (a full Catalogue, names wherever they lie in a record) and an
// extract that links each entry to its own airport.
#include <algorithm>

#include "commands/exit_codes.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using namespace afdtest::levels;

class LinkTest : public InScratchFolderTest {
 protected:
  // The -J document of a written file, which ends with the trailer its
  // header points at.
  static nlohmann::json listing(const std::string& path) {
    const Bytes bytes = afdtest::read_file(path);
    EXPECT_EQ(afdtest::get32(bytes, 70), bytes.size() - 20) << "trailer at the end";
    return parsed_listing(path);
  }
};

// The list's entries do not fit into the Catalogue, so its copy holds only
// the head, and the head's size says so.
TEST_F(LinkTest, LinkOfAFullCatalogueKeepsTheChainWhole) {
  AfdBuilder base = afdtest::numbered_airports(19999);
  base.add_list().entries = {NameRef(kCity, "LOST"), NameRef(kAirport, "A1", 1)};
  AfdBuilder source;
  source.add(Facility::airport("A5", 7, 7));
  put("base.bgl", base.build());
  put("source.bgl", source.build());
  ASSERT_EQ(run_command({"-R", "base.bgl", "source.bgl", "out.bgl"}), kExitOk);
  const nlohmann::json doc = listing("out.bgl");
  EXPECT_EQ(doc.at("facilities").size(), 19999u);
  ASSERT_EQ(doc.at("name_lists").size(), 1u);
  EXPECT_TRUE(doc.at("name_lists")[0].at("entries").empty());
  for (const nlohmann::json& p : doc.at("problems")) EXPECT_EQ(p.at("note"), true) << p.at("text");
}

// A source airport is matched by its name wherever the name sub-record lies:
// among the first bytes of its record, across their end, or far behind a
// large sub-record; and a record with no name sub-record replaces nothing.
TEST_F(LinkTest, SourceNamesAreFoundWhereverTheyLie) {
  struct Case {
    std::size_t filler;  // bytes of a sub-record before the name
    bool named;
  };
  AfdBuilder base;
  base.add(Facility::airport("FAR", 1, 1));
  base.add(Facility::airport("NEAR", 2, 2));
  put("base.bgl", base.build());
  for (const Case c : {Case{0, true}, Case{968, true}, Case{972, true}, Case{980, true},
                       Case{30000, true}, Case{30000, false}}) {
    SCOPED_TRACE(::testing::Message() << "filler " << c.filler << ", named " << c.named);
    AfdBuilder source;
    Facility far = Facility::airport("FAR", 9, 9);
    far.name.reset();
    far.extra.push_back({0x10099, Bytes(c.filler, 0x5A)});
    if (c.named) far.extra.push_back({0x10006, Bytes{'F', 'A', 'R', 0}});
    source.add(far);
    source.add(Facility::airport("NEAR", 8, 8));
    put("source.bgl", source.build());
    ASSERT_EQ(run_command({"-R", "base.bgl", "source.bgl", "out.bgl"}), kExitOk);
    const nlohmann::json doc = listing("out.bgl");
    ASSERT_EQ(doc.at("facilities").size(), 2u);
    EXPECT_EQ(doc.at("facilities")[1].at("name"), "NEAR");
    const Bytes out = afdtest::read_file(dir.file("out.bgl"));
    const auto holds = [&](const Facility& f) {
      const Bytes record = afdtest::facility_record(f);
      return std::search(out.begin(), out.end(), record.begin(), record.end()) != out.end();
    };
    EXPECT_EQ(holds(far), c.named);
    EXPECT_TRUE(holds(source.facilities()[1]));
  }
}

// Two airports of the name selected: each entry links to its own airport, not
// merely to one of that name, and the AI mark stays with its airport.
TEST_F(LinkTest, ExtractedFileHoldsTheSelectionAndItsAncestry) {
  AfdBuilder in;
  const int a = in.add(Facility::airport("KEEP", 10, 10));
  const int b = in.add(Facility::airport("DROP", 20, 20));
  const int c = in.add(Facility::airport("KEEP", 30, 30, true));
  in.add_list().entries = {NameRef(kRegion, "R"),        NameRef(kCity, "T1"),
                           NameRef(kAirport, "KEEP", a), NameRef(kCity, "T2"),
                           NameRef(kAirport, "DROP", b), NameRef(kCity, "T3"),
                           NameRef(kAirport, "KEEP", c)};
  put("in.bgl", in.build());
  ASSERT_EQ(run_command({"-C", "in.bgl", "KEEP"}), kExitOk);
  const nlohmann::json doc = listing("afdtmp.bgl");
  const nlohmann::json& facilities = doc.at("facilities");
  ASSERT_EQ(doc.at("name_lists").size(), 1u);
  const nlohmann::json& entries = doc.at("name_lists")[0].at("entries");
  std::vector<std::string> names;
  for (const auto* part : {&facilities, &entries}) {
    for (const nlohmann::json& e : *part) names.push_back(e.at("name"));
  }
  ASSERT_EQ(names, (std::vector<std::string>{"KEEP", "KEEP", "R", "T1", "KEEP", "T3", "KEEP"}));
  EXPECT_EQ(entries[2].at("facility"), facilities[0].at("offset"));
  EXPECT_EQ(entries[4].at("facility"), facilities[1].at("offset"));
  EXPECT_EQ(facilities[0].at("ai"), false);
  EXPECT_EQ(facilities[1].at("ai"), true);
}

}  // namespace
}  // namespace quarnel::testing
