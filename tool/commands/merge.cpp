// The merge command (-M) of one source: the base with the source's
// facilities, those the base has replaced as the link replaces them, the
// others added and filed under their places (merge_plan.h). Written as the
// link writes: records copied by catalogued offset, one at a time.
#include <cstdio>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/inputs.h"
#include "commands/pairing.h"
#include "commands/merge_plan.h"
#include "commands/merge_report.h"
#include "commands/merge_write.h"
#include "io/explain.h"

namespace quarnel {

namespace {

// The one source is the second input.
class OneSource : public SourceInputs {
 public:
  explicit OneSource(RunState& rs) : rs_(rs) {}
  InputFile* open(InputNumber) override { return &rs_.second_input; }

 private:
  RunState& rs_;
};

}  // namespace

void explain_merge_limit(const MergePlan& plan) {
  if (plan.limit == Limit::kNamePool) {
    std::printf(
        "too many records: the names of the merged file would take more than the tool's "
        "name pool holds (%u bytes)\n",
        static_cast<unsigned>(kNamePoolSize));
  } else {
    std::printf(
        "too many records: the merged file would hold more than the tool can "
        "catalogue (%u records)\n",
        static_cast<unsigned>(kCatalogueCapacity));
  }
}

int run_merge(RunState& rs) {
  uint8_t base_image[kHeaderImageSize];
  MergePlan plan(rs);
  rs.airport_positions = plan.positions;
  int result = open_and_catalogue_base(rs, base_image, &plan.trailer_word);
  rs.airport_positions = nullptr;
  if (result == kExitOk) {
    result = plan_merge(rs, base_image, &plan);
    warn_damaged_inputs(rs);
    if (result == kExitOk) {
      if (!rs.output.create(rs.output_path)) {
        result = kExitCannotWrite;
        rs.failures.note(FileFailure::kOutputRefused, rs.output_path);
      } else {
        ReportCounts counts;
        {
          ReportLines out;
          report_source(rs, plan, out, &counts, nullptr);
        }
        std::printf("%d replaced, %d added, %d left out\n", counts.replaced, counts.added,
                    counts.left_out);
        settle_source(rs, &plan, false);
        OneSource source(rs);
        result = write_merged_file(rs, plan, source);
      }
    }
  }
  result = end_command(rs, Command::kMerge, result);
  if (result == kExitTooManyRecords) explain_merge_limit(plan);
  // An input that failed to read has said so already.
  if (result == kExitNoMatch) {
    explain("%s holds no facility, so there is nothing to merge; \"quarnel -L %s\" lists it",
            rs.second_input_path.c_str(), rs.second_input_path.c_str());
  }
  rs.first_input.close();
  rs.second_input.close();
  return result;
}

}  // namespace quarnel
