// -V's lines, printed from the check's findings.
#include "commands/findings.h"

#include <algorithm>
#include <cstdio>

namespace quarnel {

namespace {

constexpr std::size_t kShownFindings = 20000;

}  // namespace

void PrintedFindings::finding(const Finding& f) {
  (f.problem ? problems : notes)++;
  if (kept_.size() < kShownFindings) kept_.push_back(f);
}

void PrintedFindings::print() {
  std::stable_sort(kept_.begin(), kept_.end(),
                   [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
  for (const Finding& f : kept_) {
    std::printf("0x%06llX: %s%s\n", static_cast<unsigned long long>(f.offset),
                f.problem ? "" : "note: ", f.text.c_str());
  }
  const long unshown = static_cast<long>(problems) + notes - static_cast<long>(kept_.size());
  if (unshown > 0) {
    std::printf("(%ld more %s not shown)\n", unshown, unshown == 1 ? "finding" : "findings");
  }
}

}  // namespace quarnel
