// The command line the dialog hands to the tool, within the tool's length limit.
#include "command_line.h"

#include <cstdio>

namespace quarnel_helper {

namespace {

bool HasBlank(const std::string& text) { return text.find_first_of(" \t") != std::string::npos; }

}  // namespace

bool FormatCommandLine(const ToolInvocation& call, char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return false;
  const char* dir = call.tool_dir.c_str();
  const char* option = call.option.c_str();
  const char* base = call.base_file.c_str();
  const char* source = call.source_file.c_str();
  const char* out_dir = call.output_dir.c_str();
  const char* out_name = call.output_name.c_str();
  // The program token is unquoted, as the tool's users have always seen it,
  // unless the tool folder holds a blank: the runtime would split the tool's
  // own argv[0] there and hand it a shifted, meaningless command.
  const int written =
      HasBlank(call.tool_dir)
          ? std::snprintf(buffer, size, "\"%s\\Quarnel\" %s \"%s\" \"%s\" \"%s\\%s\"", dir, option,
                          base, source, out_dir, out_name)
          : std::snprintf(buffer, size, "%s\\Quarnel %s \"%s\" \"%s\" \"%s\\%s\"", dir, option,
                          base, source, out_dir, out_name);
  return written >= 0 && static_cast<std::size_t>(written) < size;
}

}  // namespace quarnel_helper
