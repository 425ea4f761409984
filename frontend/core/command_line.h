// The command line by which the dialog starts the tool.
#pragma once

#include <cstddef>
#include <string>

namespace quarnel_helper {

// The tool is started with one fixed-size command line; a longer one is
// refused rather than cut (a cut path would name the wrong file).
inline constexpr std::size_t kCommandLineSize = 1024;

struct ToolInvocation {
  std::string tool_dir;
  std::string option;
  std::string base_file;
  std::string source_file;
  std::string output_dir;
  std::string output_name;
};

// Formats the command line into buffer (size bytes including the terminating
// zero). Returns false when it does not fit; buffer then holds a cut text that
// must not be run. Never writes past buffer[size - 1].
bool FormatCommandLine(const ToolInvocation& call, char* buffer, std::size_t size);

}  // namespace quarnel_helper
