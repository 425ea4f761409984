// How a command ends: the lines that tell a user what it could not use.
#pragma once

#include <string>

namespace quarnel {

// The warning for an input with structural damage: records cut off, a walk
// over its records that stopped early, or a trailer offset pointing nowhere.
// The command goes on with what it could read and keeps its exit code.
void warn_damaged_input(const std::string& path);

}  // namespace quarnel
