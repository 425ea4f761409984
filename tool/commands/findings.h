// What the check finds in a file, told one finding at a time: -V prints each
// as a line, -J carries them all as its `problems`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "commands/listing.h"

namespace quarnel {

struct Finding {
  uint64_t offset = 0;
  bool problem = true;  // false: a note, which harms no command
  std::string text;
};

class FindingSink {
 public:
  virtual ~FindingSink() = default;
  virtual void finding(const Finding&) = 0;
};

// The finding as -V prints it: its offset, then its text, names in the
// terminal's form (display_name.h).
std::string finding_line(const Finding& f);

// -V's lines: each finding at its offset, in offset order once the walk is
// done (those at one offset in the order found). A damaged file can hold
// millions of findings, so only the first 20000 are kept and the rest counted.
class PrintedFindings : public FindingSink {
 public:
  void finding(const Finding& f) override;
  void print();
  int problems = 0;
  int notes = 0;

 private:
  std::vector<Finding> kept_;
};

// What -V would say of a file, in brief: its problems (notes aside) counted,
// and the first of them in -V's order.
class FirstProblem : public FindingSink {
 public:
  void finding(const Finding& f) override;
  int problems = 0;
  Finding first;
};

// Checks the file at `path` as -V does, into `findings`, printing nothing.
// False when it cannot be opened or its headers fail the test.
bool check_quietly(RunState& rs, const std::string& path, FindingSink& findings);

// The check as a listing sink: walked over a file, it tells `findings` each
// thing that makes the tool lose, drop or misplace something.
std::unique_ptr<ListingSink> make_file_check(RunState& rs, FindingSink& findings);

// Notes on a file laid out otherwise than a build lays it out: parts out of
// the writer's order or apart, bytes behind the last part, end records that
// are not all zero, names without their NUL. A file without them and without
// other findings is one that a build gives back byte for byte.
std::unique_ptr<ListingSink> make_layout_check(RunState& rs, FindingSink& findings);

}  // namespace quarnel
