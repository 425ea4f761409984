// The layout notes of the check: what a build would write otherwise than the
// file has it.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "commands/findings.h"
#include "format/afd_format.h"

namespace quarnel {

namespace {

class LayoutCheck : public ListingSink {
 public:
  LayoutCheck(RunState& rs, FindingSink& findings) : rs_(rs), findings_(findings) {}

  void begin(const uint8_t* image) override {
    image_ = image;
    trailer_ = trailer_offset(image);
    if (trailer_points_nowhere(trailer_, rs_.first_input.size())) trailer_ = 0;
  }
  void on_record(WalkKind walk, uint64_t pos, const uint8_t* rec, std::size_t len,
                 int32_t size) override {
    if (walk == WalkKind::kNameEntries && get_u32(rec + kRecType) == kTypeNameEntry) {
      check_name_end(pos, rec, len, size);
    }
  }
  void on_walk_end(WalkKind walk, uint64_t, uint64_t pos, uint64_t, WalkEnd why) override {
    note_end_record(walk, pos, why);
  }
  void end() override { check_layout(); }

 private:
#if defined(__GNUC__)
  __attribute__((format(printf, 3, 4)))
#endif
  void
  note(uint64_t at, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    findings_.finding({at, false, text});
  }

  // What a build would write otherwise, below. A build writes the parts in
  // the order the writer does, each right behind the one before, and every
  // end record as 8 zero bytes; a file laid out another way gets a note, so
  // that a file without notes is one a build gives back byte for byte.
  void note_end_record(WalkKind walk, uint64_t pos, WalkEnd why) {
    uint8_t head[kRecordHeadSize] = {};
    const bool at_end_record =
        rs_.first_input.read_at(pos, head, kRecordHeadSize) == kRecordHeadSize &&
        get_u32(head + kRecType) == kTypeEnd;
    const bool whole =
        why == WalkEnd::kEndRecord || (why == WalkEnd::kCatalogueFull && at_end_record);
    if (walk == WalkKind::kObjectList) objects_whole_end_ = whole ? pos + kRecordHeadSize : 0;
    if (walk == WalkKind::kChain) chain_whole_end_ = whole ? pos + kRecordHeadSize : 0;
    if (walk == WalkKind::kChain || !whole || get_i32(head + kRecSize) == 0) return;
    note(pos, "an end record of size %d ends %s: a build writes it with size 0",
         get_i32(head + kRecSize), walk_word(walk, ListArticle::kA));
  }

  void check_name_end(uint64_t pos, const uint8_t* rec, std::size_t len, int32_t size) {
    if (len <= kNeName || static_cast<std::size_t>(size) > kScanPayloadLimit) return;
    if (std::memchr(rec + kNeName, 0, len - kNeName) == nullptr) {
      note(pos, "a name entry whose name has no NUL: a build ends it with one");
    }
  }

  void check_layout() {
    const uint32_t objects_at = object_list_offset(image_);
    const uint32_t lists_at = name_list_offset(image_);
    if (objects_at != kHeaderImageSize) {
      note(objects_at,
           "the object list starts at 0x%06X, not behind the headers: a build puts it there",
           objects_at);
      return;
    }
    // A walk cut short is a problem already; the layout behind it is moot.
    if (objects_whole_end_ == 0 || chain_whole_end_ == 0) return;
    if (lists_at != objects_whole_end_) {
      note(lists_at,
           "the name lists start at 0x%06X, not behind the object list at 0x%06llX: a build puts "
           "them there",
           lists_at, static_cast<unsigned long long>(objects_whole_end_));
      return;
    }
    uint64_t end = chain_whole_end_;
    if (trailer_ != 0) {
      if (trailer_ != chain_whole_end_) {
        note(trailer_,
             "the trailer stands at 0x%06X, not behind the name lists at 0x%06llX: a build puts it "
             "there",
             trailer_, static_cast<unsigned long long>(chain_whole_end_));
        return;
      }
      end = trailer_ + kTrailerSize;
    }
    const uint64_t size = rs_.first_input.size();
    if (size > end) {
      note(end, "%llu bytes behind the %s: a build leaves them out",
           static_cast<unsigned long long>(size - end), trailer_ != 0 ? "trailer" : "name lists");
    }
  }

  RunState& rs_;
  FindingSink& findings_;
  const uint8_t* image_ = nullptr;
  uint32_t trailer_ = 0;
  uint64_t objects_whole_end_ = 0;  // behind the object list's end record; 0: none
  uint64_t chain_whole_end_ = 0;    // behind the chain's end record; 0: none
};

}  // namespace

std::unique_ptr<ListingSink> make_layout_check(RunState& rs, FindingSink& findings) {
  return std::make_unique<LayoutCheck>(rs, findings);
}

}  // namespace quarnel
