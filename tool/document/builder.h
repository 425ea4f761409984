// The file a description stands for, written in the writer's layout: the
// headers, the object list in document order and its end record, the
// name-list chain in document order, then the trailer.
//
// A description's keys come in any order, and a name entry may name a
// facility that the document describes only further on. So facility records
// go into the output as they stream in, right behind the headers, while other
// records and name entries wait in scratch files beside it; memory holds no
// more than what places them (a size, an identity) and the first bytes of one
// record at a time. The rest of the file is written once the whole
// description has been read and found valid. Other records (a damaged file's)
// are rare: when there are any, the facility records are moved aside and
// written again among them.
#pragma once

#include <array>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

#include "document/described.h"
#include "document/spool.h"
#include "format/afd_format.h"
#include "io/files.h"
#include "output/write_target.h"

namespace quarnel {

// The records of the object list that a build holds, facilities and other
// records together; what places each costs a few dozen bytes of memory.
constexpr std::size_t kMaxBuiltObjectRecords = 100000;

class FileBuilder : public DescriptionSink {
 public:
  // Writes into `target`, whose output the caller created at `output_path`.
  FileBuilder(const WriteTarget& target, std::string output_path, std::time_t now);
  ~FileBuilder() override;
  FileBuilder(const FileBuilder&) = delete;
  FileBuilder& operator=(const FileBuilder&) = delete;

  // Opens the scratch files beside the output and writes the headers'
  // place into it; false when it cannot.
  bool begin();

  Spool& spool() override { return spool_; }
  bool header(const DescribedHeader&, Fault*) override;
  bool trailer(const DescribedTrailer&, Fault*) override;
  bool facility(const DescribedFacility&, std::size_t index, Fault*) override;
  bool other_record(const DescribedOtherRecord&, std::size_t index, Fault*) override;
  bool list_begin(std::size_t index, Fault*) override;
  bool entry(const DescribedEntry&, std::size_t list, std::size_t index, Fault*) override;
  bool list_end(const DescribedList&, std::size_t index, Fault*) override;

  enum class Outcome { kBuilt, kInvalid, kCannotWrite };
  // Writes the rest of the file into the output, up to the header's rewrite;
  // the caller commits it. kInvalid fills `message` ("PLACE: WHAT")
  // for what only the whole document shows: a link to a facility that is not
  // there, more records than the tool reads back, or names beyond its pool.
  Outcome write(std::string* message);

 private:
  static constexpr const char* kTooManyRecordsText =
      "more than the 20000 records that the tool can catalogue: it would not read back the rest";
  static constexpr std::size_t kCopyBlockSize = std::size_t{1} << 16;

  struct Scratch {
    std::FILE* file = nullptr;
    uint64_t size = 0;
    bool failed = false;
    void put(const uint8_t* bytes, std::size_t n);
    void put(Spool& spool, uint64_t at, uint64_t n);
    bool get(uint8_t* bytes, std::size_t n);
  };
  struct FacilityPlace {
    uint32_t size = 0;
    uint32_t output_offset = 0;
    int32_t pool_name = -1;  // the name length the scan keeps; -1: it catalogues none
  };
  struct OtherPlace {
    uint32_t index = 0;          // in other_records
    uint32_t after = 0;          // the identity of the facility it follows
    int32_t after_ordinal = -1;  // -1: at the start of the object list
    bool anchored = false;
    int32_t pool_name = -1;
    uint64_t at = 0;  // in the scratch file
    uint64_t size = 0;
  };
  struct ListPlace {
    std::array<uint8_t, 12> reserved{};
    uint32_t entries = 0;
    uint64_t entry_bytes = 0;
  };
  // NamePool as the scan fills it when it reads the file back, in file order.
  class PoolFill {
   public:
    bool add(std::size_t len) {
      if (len >= kNamePoolSize || fill_ >= kNamePoolSize - len - 1) return false;
      fill_ += len + 1;
      return true;
    }

   private:
    std::size_t fill_ = 0;
  };

  bool count_record(bool catalogued, Fault* fault);
  bool count_object_record(Fault* fault);
  bool copy_from(Scratch& from, uint64_t n);
  bool interleave_others(std::string* message, uint64_t* total, PoolFill& pool);
  bool write_objects(std::string* message, uint64_t* total, PoolFill& pool);
  bool write_lists(std::string* message, uint64_t* total, PoolFill& pool);
  void write_trailer_and_header(uint64_t total);

  WriteTarget target_;
  std::string output_path_;
  std::time_t now_;
  Scratch objects_;
  Scratch others_;
  Scratch entries_;
  Spool spool_;
  Bytes block_;  // carries copies from scratch files to the output
  DescribedHeader header_;
  bool header_given_ = false;
  DescribedTrailer trailer_;
  bool trailer_given_ = false;
  std::vector<FacilityPlace> facilities_;
  std::unordered_map<uint32_t, uint32_t> ordinal_of_;  // facility identity -> ordinal
  std::vector<OtherPlace> other_places_;
  std::vector<ListPlace> lists_;
  uint64_t object_bytes_ = 0;
  uint64_t facility_bytes_ = 0;
  int32_t last_subtype_ = kSubtypeAirport;
  uint64_t list_bytes_ = 0;
  std::size_t catalogued_ = 0;
};

}  // namespace quarnel
