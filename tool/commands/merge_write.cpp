#include "commands/merge_write.h"

#include <ctime>

#include "commands/exit_codes.h"
#include "format/afd_format.h"
#include "output/file_parts.h"
#include "output/layout.h"
#include "output/record_copy.h"

namespace quarnel {

namespace {

class MergedFileWriter {
 public:
  MergedFileWriter(const WriteTarget& to, const MergePlan& plan, SourceInputs& sources)
      : to_(to), catalogue_(to.catalogue), plan_(plan), sources_(sources) {}

  // The facilities in the order the result holds them, which is a chain of
  // single merges' order: the base's leading airports, every added airport,
  // the base's other facilities, every added VOR and NDB, and what the base's
  // object list holds behind its first entry of another kind.
  void write_facilities() {
    total_ += write_header_image(to_.output, to_.header_image);
    set_object_list_offset(to_.header_image.data(), static_cast<uint32_t>(total_));
    const std::size_t end = catalogue_.count;
    for (std::size_t i = 0; i < plan_.base_leading; ++i) copy_facility(i);
    for (std::size_t i = plan_.base_count; i < end; ++i) {
      if (catalogue_[i].kind == kSubtypeAirport) copy_facility(i);
    }
    for (std::size_t i = plan_.base_leading; i < plan_.base_facilities; ++i) copy_facility(i);
    for (std::size_t i = plan_.base_count; i < end; ++i) {
      if (is_facility(catalogue_[i]) && catalogue_[i].kind != kSubtypeAirport) copy_facility(i);
    }
    for (std::size_t i = plan_.base_facilities; i < plan_.base_objects; ++i) {
      if (is_selected(catalogue_[i])) copy_facility(i);
    }
    total_ += write_end_mark(to_.output);
    set_name_list_offset(to_.header_image.data(), static_cast<uint32_t>(total_));
  }

  // An end mark closes each list, and one more the chain; without lists the
  // link writes two all the same, and so does the merge.
  void write_lists() {
    const TreeNode* tree = plan_.tree;
    for (TreeIndex head = tree[kTreeRoot].first_child; head != kNoNode;
         head = tree[head].next_sibling) {
      if (head != tree[kTreeRoot].first_child) total_ += write_end_mark(to_.output);
      write_list(head, tree[head].next_sibling == kNoNode);
    }
    write_file_end(to_, &total_, plan_.trailer_word);
  }

 private:
  void copy_facility(std::size_t i) {
    CatalogueEntry& e = catalogue_[i];
    const InputNumber from = plan_.inputs[i];
    if (from == kBaseInput) {
      total_ += copy_object(to_, e, Origin::kFirstInput);
    } else if (InputFile* in = sources_.open(from)) {
      total_ += copy_record(to_.output, e, *in, e.source_offset, e.record_size, nullptr);
    }
  }

  // A list head the merge made: its size and entry count are set once its
  // entries are written.
  uint64_t write_made_head(CatalogueEntry& head) {
    uint8_t bytes[kNameListHeadSize] = {};
    put_u32(bytes + kRecType, kTypeNameListHead);
    head.output_offset = static_cast<uint32_t>(to_.output.tell());
    return to_.output.write(bytes, kNameListHeadSize);
  }

  // A name entry the merge made, from its source's record, with its facility
  // link set to where that facility went.
  uint64_t copy_made_entry(TreeIndex n) {
    CatalogueEntry& e = catalogue_[n];
    const TreeIndex facility = plan_.slots[n].files;
    const uint32_t link = facility != kNoNode ? catalogue_[facility].output_offset : 0;
    InputFile* in = sources_.open(plan_.inputs[n]);
    return in != nullptr ? copy_record(to_.output, e, *in, e.source_offset, 0, &link) : 0;
  }

  // Writes one name list, depth first, with the entries the merge filed in
  // it. A list that gained entries gets its size and entry count computed;
  // any other is written as the link writes it, but for a size of 0 in a
  // list that lists follow: that size would end the chain before them.
  void write_list(TreeIndex head, bool last) {
    bool gained = plan_.is_made_by_merge(head);
    total_ +=
        gained ? write_made_head(catalogue_[head]) : copy_name_list_object(to_, catalogue_[head]);
    // The copied head is still in ObjectBuffer.
    if (!last && !gained && get_i32(to_.object_buffer + kRecSize) == 0) gained = true;
    uint64_t entry_bytes = 0;
    int32_t entries = 0;
    for (TreeIndex n = next_in_order(plan_.tree, head, head); n != kNoNode;
         n = next_in_order(plan_.tree, n, head)) {
      if (plan_.is_made_by_merge(n)) {
        gained = true;
        entry_bytes += copy_made_entry(n);
      } else {
        entry_bytes += copy_name_list_object(to_, catalogue_[n]);
      }
      ++entries;
    }
    total_ += entry_bytes;
    if (gained) {
      patch_name_list_head(to_.output, catalogue_[head], entries,
                           static_cast<int64_t>(entry_bytes) + kNameListOverhead);
    } else {
      fit_name_list_head(to_.output, catalogue_[head], entry_bytes);
    }
  }

  WriteTarget to_;
  Catalogue& catalogue_;
  const MergePlan& plan_;
  SourceInputs& sources_;
  uint64_t total_ = 0;
};

}  // namespace

int write_merged_file(RunState& rs, const MergePlan& plan, SourceInputs& sources) {
  init_header(rs.header_image, std::time(nullptr));
  set_file_id(rs.header_image, fresh_file_id_seed());
  store_box(rs.header_image.data() + kFhBounds, plan.header_bounds);
  MergedFileWriter writer(write_target(rs), plan, sources);
  writer.write_facilities();
  writer.write_lists();
  return kExitOk;
}

}  // namespace quarnel
