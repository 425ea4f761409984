// What the fuzz targets share: a scratch folder, running a command, checking what it left.
#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "scan/lookup.h"
#include "scan/scan.h"
#include "in_process.h"
#include "scratch_dir.h"

namespace quarnel::fuzz {

namespace {

const afdtest::ScratchDir& folder() {
  // Memory-backed when the machine has it: the runs write a file per input.
  static const afdtest::ScratchDir dir(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : nullptr);
  static const bool quiet = [] {
    const char* show = std::getenv("QUARNEL_FUZZ_STDOUT");
    if (show == nullptr || show[0] != '1') {
      if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    }
    return true;
  }();
  (void)quiet;
  return dir;
}

}  // namespace

const std::string& scratch() { return folder().path(); }

void put_file(const std::string& name, const uint8_t* data, std::size_t n) {
  folder().put(name, Bytes(data, data + n));
}

Bytes get_file(const std::string& name, bool* exists) {
  const bool there = folder().exists(name);
  if (exists != nullptr) *exists = there;
  return there ? folder().get(name) : Bytes{};
}

std::vector<std::string> folder_listing() { return folder().entries(); }

void clear_folder() {
  for (const std::string& name : folder_listing()) unlink(folder().file(name).c_str());
}

// Allocations through operator new that may still succeed; 0: any number.
// The fuzz binaries' allocator (block_cache.cpp) defines it, fails the one
// that finds it at 1, and lets every later one succeed again. The replay
// programs have no such allocator: there it is null, and no allocation fails.
extern long g_allocations_left __attribute__((weak));

namespace {

void fail_allocation(long number) {
  if (&g_allocations_left != nullptr) g_allocations_left = number;
}

// RunLimits in force while it lives; see there.
class Limited {
 public:
  explicit Limited(const RunLimits* limits) {
    static const bool enabled = [] {
      const char* on = std::getenv("QUARNEL_FUZZ_ADDRESS_LIMIT");
      return on != nullptr && on[0] == '1';
    }();
    if (!enabled || limits == nullptr) return;
    unsigned long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    const bool read = statm != nullptr && std::fscanf(statm, "%lu", &pages) == 1;
    if (statm != nullptr) std::fclose(statm);
    struct rlimit limit {};
    if (!read || getrlimit(RLIMIT_AS, &limit) != 0) return;
    before_ = limit.rlim_cur;
    const uint64_t used = uint64_t{pages} * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    limit.rlim_cur = std::min<uint64_t>(used + limits->headroom, limit.rlim_max);
    set_ = setrlimit(RLIMIT_AS, &limit) == 0;
    fail_allocation(limits->failing > 0 ? limits->failing : 0);
  }
  ~Limited() {
    fail_allocation(0);
    if (!set_) return;
    struct rlimit limit {};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = before_;
    setrlimit(RLIMIT_AS, &limit);
  }
  Limited(const Limited&) = delete;
  Limited& operator=(const Limited&) = delete;

 private:
  bool set_ = false;
  uint64_t before_ = 0;
};

}  // namespace

int run_tool(RunState& rs, const std::vector<std::string>& args, const RunLimits* limits) {
  scratch();
  const Limited limited(limits);
  return afdtest::run_in_process(rs, args);
}

int json_listing(RunState& rs, const std::string& name, std::string* json) {
  scratch();
  char* text = nullptr;
  std::size_t len = 0;
  std::FILE* out = open_memstream(&text, &len);
  require(out != nullptr, "cannot open the capture stream");
  // As main and run() end a run that runs out of memory.
  int rc = kExitOutOfMemory;
  try {
    if (rs.allocate()) rc = run_list_json(rs, name, out);
  } catch (const std::bad_alloc&) {
  }
  std::fclose(out);
  json->assign(text, len);
  std::free(text);
  return rc;
}

int scan_file(RunState& rs, const std::string& name) {
  return run_tool(rs, {"-S", name});
}

void require(bool holds, const char* what, const std::string& detail) {
  if (holds) return;
  std::fprintf(stderr, "broken promise: %s%s%s\n", what, detail.empty() ? "" : ": ",
               detail.c_str());
  std::fflush(stderr);
  std::abort();
}

void require_only_input(const std::string& name, const uint8_t* data, std::size_t size) {
  const Bytes after = get_file(name);
  require(after.size() == size && std::equal(after.begin(), after.end(), data),
          "the input changed");
  require(folder_listing() == std::vector<std::string>{name}, "a stray file appeared");
}

CatalogueCounts count_catalogue(const RunState& rs) {
  CatalogueCounts c;
  bool in_lists = false;
  for (std::size_t i = 0; i < rs.catalogue.count; ++i) {
    const CatalogueEntry& e = rs.catalogue[i];
    if (e.kind == static_cast<int32_t>(kTypeNameListHead)) {
      in_lists = true;
      c.heads++;
    } else if (e.kind == static_cast<int32_t>(kTypeNameEntry)) {
      c.name_entries++;
    } else if (is_facility(e) && !in_lists) {
      c.facilities_before_lists++;
    }
  }
  return c;
}

}  // namespace quarnel::fuzz
