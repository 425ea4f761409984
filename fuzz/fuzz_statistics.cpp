// The statistics command on any bytes: the header test, the scan of the object
// list and of the name-list chain, and the report.
#include <cstddef>
#include <cstdint>

#include "commands/exit_codes.h"
#include "fuzz_support.h"

using namespace quarnel;
using namespace quarnel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  InScratch here;
  put_file("in.bgl", data, size);
  RunState rs;
  const int rc = scan_file(rs, "in.bgl");
  require(rc == kExitOk || rc == kExitBadHeader, "statistics ended with an unexpected ExitCode",
          std::to_string(rc));
  require(rs.catalogue.count <= kCatalogueCapacity, "the Catalogue overran its capacity");
  require(rs.catalogue.name_pool_fill < rs.catalogue.name_pool_size, "NamePool overran its size");
  require_only_input("in.bgl", data, size);
  clear_folder();
  return 0;
}
