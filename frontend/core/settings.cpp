#include "settings.h"

#include <algorithm>

#include "text.h"

namespace quarnel_helper {

std::string LoadSetting(DialogPlatform& platform, const char* key, char* buffer,
                        unsigned buffer_size) {
  if (buffer == nullptr || buffer_size == 0) return std::string();
  const unsigned offered = std::min(buffer_size, kSettingReadSize);
  buffer[0] = '\0';
  platform.ProfileRead(kSettingsSection, key, kSettingNotFound, buffer, offered, kSettingsFile);
  // Whatever the platform did, the text ends inside the offered bytes.
  buffer[offered - 1] = '\0';
  std::string value(buffer);
  MakeUpper(&value);
  // Compared after upper-casing, so a sentinel stored in any letter case is
  // taken for "nothing remembered" too.
  if (value == kSettingNotFound) value.clear();
  return value;
}

void SaveSetting(DialogPlatform& platform, const char* key, const std::string& folder) {
  platform.ProfileWrite(kSettingsSection, key, folder.c_str(), kSettingsFile);
}

}  // namespace quarnel_helper
