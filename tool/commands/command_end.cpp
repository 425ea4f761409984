#include "commands/command_end.h"

#include "io/explain.h"

namespace quarnel {

void warn_damaged_input(const std::string& path) {
  const char* p = path.c_str();
  explain("warning: %s has problems that \"quarnel -V %s\" lists; only what could be read is used",
          p, p);
}

}  // namespace quarnel
