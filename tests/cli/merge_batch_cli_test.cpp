// Golden tests of the merge of several sources and of the index, run as the
// real program: each shape of the -M arguments with its exit code, standard
// output and error, and the files there afterwards; the -I listing of a small
// folder.
#include "cli_run.h"

namespace {

using namespace clitest;

// a.bgl replaces the sample base's HAMBURG and adds KASSEL; b.bgl replaces
// KASSEL again and adds SYLT with a VOR. Both file KASSEL in one place.
const std::vector<NameRef> kKassel = {
    {kRegion, "EUROPE"}, {kCountry, "GERMANY"}, {kState, "HESSEN"}, {kCity, "KASSEL"}};

AfdBuilder addon_a() {
  AfdBuilder a;
  const int kassel = a.add(Facility::airport("KASSEL", 611000000, 104000000));
  const int hamburg = a.add(Facility::airport("HAMBURG", 640000000, 112000000));
  a.add_list().file(kKassel, {kAirport, "KASSEL", kassel});
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
  b.add_list().file(kKassel, {kAirport, "KASSEL", kassel});
  b.list(0).file({{kRegion, "EUROPE"}, {kCountry, "GERMANY"}, {kState, "SCHLESWIG-HOLSTEIN"}},
                 {kAirport, "SYLT", sylt});
  b.list(0).entries.emplace_back(kVor, "SYLT VOR", vor);
  return b;
}

const Bytes kNotes = {'r', 'e', 'a', 'd', ' ', 'm', 'e', '\n'};

// A path the program found in a folder, as it writes it: Windows joins the
// folder and the names with backslashes.
std::string found(std::string path) {
  if (under_runner()) std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

class MergeBatchCliTest : public CliRun {
 protected:
  void SetUp() override {
    put("base.bgl", afdtest::sample_base().build());
    put("a.bgl", addon_a().build());
    put("b.bgl", addon_b().build());
    put("source.bgl", afdtest::sample_source().build());
    put("notes.txt", kNotes);
    std::filesystem::create_directories(dir.file("addons/sub"));
    std::filesystem::create_directories(dir.file("empty"));
    put("addons/a.bgl", addon_a().build());
    put("addons/sub/b.bgl", addon_b().build());
  }
};

constexpr const char* kOneSource =
    "added: KASSEL\nreplaced: HAMBURG\n1 replaced, 1 added, 0 left out\n";

std::string two_sources(const std::string& given_a, const std::string& given_b) {
  const std::string a = found(given_a), b = found(given_b);
  return "from " + a + ":\nadded: KASSEL\nreplaced: HAMBURG\nfrom " + b +
         ":\nreplaced: KASSEL (over " + a + "'s)\nadded: SYLT\nadded: SYLT VOR\n" +
         "2 replaced, 3 added, 0 left out, 1 conflicts\n";
}

const std::string kFromFolder = two_sources("addons/a.bgl", "addons/sub/b.bgl");

std::string skipped() {
  return "quarnel: skipped " + found("addons/notes.txt") +
         ": not an AFD file (it holds 8 bytes, fewer than the 168 of the headers)\n";
}

// A golden row of -M (or -I), which writes `w` when it succeeds.
struct Shape : Case {
  Shape(Args a, std::string o, std::string e, int r, std::string w = "", bool notes = false)
      : Case{std::move(a), std::move(o), std::move(e), r, std::move(w)}, notes_in_folder(notes) {}
  bool notes_in_folder;  // addons/notes.txt, which is no AFD file
};
void PrintTo(const Shape& s, std::ostream* os) { clitest::PrintTo(s, os); }

const std::string kNewFile = "; a merge of several sources writes a new file\n";

const Shape kShapes[] = {
    {"-M base.bgl source.bgl merged.bgl",
     "replaced: HAMBURG\nreplaced: FRANKFURT MAIN\nadded: KASSEL\nreplaced: HAMBURG VOR\n"
     "3 replaced, 1 added, 0 left out\n",
     "", 0, "merged.bgl"},
    {"-M base.bgl a.bgl", kOneSource, "", 0, "afdtmp.bgl"},
    {"-m base.bgl a.bgl out.bgl", kOneSource, "", 0, "out.bgl"},
    {"-Merge base.bgl a.bgl b.bgl out.bgl", two_sources("a.bgl", "b.bgl"), "", 0, "out.bgl"},
    {"-M base.bgl addons out.bgl", kFromFolder, "", 0, "out.bgl"},
    {"-M base.bgl addons", kFromFolder, "", 0, "afdtmp.bgl"},
    {"-M base.bgl addons out.bgl", kFromFolder, skipped(), 0, "out.bgl", true},
    {"-M base.bgl a.bgl notes.txt out.bgl", "",
     "quarnel: notes.txt is not an AFD file: it holds 8 bytes, fewer than the 168 of the headers\n",
     3},
    {"-M base.bgl a.bgl gone.bgl out.bgl", "cannot open:\"gone.bgl\"\n", no_file("gone.bgl"), 2},
    {"-M base.bgl empty out.bgl", "",
     "quarnel: no AFD file among the sources, so there is nothing to merge\n", 5},
    {"-M base.bgl a.bgl b.bgl nofolder/out.bgl", "", kNoFolder, 6},
    {"-M base.bgl a.bgl b.bgl b.bgl", "",
     "quarnel: cannot write b.bgl: it is the source b.bgl" + kNewFile, 6},
    {"-M base.bgl addons base.bgl", "", "quarnel: cannot write base.bgl: it is the base" + kNewFile,
     6},
    {"-M base.bgl addons addons/sub/out.bgl", "",
     "quarnel: cannot write addons/sub/out.bgl: it lies in the source folder addons, where a later "
     "run would take it for an add-on; name a file outside it\n",
     6},
    {"-I nowhere", "cannot open:\"nowhere\"\n", no_file("nowhere"), 2},
};

class MergeShape : public MergeBatchCliTest, public ::testing::WithParamInterface<Shape> {};

// Inputs are never changed, the output refused included; what is written passes the check.
TEST_P(MergeShape, EndsAndWritesAsExpected) {
  const Shape& s = GetParam();
  if (s.notes_in_folder) put("addons/notes.txt", kNotes);
  ASSERT_TRUE(expect_as_printed(s));
  if (s.rc == 0) {
    EXPECT_EQ(run({"-V", s.writes}).out, kBanner + "no problems found\n");
  }
}

INSTANTIATE_TEST_SUITE_P(Table, MergeShape, ::testing::ValuesIn(kShapes), CaseName());

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
  const bool links = !under_runner();
  if (links) std::filesystem::create_directory_symlink("..", dir.file("addons/sub/up"));
  const std::vector<std::string> before = {"a.bgl", "addons",    "b.bgl",     "base.bgl",
                                           "empty", "notes.txt", "source.bgl"};
  const Result r = run({"-i", "addons"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, kBanner +
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
  const Result empty = run({"-I", "addons/sub/c.bgl"});
  EXPECT_EQ(empty.out, kBanner +
                           "addons/sub/c.bgl: 2 airports, 0 VORs, 0 NDBs\n"
                           "1 file, 0 airport names held by more than one\n");
}

}  // namespace
