// The merge command of several sources (-M base source1 source2 ... output, or
// a folder of them): each source merged into the result of those before it,
// as a chain of single merges would, over one reading of the base and one
// writing of the result.
#include <array>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "commands/command_end.h"
#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/inputs.h"
#include "commands/merge_plan.h"
#include "commands/merge_report.h"
#include "commands/merge_write.h"
#include "commands/source_list.h"
#include "io/explain.h"
#include "io/folders.h"
#include "output/layout.h"
#include "scan/scan.h"
#include "scan/source_walk.h"

namespace quarnel {

namespace {

// The sources are read again while the result is written, in the result's
// order, which goes back and forth between them: up to kOpenSources are kept
// open, each with a small window and blocks that hold a small file whole, and
// the one least lately used is closed for another.
constexpr std::size_t kOpenSources = 64;
constexpr std::size_t kSourceWindow = std::size_t{1} << 14;
constexpr std::size_t kSourceBlocks = 4;
constexpr std::size_t kSourceRoom = kSourceWindow + kSourceBlocks * kCacheBlockSize;

class SourcePool : public SourceInputs {
 public:
  SourcePool(RunState& rs, const std::vector<std::string>& paths) : rs_(rs), paths_(paths) {}
  ~SourcePool() override { close_all(); }
  SourcePool(const SourcePool&) = delete;
  SourcePool& operator=(const SourcePool&) = delete;

  // Lends each file its room; false when the room could not be allocated.
  bool allocate() {
    room_.reset(new (std::nothrow) uint8_t[kOpenSources * kSourceRoom]);
    if (!room_) return false;
    for (std::size_t k = 0; k < kOpenSources; ++k) {
      uint8_t* room = room_.get() + k * kSourceRoom;
      slots_[k].file.attach_window(room, kSourceWindow);
      slots_[k].file.attach_block_cache(room + kSourceWindow, kSourceBlocks);
    }
    return true;
  }

  // The last source is still open as the second input.
  InputFile* open(InputNumber number) override {
    if (number == paths_.size() && rs_.second_input.is_open()) return &rs_.second_input;
    Slot* slot = &slots_[0];
    for (Slot& s : slots_) {
      if (s.number == number) {
        s.used = ++clock_;
        return &s.file;
      }
      if (s.used < slot->used) slot = &s;
    }
    release(*slot);
    const std::string& path = paths_[number - 1u];
    if (!slot->file.open(path)) {
      slot->file.note_unreadable();
      failed_ = OtherFailedInput{&path, slot->file.unreadable()};
      return nullptr;
    }
    slot->number = number;
    slot->used = ++clock_;
    return &slot->file;
  }

  // Closed before the output is committed, as every input is; a source that
  // failed to read is then named by its path in the run's list, which stays.
  void close_all() {
    for (Slot& s : slots_) release(s);
  }

  // The source that could not be read whole, once its file is closed.
  const OtherFailedInput& failed() const { return failed_; }

 private:
  struct Slot {
    InputFile file;
    InputNumber number = 0;
    uint64_t used = 0;
  };

  void release(Slot& s) {
    if (s.number == 0) return;
    const std::string* path = &paths_[s.number - 1u];
    if (s.file.unreadable() > failed_.order) failed_ = OtherFailedInput{path, s.file.unreadable()};
    if (s.file.read_failed() && !any_unreadable()) failed_ = OtherFailedInput{path, 0};
    s.file.close();
    s.number = 0;
    s.used = 0;
  }

  // Whether any input of the run so far was found unreadable.
  bool any_unreadable() const {
    if (failed_.path != nullptr || rs_.first_input.unreadable() != 0 ||
        rs_.second_input.unreadable() != 0) {
      return true;
    }
    for (const Slot& s : slots_) {
      if (s.file.unreadable() != 0) return true;
    }
    return false;
  }

  RunState& rs_;
  const std::vector<std::string>& paths_;
  std::unique_ptr<uint8_t[]> room_;
  std::array<Slot, kOpenSources> slots_;
  uint64_t clock_ = 0;
  OtherFailedInput failed_;
};

// The output of a run of several may not be one of its inputs, which a later
// source would then read changed, nor lie in a source folder, where the next
// run would take it for an add-on. Says why on standard error.
bool output_is_allowed(const std::string& output, const std::string& base,
                       const SourceList& sources) {
  // An output that is not there yet is none of the inputs.
  const bool there = file_exists(output);
  if (there && same_file(output, base)) {
    explain("cannot write %s: it is the base; a merge of several sources writes a new file",
            output.c_str());
    return false;
  }
  for (const std::string& source : sources.files) {
    if (there && same_file(output, source)) {
      explain("cannot write %s: it is the source %s; a merge of several sources writes a new file",
              output.c_str(), source.c_str());
      return false;
    }
  }
  for (const std::string& folder : sources.folders) {
    if (lies_inside(output, folder)) {
      explain(
          "cannot write %s: it lies in the source folder %s, where a later run would take it "
          "for an add-on; name a file outside it",
          output.c_str(), folder.c_str());
      return false;
    }
  }
  return true;
}

class BatchMerge {
 public:
  BatchMerge(RunState& rs, const SourceList& sources)
      : rs_(rs), sources_(sources.files), plan_(rs) {}

  // The base, open as the first input with its headers in `image`, is read.
  void read_base(uint8_t* image) {
    image_ = image;
    const uint32_t trailer_at = trailer_offset(image);
    if (trailer_at != 0) {
      plan_.trailer_word = read_trailer(rs_.first_input, trailer_at, rs_.ai_airport_box);
    }
    rs_.airport_positions = plan_.positions;
    build_catalogue(rs_, image, nullptr, ScanMode::kTakeAll);
    rs_.airport_positions = nullptr;
    if (rs_.first_input.damaged() && !rs_.first_input.read_failed()) {
      warn_damaged_input(rs_.first_input.path());
    }
  }

  // Merges every source in turn, each with its lines in the report. Returns
  // kExitOk, kExitNoMatch when no source holds a facility, or the ExitCode
  // that ended the run; a source that failed to read ends it too, as the
  // run's unreadable input.
  int merge_sources() {
    ReportCounts counts;
    ReportLines out;
    bool any = false;
    for (std::size_t k = 0; k < sources_.size(); ++k) {
      const std::string& path = sources_[k];
      out.text("from ");
      out.text(path);
      out.text(":\n");
      InputFile& in = rs_.second_input;
      if (!in.open(path)) {
        out.flush();
        rs_.failures.note(FileFailure::kCannotOpen, path, in.open_error());
        return kExitCannotOpen;
      }
      const int result = plan_merge(rs_, image_, &plan_);
      if (result == kExitOk) {
        any = true;
        report_source(rs_, plan_, out, &counts, &sources_);
        settle_source(rs_, &plan_, k + 1 < sources_.size());
      }
      out.flush();
      if (in.read_failed()) {
        in.note_unreadable();
        return kExitOk;
      }
      if (in.damaged()) warn_damaged_input(path);
      if (result == kExitTooManyRecords) return result;
      if (result == kExitNoMatch)
        explain("%s holds no facility; nothing is taken from it", path.c_str());
      // The last stays open: the result is written from it first.
      if (k + 1 < sources_.size()) in.close();
    }
    if (!any) return kExitNoMatch;
    char totals[128];
    std::snprintf(totals, sizeof totals, "%d replaced, %d added, %d left out, %d conflicts\n",
                  counts.replaced, counts.added, counts.left_out, counts.conflicts);
    out.text(totals);
    return kExitOk;
  }

  int write(SourcePool& pool) {
    const int result = write_merged_file(rs_, plan_, pool);
    pool.close_all();
    return result;
  }

  const MergePlan& plan() const { return plan_; }

 private:
  RunState& rs_;
  const std::vector<std::string>& sources_;
  MergePlan plan_;
  const uint8_t* image_ = nullptr;
};

}  // namespace

int run_merge_batch(RunState& rs, const std::vector<std::string>& given) {
  SourceList sources;
  int result = gather_sources(rs, given, kMaxSources, &sources);
  if (result != kExitOk) return end_gathering(rs, Command::kMerge, result, sources);
  if (sources.files.empty()) {
    explain("no AFD file among the sources, so there is nothing to merge");
    return end_command(rs, Command::kMerge, kExitNoMatch);
  }
  if (!output_is_allowed(rs.output_path, rs.first_input_path, sources)) {
    return end_command(rs, Command::kMerge, kExitCannotWrite);
  }
  uint8_t image[kHeaderImageSize];
  result = open_first_input(rs, rs.first_input_path, image);
  if (result != kExitOk) return end_command(rs, Command::kMerge, result);
  // Allocated, as every block the run uses, before the work starts.
  const std::unique_ptr<SourcePool> pool(new (std::nothrow) SourcePool(rs, sources.files));
  if (!pool || !pool->allocate()) {
    explain("not enough memory for the work buffers");
    return end_command(rs, Command::kMerge, kExitOutOfMemory);
  }
  if (!rs.output.create(rs.output_path)) {
    rs.failures.note(FileFailure::kOutputRefused, rs.output_path);
    return end_command(rs, Command::kMerge, kExitCannotWrite);
  }
  BatchMerge merge(rs, sources);
  merge.read_base(image);
  result = merge.merge_sources();
  if (result == kExitOk && failed_input(rs, pool->failed()) == nullptr) {
    result = merge.write(*pool);
  }
  if (result != kExitOk) rs.output.abandon();
  result = end_command(rs, Command::kMerge, result, pool->failed());
  if (result == kExitTooManyRecords) explain_merge_limit(merge.plan());
  if (result == kExitNoMatch) {
    explain("no source holds a facility, so there is nothing to merge");
  }
  rs.first_input.close();
  rs.second_input.close();
  return result;
}

}  // namespace quarnel
