// Golden tests of the merge of several sources and of the index, run as the
// real program: each shape of the -M arguments with its exit code, standard
// output and error, and the files there afterwards; the -I listing of a small
// folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "afd_builder.h"
#include "cli_run.h"

namespace {

using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;
using clitest::kBanner;
using clitest::Result;
using namespace afdtest::levels;

// a.bgl replaces the sample base's HAMBURG and adds KASSEL; b.bgl replaces
// KASSEL again and adds SYLT with a VOR.
AfdBuilder addon_a() {
  AfdBuilder a;
  const int kassel = a.add(Facility::airport("KASSEL", 611000000, 104000000));
  const int hamburg = a.add(Facility::airport("HAMBURG", 640000000, 112000000));
  a.add_list().file(
      {{kRegion, "EUROPE"}, {kCountry, "GERMANY"}, {kState, "HESSEN"}, {kCity, "KASSEL"}},
      {kAirport, "KASSEL", kassel});
  a.list(0).file(
      {{kRegion, "EUROPE"}, {kCountry, "GERMANY"}, {kState, "HAMBURG"}, {kCity, "HAMBURG"}},
      {kAirport, "HAMBURG", hamburg});
  return a;
}

AfdBuilder addon_b() {
  AfdBuilder b;
  const int kassel = b.add(Facility::airport("KASSEL", 611100000, 104100000));
  const int sylt = b.add(Facility::airport("SYLT", 655000000, 93000000));
  const int vor = b.add(Facility::vor("SYLT VOR"));
  b.add_list().file(
      {{kRegion, "EUROPE"}, {kCountry, "GERMANY"}, {kState, "HESSEN"}, {kCity, "KASSEL"}},
      {kAirport, "KASSEL", kassel});
  b.list(0).file({{kRegion, "EUROPE"}, {kCountry, "GERMANY"}, {kState, "SCHLESWIG-HOLSTEIN"}},
                 {kAirport, "SYLT", sylt});
  b.list(0).entries.emplace_back(kVor, "SYLT VOR", vor);
  return b;
}

const Bytes kNotes = {'r', 'e', 'a', 'd', ' ', 'm', 'e', '\n'};

// A path the program found in a folder, as it writes it: Windows joins the
// folder and the names with backslashes.
std::string found(std::string path) {
  if (clitest::under_runner()) std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

class MergeBatchCliTest : public clitest::CliRun {
 protected:
  void SetUp() override {
    put("base.bgl", afdtest::sample_base().build());
    put("a.bgl", addon_a().build());
    put("b.bgl", addon_b().build());
    put("notes.txt", kNotes);
    std::filesystem::create_directories(dir.file("addons/sub"));
    put("addons/a.bgl", addon_a().build());
    put("addons/sub/b.bgl", addon_b().build());
  }
  bool exists(const std::string& name) { return std::filesystem::exists(dir.file(name)); }
};

constexpr const char* kOneSource =
    "added: KASSEL\nreplaced: HAMBURG\n1 replaced, 1 added, 0 left out\n";

std::string two_sources(const std::string& given_a, const std::string& given_b) {
  const std::string a = found(given_a), b = found(given_b);
  return "from " + a + ":\nadded: KASSEL\nreplaced: HAMBURG\nfrom " + b +
         ":\nreplaced: KASSEL (over " + a + "'s)\nadded: SYLT\nadded: SYLT VOR\n" +
         "2 replaced, 3 added, 0 left out, 1 conflicts\n";
}

struct Shape {
  const char* name;
  std::vector<std::string> args;
  bool notes_in_folder;  // addons/notes.txt, which is no AFD file
  int rc;
  std::string out;  // after the banner
  std::string err;
  std::vector<std::string> written;      // files there afterwards
  std::vector<std::string> not_written;  // files not there afterwards
};

std::string skipped() {
  return "quarnel: skipped " + found("addons/notes.txt") +
         ": not an AFD file (it holds 8 bytes, fewer than the 168 of the headers)\n";
}

std::vector<Shape> shapes() {
  return {
      {"TwoPaths", {"-M", "base.bgl", "a.bgl"}, false, 0, kOneSource, "", {"afdtmp.bgl"}, {}},
      {"ThreePaths",
       {"-m", "base.bgl", "a.bgl", "out.bgl"},
       false,
       0,
       kOneSource,
       "",
       {"out.bgl"},
       {"afdtmp.bgl"}},
      {"FourPaths",
       {"-Merge", "base.bgl", "a.bgl", "b.bgl", "out.bgl"},
       false,
       0,
       two_sources("a.bgl", "b.bgl"),
       "",
       {"out.bgl"},
       {"afdtmp.bgl"}},
      {"AFolder",
       {"-M", "base.bgl", "addons", "out.bgl"},
       false,
       0,
       two_sources("addons/a.bgl", "addons/sub/b.bgl"),
       "",
       {"out.bgl"},
       {}},
      {"AFolderAsTheOnlySource",
       {"-M", "base.bgl", "addons"},
       false,
       0,
       two_sources("addons/a.bgl", "addons/sub/b.bgl"),
       "",
       {"afdtmp.bgl"},
       {}},
      {"AFolderHoldingANonAfdFile",
       {"-M", "base.bgl", "addons", "out.bgl"},
       true,
       0,
       two_sources("addons/a.bgl", "addons/sub/b.bgl"),
       skipped(),
       {"out.bgl"},
       {}},
      {"ANamedNonAfdFile",
       {"-M", "base.bgl", "a.bgl", "notes.txt", "out.bgl"},
       false,
       3,
       "",
       "quarnel: notes.txt is not an AFD file: it holds 8 bytes, fewer than the 168 of the "
       "headers\n",
       {},
       {"out.bgl"}},
      {"AnUnreadableSource",
       {"-M", "base.bgl", "a.bgl", "gone.bgl", "out.bgl"},
       false,
       2,
       "cannot open:\"gone.bgl\"\n",
       "quarnel: cannot open gone.bgl: no such file; check its name and folder\n",
       {},
       {"out.bgl"}},
      {"OutputEqualToAnInput",
       {"-M", "base.bgl", "a.bgl", "b.bgl", "b.bgl"},
       false,
       6,
       "",
       "quarnel: cannot write b.bgl: it is the source b.bgl; a merge of several sources writes a "
       "new file\n",
       {},
       {"afdtmp.bgl"}},
      {"OutputEqualToTheBase",
       {"-M", "base.bgl", "addons", "base.bgl"},
       false,
       6,
       "",
       "quarnel: cannot write base.bgl: it is the base; a merge of several sources writes a new "
       "file\n",
       {},
       {}},
      {"OutputInTheSourceFolder",
       {"-M", "base.bgl", "addons", "addons/sub/out.bgl"},
       false,
       6,
       "",
       "quarnel: cannot write addons/sub/out.bgl: it lies in the source folder addons, where a "
       "later run would take it for an add-on; name a file outside it\n",
       {},
       {"addons/sub/out.bgl"}},
  };
}

class MergeShape : public MergeBatchCliTest, public ::testing::WithParamInterface<Shape> {};

TEST_P(MergeShape, EndsAndWritesAsExpected) {
  const Shape& s = GetParam();
  if (s.notes_in_folder) put("addons/notes.txt", kNotes);
  const Bytes a = afdtest::read_file(dir.file("a.bgl"));
  const Bytes b = afdtest::read_file(dir.file("b.bgl"));
  const Result r = run(s.args);
  EXPECT_EQ(r.rc, s.rc);
  EXPECT_EQ(r.out, kBanner + s.out);
  EXPECT_EQ(r.err, s.err);
  for (const std::string& f : s.written) EXPECT_TRUE(exists(f)) << f;
  for (const std::string& f : s.not_written) EXPECT_FALSE(exists(f)) << f;
  // Inputs are never changed, the output refused included.
  EXPECT_EQ(afdtest::read_file(dir.file("a.bgl")), a);
  EXPECT_EQ(afdtest::read_file(dir.file("b.bgl")), b);
  if (s.rc != 0) return;
  const std::string out = s.written.front();
  EXPECT_EQ(run({"-V", out}).out, std::string(kBanner) + "no problems found\n");
}

INSTANTIATE_TEST_SUITE_P(Table, MergeShape, ::testing::ValuesIn(shapes()),
                         [](const auto& row) { return std::string(row.param.name); });

// The folder's files in the order a merge takes them, with their counts; the
// names more than one holds, with the one a merge keeps. Nothing is written.
TEST_F(MergeBatchCliTest, IndexListsAFolder) {
  put("addons/notes.txt", kNotes);
  put("addons/sub/c.bgl", afdtest::numbered_airports(2).build());
  AfdBuilder d = afdtest::numbered_airports(1);
  d.add(Facility::ndb("SYLT NDB"));
  d.add(Facility::airport("KASSEL"));
  put("addons/d.bgl", d.build());
  // A link to a folder is not followed, so no walk runs in a circle.
  const bool links = !clitest::under_runner();
  if (links) std::filesystem::create_directory_symlink("..", dir.file("addons/sub/up"));
  const std::vector<std::string> before = {"a.bgl", "addons", "b.bgl", "base.bgl", "notes.txt"};
  const Result r = run({"-i", "addons"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, std::string(kBanner) +
                       found("addons/a.bgl: 2 airports, 0 VORs, 0 NDBs\n"
                             "addons/d.bgl: 2 airports, 0 VORs, 1 NDB\n"
                             "addons/sub/b.bgl: 2 airports, 1 VOR, 0 NDBs\n"
                             "addons/sub/c.bgl: 2 airports, 0 VORs, 0 NDBs\n"
                             "A0: addons/d.bgl, addons/sub/c.bgl; addons/sub/c.bgl wins\n"
                             "KASSEL: addons/a.bgl, addons/d.bgl, addons/sub/b.bgl; "
                             "addons/sub/b.bgl wins\n") +
                       "4 files, 2 airport names held by more than one\n");
  EXPECT_EQ(r.err, skipped() + (links ? "quarnel: skipped addons/sub/up: a link to a folder, "
                                        "which is not followed\n"
                                      : ""));
  EXPECT_EQ(dir.entries(), before);
  const Result missing = run({"-I", "nowhere"});
  EXPECT_EQ(missing.rc, 2);
  EXPECT_EQ(missing.out, std::string(kBanner) + "cannot open:\"nowhere\"\n");
  const Result empty = run({"-I", "addons/sub/c.bgl"});
  EXPECT_EQ(empty.out, std::string(kBanner) +
                           "addons/sub/c.bgl: 2 airports, 0 VORs, 0 NDBs\n"
                           "1 file, 0 airport names held by more than one\n");
}

}  // namespace
