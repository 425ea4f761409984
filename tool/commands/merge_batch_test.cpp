// The merge of several sources against its promise over generated sets of 2
// to 8 sound sources: the bytes of the chain of single merges, but for the
// stamp at 128..143, and the chain's report lines, each source's under its
// `from` line, with the conflicts counted. Then the limits a run of several
// keeps.
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/merge_plan.h"
#include "commands/source_list.h"
#include "pair_maker.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using afdtest::PairMaker;

// A base like the pair tests', and sources that meet it and one another:
// base facilities, some moved; new airports and navaids from small pools of
// names, so that a later source replaces what an earlier one added; names
// that differ in case only, and airports a few metres from another.
struct SourceSet {
  AfdBuilder base;
  std::vector<AfdBuilder> sources;
};

Facility near_airport(PairMaker& m, const std::string& name, const Facility& by) {
  return Facility::airport(name, by.position->first + m.below(200),
                           by.position->second + m.below(200), m.below(4) == 0);
}

SourceSet make_set(PairMaker& m) {
  SourceSet set;
  const int airports = 1 + m.below(20), vors = m.below(4), ndbs = m.below(3);
  for (int i = 0; i < airports; ++i) set.base.add(m.airport(afdtest::numbered("A", i)));
  for (int i = 0; i < vors; ++i) set.base.add(Facility::vor(afdtest::numbered("V", i)));
  for (int i = 0; i < ndbs; ++i) set.base.add(Facility::ndb(afdtest::numbered("N", i)));
  m.file(set.base);
  std::vector<Facility> seen = set.base.facilities();
  for (int n = 2 + m.below(7); n > 0; --n) {
    AfdBuilder& source = set.sources.emplace_back();
    for (int i = m.below(4); i > 0; --i) {
      Facility f = seen[static_cast<std::size_t>(m.below(static_cast<int>(seen.size())))];
      if (f.subtype == 1 && m.below(3) == 0) f = m.airport(*f.name);
      source.add(f);
    }
    for (int i = m.below(5); i > 0; --i) {
      const std::string name = afdtest::numbered(m.below(6) == 0 ? "x" : "X", m.below(8));
      const Facility& by = seen[static_cast<std::size_t>(m.below(static_cast<int>(seen.size())))];
      source.add(m.below(4) == 0 && by.position ? near_airport(m, name, by) : m.airport(name));
    }
    for (int i = m.below(3); i > 0; --i)
      source.add(Facility::vor(afdtest::numbered("W", m.below(4))));
    for (int i = m.below(3); i > 0; --i)
      source.add(Facility::ndb(afdtest::numbered("M", m.below(4))));
    m.file(source);
    seen.insert(seen.end(), source.facilities().begin(), source.facilities().end());
  }
  return set;
}

class MergeBatchTest : public ToolTest {
 protected:
  static int merge_one(const std::string& base, const std::string& source, const std::string& out,
                       std::string* report) {
    return run_command({"-M", base, source, out}, report);
  }

  static int merge_all(const std::string& base, std::vector<std::string> sources,
                       const std::string& out, std::string* report) {
    sources.insert(sources.begin(), {"-M", base});
    sources.push_back(out);
    return run_command(sources, report);
  }
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

Bytes unstamped(const std::string& path) {
  Bytes b = afdtest::read_file(path);
  if (b.size() >= 144) std::fill_n(b.begin() + 128, 16, 0);
  return b;
}

constexpr int kSets = 150;

TEST_F(MergeBatchTest, MergesAsTheChainOfSingleMergesDoes) {
  int merged = 0, sources_total = 0, conflicts = 0, replaced = 0, added = 0, left_out = 0;
  int alike = 0, near = 0, empty = 0;
  for (int seed = 1; seed <= kSets; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    PairMaker m(static_cast<uint64_t>(seed) + 7000);
    const SourceSet set = make_set(m);
    const std::string base = put("base.bgl", set.base.build());
    std::vector<std::string> paths;
    for (std::size_t k = 0; k < set.sources.size(); ++k) {
      paths.push_back(
          put(afdtest::numbered("s", static_cast<long>(k)) + ".bgl", set.sources[k].build()));
    }
    // The chain: each run's output is the next one's base; a source without
    // facilities ends its run with 5, and the chain goes on without it.
    std::string chain = base;
    std::vector<std::string> chain_lines;
    int chain_replaced = 0, chain_added = 0, chain_left_out = 0;
    for (std::size_t k = 0; k < paths.size(); ++k) {
      const std::string next = dir.file(afdtest::numbered("c", static_cast<long>(k)) + ".bgl");
      std::string report;
      const int rc = merge_one(chain, paths[k], next, &report);
      if (rc == kExitNoMatch) {
        ++empty;
        continue;
      }
      ASSERT_EQ(rc, kExitOk) << report;
      chain = next;
      std::vector<std::string> lines = lines_of(report);
      int r = 0, a = 0, l = 0;
      ASSERT_EQ(std::sscanf(lines.back().c_str(), "%d replaced, %d added, %d left out", &r, &a, &l),
                3);
      chain_replaced += r, chain_added += a, chain_left_out += l;
      chain_lines.insert(chain_lines.end(), lines.begin(), lines.end() - 1);
    }
    std::string report;
    const int rc = merge_all(base, paths, dir.file("batch.bgl"), &report);
    if (chain == base) {
      EXPECT_EQ(rc, kExitNoMatch);
      continue;
    }
    ASSERT_EQ(rc, kExitOk) << report;
    ++merged;
    sources_total += static_cast<int>(paths.size());
    EXPECT_EQ(unstamped(dir.file("batch.bgl")), unstamped(chain));

    // The same lines, less the from lines and the notes of conflicts.
    std::vector<std::string> lines = lines_of(report);
    std::vector<std::string> batch_lines;
    std::size_t from = 0;
    int over = 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      std::string line = lines[i];
      if (line.starts_with("from ")) {
        EXPECT_EQ(line, "from " + paths[from++] + ":");
        continue;
      }
      const std::size_t note = line.find(" (over ");
      if (line.starts_with("replaced: ") && note != std::string::npos) {
        ++over;
        line.erase(note);
      }
      batch_lines.push_back(line);
      alike += line.find("; names are compared exactly") != std::string::npos;
      near += line.starts_with("added: ") && line.find(" from ") != std::string::npos;
    }
    EXPECT_EQ(from, paths.size());
    EXPECT_EQ(batch_lines, chain_lines);
    char totals[96];
    std::snprintf(totals, sizeof totals, "%d replaced, %d added, %d left out, %d conflicts",
                  chain_replaced, chain_added, chain_left_out, over);
    EXPECT_EQ(lines.back(), totals);
    conflicts += over, replaced += chain_replaced, added += chain_added;
    left_out += chain_left_out;
  }
  std::printf(
      "[ figures  ] %d sets of 2 to 8 sources, %d merged (%d sources, %d without facilities): "
      "the chain's bytes and lines in all; %d replaced (%d over an earlier source's), %d added, "
      "%d left out; %d added with a name alike noted, %d with an airport near\n",
      kSets, merged, sources_total, empty, replaced, conflicts, added, left_out, alike, near);
  EXPECT_GT(merged, kSets * 3 / 4);
  EXPECT_GT(conflicts, kSets);
}

// Sources a run cannot take end it before the base is read: more than a run
// takes (10), and a file named among them that is not an AFD file (3); in a
// folder, such a file is skipped.
TEST_F(MergeBatchTest, GatheringSourcesKeepsItsLimitsAndSkipsWhatIsNoAfdFile) {
  const std::string a = put("a.bgl", afdtest::numbered_airports(1).build());
  std::filesystem::create_directory(dir.file("folder"));
  put("folder/b.bgl", afdtest::numbered_airports(2).build());
  put("folder/c.bgl", afdtest::numbered_airports(3).build());
  put("folder/notes.txt", Bytes{'h', 'i'});
  SourceList list;
  afdtest::CapturedStdout out;
  EXPECT_EQ(gather_sources(rs, {a, dir.file("folder")}, 3, &list), kExitOk);
  EXPECT_EQ(list.files,
            (std::vector<std::string>{a, dir.file("folder/b.bgl"), dir.file("folder/c.bgl")}));
  EXPECT_EQ(list.folders, std::vector<std::string>{dir.file("folder")});
  SourceList over;
  EXPECT_EQ(gather_sources(rs, {a, dir.file("folder")}, 2, &over), kExitTooManyRecords);
  EXPECT_EQ(end_gathering(rs, Command::kMerge, kExitTooManyRecords, over), kExitTooManyRecords);
  SourceList named;
  EXPECT_EQ(gather_sources(rs, {a, dir.file("folder/notes.txt")}, 3, &named), kExitBadHeader);
  EXPECT_EQ(out.text(), "too many sources: more than 2 in one run\n");
}

// The Catalogue's limit counts what every source adds: two sources that each
// fit alone end the run with 10, and nothing is written.
TEST_F(MergeBatchTest, EndsWithTenWhenTheSourcesTogetherOutgrowTheCatalogue) {
  const std::string full =
      put("full.bgl", afdtest::numbered_airports(static_cast<int>(kCatalogueCapacity) - 1).build());
  AfdBuilder one, two;
  one.add(Facility::airport("NEW1", 8, 8));
  two.add(Facility::airport("NEW2", 9, 9));
  const std::string first = put("one.bgl", one.build());
  const std::string second = put("two.bgl", two.build());
  std::string report;
  EXPECT_EQ(merge_all(full, {first, first}, dir.file("fits.bgl"), &report), kExitOk) << report;
  EXPECT_EQ(merge_all(full, {first, second}, dir.file("out.bgl"), &report), kExitTooManyRecords);
  EXPECT_TRUE(report.ends_with(
      "from " + second +
      ":\ntoo many records: the merged file would hold more than the tool can catalogue "
      "(20000 records)\n"))
      << report;
  EXPECT_FALSE(dir.exists("out.bgl"));
}

}  // namespace
}  // namespace quarnel::testing
