// A reader of compiled resource files, for the resource tests.
#include "res_file.h"

#include <fstream>
#include <iterator>

namespace quarnel_helper {

namespace {

// A bounds-checked little-endian reader; a read past the end fails and
// poisons the reader, so callers check once at the end.
class Reader {
 public:
  Reader(const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t end)
      : bytes_(bytes), pos_(begin), end_(end) {}

  std::uint16_t U16() {
    if (!Need(2)) return 0;
    const std::uint16_t v = static_cast<std::uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  std::uint32_t U32() {
    const std::uint32_t low = U16();
    return low | static_cast<std::uint32_t>(U16()) << 16;
  }
  std::uint8_t U8() {
    if (!Need(1)) return 0;
    return bytes_[pos_++];
  }
  int S16() { return static_cast<std::int16_t>(U16()); }
  // A zero-terminated UTF-16 text; characters outside ASCII become '?'.
  std::string WideText() {
    std::string text;
    for (std::uint16_t c = U16(); ok_ && c != 0; c = U16()) {
      text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return text;
  }
  // A name or ordinal: 0xFFFF and a number, or a text. Returns the ordinal
  // or nullopt for a text.
  std::optional<std::uint16_t> NameOrOrdinal(std::string* text) {
    if (!Need(2)) return std::nullopt;
    if (bytes_[pos_] == 0xFF && bytes_[pos_ + 1] == 0xFF) {
      pos_ += 2;
      return U16();
    }
    *text = WideText();
    return std::nullopt;
  }
  void Align4(std::size_t origin) {
    while ((pos_ - origin) % 4 != 0 && pos_ < end_) ++pos_;
  }
  bool Skip(std::size_t n) {
    if (!Need(n)) return false;
    pos_ += n;
    return true;
  }
  std::size_t pos() const { return pos_; }
  bool ok() const { return ok_; }

 private:
  bool Need(std::size_t n) {
    if (!ok_ || end_ - pos_ < n) {
      ok_ = false;
      return false;
    }
    return true;
  }
  const std::vector<std::uint8_t>& bytes_;
  std::size_t pos_;
  std::size_t end_;
  bool ok_ = true;
};

// One node of a version record: length, value length, type, key, value,
// children. Text values are gathered into info->strings as "parent/key".
bool ParseVersionNode(const std::vector<std::uint8_t>& bytes, std::size_t begin,
                      const std::string& parent, VersionInfo* info, int depth) {
  if (depth > 8) return false;
  Reader r(bytes, begin, bytes.size());
  const std::uint16_t length = r.U16();
  const std::uint16_t value_length = r.U16();
  const std::uint16_t type = r.U16();
  const std::string key = r.WideText();
  if (!r.ok() || length < 6 || bytes.size() - begin < length) return false;
  const std::size_t end = begin + length;
  r.Align4(0);
  if (key == "VS_VERSION_INFO") {
    Reader fixed(bytes, r.pos(), end);
    if (fixed.U32() != 0xFEEF04BDu) return false;
    fixed.U32();  // structure version
    info->file_version_ms = fixed.U32();
    info->file_version_ls = fixed.U32();
    info->product_version_ms = fixed.U32();
    info->product_version_ls = fixed.U32();
    fixed.U32();  // flags mask
    fixed.U32();  // flags
    info->file_os = fixed.U32();
    info->file_type = fixed.U32();
    if (!fixed.ok()) return false;
    r.Skip(value_length);
  } else if (type == 1) {  // text; its length is counted in characters
    Reader text(bytes, r.pos(), end);
    info->strings[parent + "/" + key] = value_length > 0 ? text.WideText() : std::string();
    r.Skip(std::size_t{value_length} * 2);
  } else if (key == "Translation") {
    if (!r.Skip(value_length)) return false;
    info->translation.assign(bytes.begin() + static_cast<std::ptrdiff_t>(r.pos() - value_length),
                             bytes.begin() + static_cast<std::ptrdiff_t>(r.pos()));
  } else {
    r.Skip(value_length);
  }
  r.Align4(0);
  std::size_t child = r.pos();
  while (r.ok() && child < end && end - child >= 6) {
    Reader peek(bytes, child, end);
    const std::uint16_t child_length = peek.U16();
    if (child_length == 0) break;
    if (!ParseVersionNode(bytes, child, key, info, depth + 1)) return false;
    child = (child + child_length + 3) / 4 * 4;
  }
  return r.ok() && end <= bytes.size();
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::optional<std::vector<ResEntry>> ParseResFile(const std::vector<std::uint8_t>& bytes) {
  std::vector<ResEntry> entries;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    Reader r(bytes, pos, bytes.size());
    const std::uint32_t data_size = r.U32();
    const std::uint32_t header_size = r.U32();
    std::string type_name, id_name;
    const std::optional<std::uint16_t> type = r.NameOrOrdinal(&type_name);
    const std::optional<std::uint16_t> id = r.NameOrOrdinal(&id_name);
    r.Align4(pos);
    r.U32();  // data version
    r.U16();  // memory flags
    const std::uint16_t language = r.U16();
    if (!r.ok() || header_size < 32 || bytes.size() - pos < header_size ||
        bytes.size() - pos - header_size < data_size) {
      return std::nullopt;
    }
    const std::size_t data = pos + header_size;
    if (type && id && *type != 0) {
      entries.push_back(ResEntry{
          *type, *id, language,
          std::vector<std::uint8_t>(bytes.begin() + data, bytes.begin() + data + data_size)});
    }
    pos = (data + data_size + 3) / 4 * 4;
  }
  return entries;
}

std::optional<DialogTemplate> ParseDialogEx(const std::vector<std::uint8_t>& data) {
  Reader r(data, 0, data.size());
  if (r.U16() != 1 || r.U16() != 0xFFFF) return std::nullopt;
  DialogTemplate d;
  r.U32();  // help id
  d.ex_style = r.U32();
  d.style = r.U32();
  const int count = r.U16();
  d.x = r.S16();
  d.y = r.S16();
  d.cx = r.S16();
  d.cy = r.S16();
  std::string ignored;
  if (r.NameOrOrdinal(&ignored) || !ignored.empty()) return std::nullopt;  // no menu
  if (r.NameOrOrdinal(&ignored) || !ignored.empty()) return std::nullopt;  // no own class
  d.caption = r.WideText();
  if (d.style & 0x40) {  // DS_SETFONT
    d.point_size = r.U16();
    d.weight = r.U16();
    d.italic = r.U8();
    d.charset = r.U8();
    d.typeface = r.WideText();
  }
  for (int i = 0; i < count && r.ok(); ++i) {
    r.Align4(0);
    DialogItem item;
    r.U32();  // help id
    item.ex_style = r.U32();
    item.style = r.U32();
    item.x = r.S16();
    item.y = r.S16();
    item.cx = r.S16();
    item.cy = r.S16();
    item.id = static_cast<std::int32_t>(r.U32());
    std::string class_name;
    item.class_atom = r.NameOrOrdinal(&class_name).value_or(0);
    std::string text;
    if (r.NameOrOrdinal(&text)) return std::nullopt;  // texts only, no ordinal titles
    item.text = text;
    r.Skip(r.U16());  // creation data
    d.items.push_back(item);
  }
  if (!r.ok()) return std::nullopt;
  return d;
}

std::optional<VersionInfo> ParseVersionInfo(const std::vector<std::uint8_t>& data) {
  VersionInfo info;
  if (!ParseVersionNode(data, 0, "", &info, 0)) return std::nullopt;
  return info;
}

}  // namespace quarnel_helper
