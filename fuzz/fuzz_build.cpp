// The build command on any bytes as its description: it ends with 0, 1, 2, 6
// or 9; when it fails, the file that stood at the output is untouched and no
// other file is left; when it succeeds, the file is whole: -J lists it, and
// its document builds the same file again.
//
// Small inputs may ask for documents of megabytes, so that the fuzzer reaches
// huge strings, hex and counts: a byte 0x01 followed by a byte c and a count
// k stands for c repeated (k + 1) * 4096 times, and 0x02 k n followed by n
// bytes for those bytes repeated (k + 1) * 512 times. Neither byte may stand
// in a JSON text, so no document is lost to them. ExitCode 1 (out of memory)
// is allowed for runs under an address-space limit (RunLimits).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

#include "commands/exit_codes.h"
#include "document_compare.h"
#include "fuzz_support.h"

using namespace quarnel;
using namespace quarnel::fuzz;

namespace {

constexpr std::size_t kLargestDocument = std::size_t{16} << 20;

// Writes the document that `data` stands for to `name`, a piece at a time:
// under an address-space limit the harness must not be what runs out.
void put_expanded(const std::string& name, const uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  require(f != nullptr, "cannot create a scratch file", name);
  std::size_t written = 0;
  auto put = [&](const void* bytes, std::size_t n) {
    require(std::fwrite(bytes, 1, n, f) == n, "cannot write a scratch file", name);
    written += n;
  };
  for (std::size_t i = 0; i < size;) {
    if (data[i] == 0x01 && size - i >= 3) {
      std::string run(4096, static_cast<char>(data[i + 1]));
      for (unsigned k = 0; k <= data[i + 2] && written + run.size() <= kLargestDocument; ++k) {
        put(run.data(), run.size());
      }
      i += 3;
    } else if (data[i] == 0x02 && size - i >= 3 && size - i - 3 >= data[i + 2]) {
      const std::size_t n = data[i + 2];
      for (std::size_t t = (data[i + 1] + 1u) * 512; t > 0 && written + n <= kLargestDocument; --t) {
        put(data + i + 3, n);
      }
      i += 3 + n;
    } else {
      put(data + i++, 1);
    }
  }
  require(std::fclose(f) == 0, "cannot close a scratch file", name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  InScratch here;
  put_expanded("doc.json", data, size);
  static const uint8_t kEarlier[] = {'E', 'A', 'R', 'L', 'I', 'E', 'R'};
  put_file("out.bgl", kEarlier, sizeof kEarlier);
  // Under an address-space limit, each run gets some room above what the
  // process uses, up to 12 MiB, and every other one an allocation that fails,
  // one of its first 256: a run may run out at any point.
  uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  RunLimits limits;
  limits.headroom = hash % (std::size_t{12} << 20);
  limits.failing = (hash >> 24) % 2 == 0 ? static_cast<long>(hash >> 12) % 256 + 1 : 0;
  RunState rs;
  const int rc = run_tool(rs, {"-B", "doc.json", "out.bgl"}, &limits);
  require(rc == kExitOk || rc == kExitOutOfMemory || rc == kExitCannotOpen ||
              rc == kExitCannotWrite || rc == kExitInvalidDescription,
          "-B ended with an unexpected ExitCode", std::to_string(rc));
  const std::vector<std::string> files = folder_listing();
  std::string names;
  for (const std::string& name : files) names += name + " ";
  require(files == std::vector<std::string>{"doc.json", "out.bgl"}, "-B left a file behind",
          names);
  if (rc != kExitOk) {
    require(get_file("out.bgl") == Bytes(std::begin(kEarlier), std::end(kEarlier)),
            "a failed build changed the earlier output");
    clear_folder();
    return 0;
  }
  // The checks of a built file hold whole documents in memory; under an
  // address-space limit it is the harness that may run out here, which says
  // nothing of the tool.
  try {
    RunState listed;
    std::string listed_doc;
    const int listed_rc = json_listing(listed, "out.bgl", &listed_doc);
    require(listed_rc == kExitOk || listed_rc == kExitOutOfMemory, "-J cannot list what -B wrote");
    put_file("again.json", reinterpret_cast<const uint8_t*>(listed_doc.data()), listed_doc.size());
    RunState again;
    const int again_rc =
        listed_rc == kExitOk ? run_tool(again, {"-B", "again.json", "again.bgl"}) : 1;
    require(again_rc == kExitOk || again_rc == kExitOutOfMemory,
            "-B refused the document of a file it wrote");
    RunState relisted;
    std::string redoc;
    const int relisted_rc = again_rc == kExitOk ? json_listing(relisted, "again.bgl", &redoc) : 1;
    require(relisted_rc == kExitOk || relisted_rc == kExitOutOfMemory, "-J cannot list a rebuild");
    if (relisted_rc == kExitOk) {
      const std::string difference = afdtest::compare_documents(listed_doc, redoc);
      require(difference.empty(), "a built file does not build again as itself", difference);
    }
  } catch (const std::bad_alloc&) {
  }
  clear_folder();
  return 0;
}
