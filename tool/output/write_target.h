// What the writers of a new file work on, apart from the run that owns it:
// the output and its header image, the boxes its facilities grow, and, for
// copies, the two inputs, their Catalogue and the buffer records pass through.
#pragma once

#include <cstdint>

#include "format/afd_format.h"
#include "format/coverage.h"
#include "io/files.h"
#include "scan/catalogue.h"

namespace quarnel {

struct WriteTarget {
  OutputFile& output;
  HeaderImage& header_image;
  CoverageBox& airport_box;
  CoverageBox& ai_airport_box;
  Catalogue& catalogue;
  InputFile& first_input;
  InputFile& second_input;
  // ObjectBuffer: kObjectBufferSize bytes.
  uint8_t* object_buffer;
};

}  // namespace quarnel
