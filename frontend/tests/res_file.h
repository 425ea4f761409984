// Reads a compiled resource file (.res): the entries the resource compiler
// made of a resource script, so tests can check the bytes that get linked in.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quarnel_helper {

struct ResEntry {
  std::uint16_t type = 0;  // an ordinal type such as 5 (dialog); named types are skipped
  std::uint16_t id = 0;
  std::uint16_t language = 0;
  std::vector<std::uint8_t> data;
};

// All entries with ordinal type and name, or nullopt when the bytes are not a
// well-formed resource file.
std::optional<std::vector<ResEntry>> ParseResFile(const std::vector<std::uint8_t>& bytes);

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

// One control of an extended dialog template.
struct DialogItem {
  std::uint32_t style = 0;
  std::uint32_t ex_style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::int32_t id = 0;
  std::uint16_t class_atom = 0;  // 0x80 button, 0x81 edit, 0x82 static
  std::string text;              // ASCII-range texts only; others become '?'
};

struct DialogTemplate {
  std::uint32_t style = 0;
  std::uint32_t ex_style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string caption;
  int point_size = 0;
  int weight = 0;
  int italic = 0;
  int charset = 0;
  std::string typeface;
  std::vector<DialogItem> items;
};

std::optional<DialogTemplate> ParseDialogEx(const std::vector<std::uint8_t>& data);

struct VersionInfo {
  std::uint32_t file_version_ms = 0, file_version_ls = 0;
  std::uint32_t product_version_ms = 0, product_version_ls = 0;
  std::uint32_t file_os = 0, file_type = 0;
  // "block/key" -> value, e.g. "040704b0/ProductName" -> "QuarnelHelper".
  std::map<std::string, std::string> strings;
  std::vector<std::uint8_t> translation;
};

std::optional<VersionInfo> ParseVersionInfo(const std::vector<std::uint8_t>& data);

}  // namespace quarnel_helper
