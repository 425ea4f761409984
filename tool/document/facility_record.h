// A facility's Container record made from its description: the raw bytes the
// document carries, brought in line with the name, position and AI mark it
// states, or, for a facility described by those alone, the sub-records that
// the tool reads.
#pragma once

#include <cstdint>

#include "document/described.h"
#include "document/spool.h"

namespace quarnel {

// The record in its parts, in file order: `front` (head, subtype, reserved
// word and the sub-records held in memory, patched), the sub-records still in
// the spool, then the end.
struct AssembledFacility {
  Bytes front;
  uint64_t tail_at = 0;
  uint64_t tail_size = 0;
  Piece end;
  uint64_t size = 0;  // of the whole record, head included
  // The record's first bytes as the scan looks at them: enough for every
  // sub-record the scan can find.
  Bytes seen;
  int32_t subtype = 0;
};

// False, with the fault, when the description cannot be written so that the
// tool reads back what it states. The sub-records in `spool` stay there.
bool assemble_facility(const DescribedFacility& desc, Spool& spool, AssembledFacility* out,
                       Fault* fault);

}  // namespace quarnel
