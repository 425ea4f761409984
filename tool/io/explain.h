// Lines for people on standard error, each beginning "quarnel: ". Standard
// output and the exit code are what scripts and the dialog read; these lines
// only say why a run failed or what it could not use, so that a user need not
// guess. Nothing may depend on their wording.
#pragma once

#include <string>

#include "io/files.h"

namespace quarnel {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void explain(const char* format, ...);

// Why `path` could not be opened as an input, from open_error().
void explain_open_failure(const std::string& path, int error);

// Why `output` refused its path before anything was written, from refusal()
// and create_error().
void explain_output_refused(const std::string& path, const OutputFile& output);

}  // namespace quarnel
