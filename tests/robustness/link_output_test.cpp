// Outputs reached through links, with the real binary: a symbolic link stays a
// link and its target gets the result (through chains, and created when the
// link dangles), a link that leads nowhere writable ends with 6 before
// anything is written, and a hard-linked output becomes a new file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "afd_builder.h"
#include "scratch_dir.h"
#include "test_support.h"
#include "tool_process.h"

namespace robustness {
namespace {

using namespace afdtest::levels;

using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;

using afdtest::kBanner;
const Bytes kEarlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};

Bytes base_file() {
  AfdBuilder b;
  auto& list = b.add_list();
  list.entries.push_back({kRegion, "REGION"});
  for (int i = 0; i < 4; ++i) {
    const int index = b.add(Facility::airport("AP" + std::to_string(i), 100 * i, 100 * i));
    list.entries.push_back({kAirport, "AP" + std::to_string(i), index});
  }
  return b.build();
}

Bytes source_file() {
  AfdBuilder s;
  s.add(Facility::airport("AP1", 5, 5, true));
  return s.build();
}

Bytes without_run_stamp(Bytes b) {
  if (b.size() >= 144) std::fill(b.begin() + 128, b.begin() + 144, 0);
  return b;
}

std::string link_text(const std::string& path) {
  char buf[4096];
  const ssize_t n = readlink(path.c_str(), buf, sizeof buf);
  return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n));
}

// Every name in the scratch folder and in its folder "far", where the links
// lead.
std::vector<std::string> both_listings(const afdtest::ScratchDir& dir) {
  std::vector<std::string> names = dir.entries();
  for (const auto& entry : std::filesystem::directory_iterator(dir.file("far"))) {
    names.push_back("far/" + entry.path().filename().string());
  }
  return names;
}

std::vector<std::string> cli_args(bool extract) {
  return extract ? std::vector<std::string>{"-C", "base.bgl", "AP1", "AP2"}
                 : std::vector<std::string>{"-R", "base.bgl", "source.bgl", "out.bgl"};
}

// A scratch folder with the inputs, the folder "far", and the result the
// command writes to a plain path (without its run stamp).
struct Setting {
  afdtest::ScratchDir dir;
  Bytes result;
  std::string out;

  explicit Setting(bool extract) {
    dir.put("base.bgl", base_file());
    dir.put("source.bgl", source_file());
    EXPECT_EQ(mkdir(dir.file("far").c_str(), 0755), 0);
    const Outcome o = run(extract);
    EXPECT_EQ(o.exit_code, 0);
    const std::string output = extract ? "afdtmp.bgl" : "out.bgl";
    result = without_run_stamp(dir.get(output));
    out = o.out;
    unlink(dir.file(output).c_str());
  }
  Outcome run(bool extract) const {
    Launch l;
    l.dir = dir.path();
    l.args = cli_args(extract);
    return run_quarnel(l);
  }
};

struct LinkCase {
  const char* name;
  // Symbolic links to make, name and text; "@" in a text stands for the
  // scratch folder's absolute path.
  std::vector<std::pair<std::string, std::string>> links;
  bool extract;         // false: link
  const char* target;   // the file that gets the result; null: the run fails
  bool earlier_target;  // the target holds an earlier file before the run
};
void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

class SymlinkedOutput : public ::testing::TestWithParam<LinkCase> {};

TEST_P(SymlinkedOutput, TargetGetsTheResultAndTheLinkStays) {
  const LinkCase& c = GetParam();
  const Setting s(c.extract);
  const afdtest::ScratchDir& dir = s.dir;
  std::vector<std::pair<std::string, std::string>> links;
  for (auto [name, text] : c.links) {
    if (text[0] == '@') text = dir.path() + text.substr(1);
    ASSERT_EQ(symlink(text.c_str(), dir.file(name).c_str()), 0) << name;
    links.emplace_back(name, text);
  }
  struct stat target_before {};
  if (c.earlier_target) {
    dir.put(c.target, kEarlier);
    chmod(dir.file(c.target).c_str(), 0640);
    ASSERT_EQ(stat(dir.file(c.target).c_str(), &target_before), 0);
  }
  const std::vector<std::string> before = both_listings(dir);

  const Outcome o = s.run(c.extract);
  ASSERT_TRUE(o.exited);
  for (const auto& [name, text] : links) EXPECT_EQ(link_text(dir.file(name)), text) << name;
  std::vector<std::string> after = both_listings(dir);
  if (c.target == nullptr) {
    EXPECT_EQ(o.exit_code, 6);
    EXPECT_EQ(o.out, kBanner);
    EXPECT_EQ(after, before);
    return;
  }
  EXPECT_EQ(o.exit_code, 0) << o.out;
  EXPECT_EQ(o.out, s.out);
  if (!c.earlier_target) after.erase(std::find(after.begin(), after.end(), c.target));
  EXPECT_EQ(after, before) << "no temporary file left, no other file made";
  EXPECT_EQ(without_run_stamp(dir.get(c.target)), s.result);
  struct stat target_after {};
  ASSERT_EQ(lstat(dir.file(c.target).c_str(), &target_after), 0);
  EXPECT_TRUE(S_ISREG(target_after.st_mode));
  if (c.earlier_target) {
    EXPECT_EQ(target_after.st_mode, target_before.st_mode) << "the replaced file's permissions";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Links, SymlinkedOutput,
    ::testing::Values(
        LinkCase{"RelativeLink", {{"out.bgl", "far/target.bgl"}}, false, "far/target.bgl", true},
        LinkCase{"AbsoluteLink", {{"out.bgl", "@/far/target.bgl"}}, false, "far/target.bgl", true},
        LinkCase{"ChainOfLinks",
                 {{"out.bgl", "far/hop1"}, {"far/hop1", "hop2"}, {"far/hop2", "../far/final.bgl"}},
                 false,
                 "far/final.bgl",
                 true},
        LinkCase{
            "DanglingLinkGetsItsTarget", {{"out.bgl", "far/new.bgl"}}, false, "far/new.bgl", false},
        LinkCase{"ExtractThroughALink", {{"afdtmp.bgl", "far/x.bgl"}}, true, "far/x.bgl", true},
        LinkCase{
            "DanglingIntoAMissingFolder", {{"out.bgl", "far/none/new.bgl"}}, false, nullptr, false},
        LinkCase{
            "Loop", {{"out.bgl", "far/a"}, {"far/a", "b"}, {"far/b", "a"}}, false, nullptr, false},
        LinkCase{"LinkToAFolder", {{"out.bgl", "far"}}, false, nullptr, false}),
    [](const ::testing::TestParamInfo<LinkCase>& row) { return std::string(row.param.name); });

// The rename gives the output path a new file; the output's other names keep
// the earlier contents.
TEST(HardLinkedOutput, BecomesANewFileAndTheOtherNameKeepsTheEarlierOne) {
  const Setting s(false);
  const afdtest::ScratchDir& dir = s.dir;
  dir.put("far/other.bgl", kEarlier);
  ASSERT_EQ(link(dir.file("far/other.bgl").c_str(), dir.file("out.bgl").c_str()), 0);
  struct stat before {};
  ASSERT_EQ(stat(dir.file("out.bgl").c_str(), &before), 0);
  ASSERT_EQ(before.st_nlink, 2u);

  const Outcome o = s.run(false);
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(without_run_stamp(dir.get("out.bgl")), s.result);
  EXPECT_EQ(dir.get("far/other.bgl"), kEarlier);
  struct stat out {
  }, other{};
  ASSERT_EQ(stat(dir.file("out.bgl").c_str(), &out), 0);
  ASSERT_EQ(stat(dir.file("far/other.bgl").c_str(), &other), 0);
  EXPECT_NE(out.st_ino, before.st_ino);
  EXPECT_EQ(out.st_nlink, 1u);
  EXPECT_EQ(other.st_ino, before.st_ino);
  EXPECT_EQ(other.st_nlink, 1u);
  EXPECT_EQ(out.st_mode, before.st_mode) << "the replaced file's permissions";
}

}  // namespace
}  // namespace robustness
