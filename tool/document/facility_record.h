// A facility's Container record made from its description: the raw bytes the
// document carries, brought in line with the name, position and AI mark it
// states, or, for a facility described by those alone, the sub-records that
// the tool reads.
#pragma once

#include <cstdint>

#include "document/description.h"

namespace quarnel {

struct AssembledFacility {
  Bytes record;  // head included
  int32_t subtype = 0;
};

// False, with the fault, when the description cannot be written so that the
// tool reads back what it states.
bool assemble_facility(const DescribedFacility& desc, AssembledFacility* out, Fault* fault);

}  // namespace quarnel
