// -V's lines, printed from the check's findings.
#include "commands/findings.h"

#include <algorithm>
#include <cstdio>

#include "commands/display_name.h"

namespace quarnel {

namespace {

constexpr std::size_t kShownFindings = 20000;

}  // namespace

std::string finding_line(const Finding& f) {
  char at[24];
  std::snprintf(at, sizeof at, "0x%06llX: ", static_cast<unsigned long long>(f.offset));
  return at + std::string(f.problem ? "" : "note: ") + display_name(f.text);
}

void PrintedFindings::finding(const Finding& f) {
  (f.problem ? problems : notes)++;
  if (kept_.size() < kShownFindings) kept_.push_back(f);
}

void PrintedFindings::print() {
  std::stable_sort(kept_.begin(), kept_.end(),
                   [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
  for (const Finding& f : kept_) std::printf("%s\n", finding_line(f).c_str());
  const long unshown = static_cast<long>(problems) + notes - static_cast<long>(kept_.size());
  if (unshown > 0) {
    std::printf("(%ld more %s not shown)\n", unshown, unshown == 1 ? "finding" : "findings");
  }
}

void FirstProblem::finding(const Finding& f) {
  // At one offset the one found first, as -V's stable order has it.
  if (f.problem && (problems++ == 0 || f.offset < first.offset)) first = f;
}

}  // namespace quarnel
