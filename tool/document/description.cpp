// The description reader: nlohmann/json's SAX parser over a chunked read of
// the input, and a handler that follows the document's shape with a stack of
// frames. Every value is checked where it stands, so an error names its exact
// path, and a piece goes to the sink as soon as its object closes.
#include "document/description.h"

#include <string>

#include "document/description_reader.h"
#include "format/afd_format.h"
#include "format/text_forms.h"

namespace quarnel {

namespace reader {

namespace {

bool in_free_header_bytes(uint32_t at, std::size_t n) {
  for (const HeaderRun& r : kFreeHeaderBytes) {
    if (at >= r.begin && at < r.end && n <= r.end - at) return true;
  }
  return false;
}

}  // namespace

bool Handler::key(json::string_t& key_text) {
  const std::string_view name = key_text;
  Frame& f = frames_.back();
  if (f.node == Node::kSkip) return true;
  const Shape& s = shape(f.node);
  for (std::size_t k = 0; k < s.keys.size(); ++k) {
    if (s.keys[k] != name) continue;
    f.key = static_cast<int>(k);
    f.value_next = true;
    if (f.seen & (1u << k)) return fail_here("duplicate key");
    f.seen |= 1u << k;
    return true;
  }
  place_ = path_text(false);
  if (!place_.empty()) place_ += '.';
  place_ += shown_text(name);
  what_ = "unknown key";
  return false;
}

bool Handler::parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) {
  // An input that stopped early ends the text in the parser's eyes; the
  // reason it stopped is the fault.
  if (input_->stop() != ChunkInput::Stop::kNone) return false;
  // The library says " at line L, column C: WHAT" of the input it saw,
  // whose runs of blanks were cut short: the place is counted here instead.
  const std::string_view text = ex.what();
  const std::size_t at = text.find(" at line ");
  const std::size_t colon = at == std::string_view::npos ? at : text.find(": ", at);
  if (colon != std::string_view::npos) {
    place_ = input_->place();
    what_ = shown_text(text.substr(colon + 2, 200));
  } else {
    // A number too large for any reading fails at its own place.
    begin_value();
    place_ = path(true);
    what_ = ex.id == 406 ? "a number too large to read" : shown_text(text.substr(0, 200));
  }
  return false;
}

std::string Handler::path(bool with_slot) const {
  std::string p = path_text(with_slot);
  return p.empty() ? "top level" : p;
}

// The JSON path of the innermost slot (with_slot) or of the container that
// holds it; empty for the document itself.
std::string Handler::path_text(bool with_slot) const {
  std::string p;
  for (std::size_t i = 0; i < frames_.size(); ++i) {
    const Frame& f = frames_[i];
    if (i + 1 == frames_.size() && !with_slot) break;
    if (is_array(f.node)) {
      p += '[';
      p += std::to_string(f.items - 1);
      p += ']';
    } else if (f.node != Node::kSkip && f.key >= 0) {
      if (i > 0) p += '.';
      p += shape(f.node).keys[static_cast<std::size_t>(f.key)];
    }
  }
  return p;
}

bool Handler::fail_here(std::string what) {
  place_ = path(true);
  what_ = std::move(what);
  return false;
}

// A fault of the piece whose object just closed (its frame already popped
// by the caller, so the path names the piece).
bool Handler::fail_piece(const Fault& fault) {
  place_ = path(true) + fault.below;
  what_ = fault.what;
  return false;
}

// The value that comes next takes its place: an array counts one more item.
void Handler::begin_value() {
  if (!frames_.empty() && is_array(frames_.back().node)) frames_.back().items++;
}

bool Handler::open(bool array) {
  if (frames_.empty()) {
    if (array) {
      place_ = "top level";
      what_ = "must be an object";
      return false;
    }
    frames_.push_back({Node::kRoot});
    return true;
  }
  Frame& top = frames_.back();
  if (top.node == Node::kSkip) {
    if (++top.skipped > kMaxSkippedDepth) {
      return fail_here("nests deeper than " + std::to_string(kMaxSkippedDepth) + " levels");
    }
    return true;
  }
  top.value_next = false;
  begin_value();
  const Node child = child_of(top, array);
  if (child == Node::kRoot) return fail_here(expected_scalar());
  frames_.push_back({child});
  return start_piece(child);
}

bool Handler::start_piece(Node node) {
  switch (node) {
    case Node::kSkip:
      frames_.back().skipped = 0;
      return true;
    case Node::kHeader:
      header_ = DescribedHeader{};
      return true;
    case Node::kTrailer:
      trailer_ = DescribedTrailer{};
      return true;
    case Node::kHeaderBounds:
    case Node::kTrailerBounds:
      box_ = CoverageBox{0, 0, 0, 0};
      return true;
    case Node::kFileId:
      header_.file_id = {};
      return true;
    case Node::kOtherByte:
      other_byte_ = HeaderBytes{};
      return true;
    case Node::kFacility:
      sink_.spool().clear();
      facility_ = DescribedFacility{};
      return true;
    case Node::kSubRecords:
      facility_.sub_records.given = Given::kValue;
      return true;
    case Node::kOtherRecord:
      sink_.spool().clear();
      other_ = DescribedOtherRecord{};
      return true;
    case Node::kNameList: {
      list_ = DescribedList{};
      Fault fault;
      if (!sink_.list_begin(index_of(Node::kNameLists), &fault)) {
        frames_.pop_back();
        return fail_piece(fault);
      }
      return true;
    }
    case Node::kEntry:
      sink_.spool().clear();
      entry_ = DescribedEntry{};
      return true;
    default:
      return true;
  }
}

// The index of the current item of the innermost array of that node.
std::size_t Handler::index_of(Node array) const {
  for (auto it = frames_.rbegin(); it != frames_.rend(); ++it) {
    if (it->node == array) return it->items - 1;
  }
  return 0;
}

bool Handler::close() {
  Frame& top = frames_.back();
  if (top.node == Node::kSkip && top.skipped > 0) {
    top.skipped--;
    return true;
  }
  const Frame f = top;
  const uint32_t missing = shape(f.node).required & ~f.seen;
  if (missing != 0) {
    // Said of the object, not of the last key it holds.
    const Shape& s = shape(f.node);
    std::size_t k = 0;
    while (!(missing & (1u << k))) ++k;
    place_ = path(false);
    what_ = std::string("the key ") + std::string(s.keys[k]) + " is missing";
    return false;
  }
  if (f.node == Node::kFileId && f.items != 3) {
    return fail_here("must hold three integers");
  }
  frames_.pop_back();
  return finish_piece(f.node);
}

bool Handler::finish_piece(Node node) {
  Fault fault;
  bool ok = true;
  switch (node) {
    case Node::kRoot:
      return true;
    case Node::kHeader:
      ok = sink_.header(header_, &fault);
      break;
    case Node::kTrailer:
      ok = sink_.trailer(trailer_, &fault);
      break;
    case Node::kHeaderBounds:
      header_.bounds = {Given::kValue, box_};
      return true;
    case Node::kTrailerBounds:
      trailer_.bounds = {Given::kValue, box_};
      return true;
    case Node::kOtherByte:
      if (!in_free_header_bytes(other_byte_.at, other_byte_.bytes.size())) {
        fault = {"", "must lie within header bytes that the tool neither reads nor computes"};
        ok = false;
        break;
      }
      // Runs may overlap, but no header needs more than one for each byte.
      if (header_.other_bytes.size() >= kHeaderImageSize) {
        fault = {"", "more runs than the header has bytes"};
        ok = false;
        break;
      }
      header_.other_bytes.push_back(std::move(other_byte_));
      return true;
    case Node::kFacility:
      ok = sink_.facility(facility_, frames_.back().items - 1, &fault);
      break;
    case Node::kOtherRecord:
      ok = sink_.other_record(other_, frames_.back().items - 1, &fault);
      break;
    case Node::kNameList:
      ok = sink_.list_end(list_, frames_.back().items - 1, &fault);
      break;
    case Node::kEntry:
      ok = sink_.entry(entry_, index_of(Node::kNameLists), frames_.back().items - 1, &fault);
      break;
    default:
      return true;
  }
  return ok || fail_piece(fault);
}

}  // namespace reader

ReadOutcome read_description(std::FILE* in, DescriptionSink& sink, std::string* message) {
  reader::Handler handler(sink);
  ChunkInput input(in, handler);
  handler.attach(input);
  const bool ok = reader::Json::sax_parse(ChunkIterator(&input), ChunkIterator(), &handler,
                                          reader::Json::input_format_t::json, true, false);
  if (input.failed()) return ReadOutcome::kUnreadable;
  if (handler.failed()) {
    *message = handler.message();
    return ReadOutcome::kInvalid;
  }
  if (input.stop() == ChunkInput::Stop::kNul) {
    *message = input.nul_place() + ": a NUL byte, which no JSON text holds";
    return ReadOutcome::kInvalid;
  }
  return ok && !sink.spool().failed() ? ReadOutcome::kDone : ReadOutcome::kUnwritable;
}

}  // namespace quarnel
