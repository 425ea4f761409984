// The build command on any bytes as its description: it ends with 0, 2, 6 or
// 9; when it fails, the file that stood at the output is untouched and no
// other file is left; when it succeeds, the file is whole: -J lists it, and
// its document builds the same file again.
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
  put_file("doc.json", data, size);
  static const uint8_t kEarlier[] = {'E', 'A', 'R', 'L', 'I', 'E', 'R'};
  put_file("out.bgl", kEarlier, sizeof kEarlier);
  RunState rs;
  const int rc = run_tool(rs, {"quarnel", "-B", "doc.json", "out.bgl"});
  require(rc == kExitOk || rc == kExitCannotOpen || rc == kExitCannotWrite ||
              rc == kExitInvalidDescription,
          "-B ended with an unexpected ExitCode", std::to_string(rc));
  require(folder_listing() == std::vector<std::string>{"doc.json", "out.bgl"},
          "-B left a file behind");
  const Bytes out = get_file("out.bgl");
  if (rc != kExitOk) {
    require(out == Bytes(std::begin(kEarlier), std::end(kEarlier)),
            "a failed build changed the earlier output");
  } else {
    RunState listed;
    std::string doc;
    require(json_listing(listed, "out.bgl", &doc) == kExitOk, "-J cannot list what -B wrote");
    put_file("again.json", reinterpret_cast<const uint8_t*>(doc.data()), doc.size());
    RunState again;
    require(run_tool(again, {"quarnel", "-B", "again.json", "again.bgl"}) == kExitOk,
            "-B refused the document of a file it wrote");
    RunState relisted;
    std::string redoc;
    require(json_listing(relisted, "again.bgl", &redoc) == kExitOk, "-J cannot list a rebuild");
    const std::string difference = afdtest::compare_documents(doc, redoc);
    require(difference.empty(), "a built file does not build again as itself", difference);
  }
  clear_folder();
  return 0;
}
