// Shared set-up for the tool's in-process tests: a fresh RunState per test and
// builder-made files on disk.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "afd_builder.h"
#include "commands/run_state.h"
#include "in_process.h"
#include "scan/lookup.h"
#include "scan/scan.h"
#include "test_support.h"

namespace quarnel::testing {

// The builder's names, which every tool test uses.
using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;
using afdtest::NameRef;

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rs.allocate()); }

  std::string put(const std::string& name, const afdtest::Bytes& bytes) {
    return dir.put(name, bytes);
  }

  // Opens `bytes` as the first input and builds the catalogue as a command
  // would. Returns what the scan printed.
  std::string scan(const afdtest::Bytes& bytes, const NameTable* table = nullptr,
                   ScanMode mode = ScanMode::kSelectByName) {
    const std::string path = put("scan.bgl", bytes);
    EXPECT_TRUE(rs.first_input.open(path));
    uint8_t image[kHeaderImageSize];
    EXPECT_TRUE(read_headers(rs.first_input, image));
    afdtest::CapturedStdout out;
    build_catalogue(rs, image, table, mode);
    return out.text();
  }

  const CatalogueEntry& entry(std::size_t i) const { return rs.catalogue[i]; }

  // Runs the command line `args` in-process on a fresh state; `report`, when
  // given, gets what it printed on standard output after the banner.
  static int run_command(const std::vector<std::string>& args, std::string* report = nullptr) {
    const afdtest::InProcessRun r = afdtest::run_in_process(args);
    const bool banner = r.out.rfind(afdtest::kBanner, 0) == 0;
    if (report != nullptr) *report = r.out.substr(banner ? afdtest::kBanner.size() : 0);
    return r.rc;
  }

  // The -J document of the file at `path`; a listing that fails or is no
  // valid JSON fails the test.
  static nlohmann::json parsed_listing(const std::string& path) {
    std::string text;
    EXPECT_EQ(run_command({"-J", path}, &text), 0) << path;
    return nlohmann::json::parse(text);
  }

  // Runs -M of `sources` into `base`; `report` as for run_command.
  static int merge(const std::string& base, std::vector<std::string> sources,
                   const std::string& out, std::string* report = nullptr) {
    sources.insert(sources.begin(), {"-M", base});
    sources.push_back(out);
    return run_command(sources, report);
  }

  afdtest::ScratchDir dir;
  RunState rs;
};

// For tests that run the extract command, which writes into the current
// folder: the scratch folder is current while the test runs.
class InScratchFolderTest : public ToolTest {
 private:
  afdtest::InFolder in_scratch_{dir.path()};
};

}  // namespace quarnel::testing
