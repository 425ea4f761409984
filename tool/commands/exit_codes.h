// The tool's process exit codes. The front end maps these same values to its
// status messages, so both programs take them from here.
#pragma once

namespace quarnel {

enum ExitCode : int {
  kExitOk = 0,
  kExitOutOfMemory = 1,
  kExitCannotOpen = 2,
  kExitBadHeader = 3,
  kExitNothingFound = 4,
  kExitNoMatch = 5,
  kExitCannotWrite = 6,
  kExitTooManyNames = 7,        // extract: more names than the name table holds
  kExitProblemsFound = 8,       // check: the file has problems
  kExitInvalidDescription = 9,  // build: the JSON is not a valid AFD description
  kExitTooManyRecords = 10,     // merge: the result would not fit the Catalogue
  kExitNestingOverflow = 15,
};

}  // namespace quarnel
