// The round-trip property on any file: what -J lists, -B builds, and -J of
// the result is the same document apart from what a build computes anew; a
// file in which the check finds nothing comes back byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>

#include "commands/exit_codes.h"
#include "document_compare.h"
#include "fuzz_support.h"

using namespace quarnel;
using namespace quarnel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  InScratch here;
  put_file("in.bgl", data, size);
  RunState listed;
  std::string doc;
  if (json_listing(listed, "in.bgl", &doc) != kExitOk) {
    clear_folder();
    return 0;
  }
  put_file("doc.json", reinterpret_cast<const uint8_t*>(doc.data()), doc.size());
  RunState built;
  const int rc = run_tool(built, {"-B", "doc.json", "out.bgl"});
  require(rc == kExitOk, "-B refused a document that -J wrote", std::to_string(rc) + "\n" + doc);
  RunState again;
  std::string rebuilt;
  require(json_listing(again, "out.bgl", &rebuilt) == kExitOk, "-J cannot list what -B wrote");
  const std::string difference = afdtest::compare_documents(doc, rebuilt);
  require(difference.empty(), "-J of the rebuilt file is another document", difference);
  if (doc.find("\"problems\": []}") != std::string::npos) {
    const Bytes out = get_file("out.bgl");
    require(out.size() == size && std::equal(out.begin(), out.end(), data),
            "a file without findings did not come back byte for byte");
  }
  clear_folder();
  return 0;
}
