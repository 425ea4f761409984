// Loading and saving the remembered folders, with the per-user fallback.
#include "settings.h"

#include <algorithm>

#include "text.h"

namespace quarnel_helper {

namespace {

// The per-user copy's full path, or empty when the platform has no such folder.
std::string UserSettingsFile(DialogPlatform& platform, bool create) {
  const std::string folder = platform.UserSettingsFolder(create);
  return folder.empty() ? std::string() : folder + "\\" + kSettingsFile;
}

// Reads key from file into buffer (offered bytes) as an upper-cased value;
// false when the file does not hold the key.
bool ReadKey(DialogPlatform& platform, const char* key, const char* file, char* buffer,
             unsigned offered, std::string* value) {
  buffer[0] = '\0';
  platform.ProfileRead(kSettingsSection, key, kSettingNotFound, buffer, offered, file);
  // Whatever the platform did, the text ends inside the offered bytes.
  buffer[offered - 1] = '\0';
  *value = buffer;
  MakeUpper(value);
  // Compared after upper-casing, so a sentinel stored in any letter case is
  // taken for "nothing remembered" too.
  if (*value != kSettingNotFound) return true;
  value->clear();
  return false;
}

}  // namespace

std::string LoadSetting(DialogPlatform& platform, const char* key, char* buffer,
                        unsigned buffer_size) {
  if (buffer == nullptr || buffer_size == 0) return std::string();
  const unsigned offered = std::min(buffer_size, kSettingReadSize);
  std::string value;
  const std::string user_file = UserSettingsFile(platform, false);
  if (!user_file.empty() && ReadKey(platform, key, user_file.c_str(), buffer, offered, &value)) {
    return value;
  }
  ReadKey(platform, key, kSettingsFile, buffer, offered, &value);
  return value;
}

void SaveSetting(DialogPlatform& platform, const char* key, const std::string& folder) {
  if (platform.ProfileWrite(kSettingsSection, key, folder.c_str(), kSettingsFile)) {
    const std::string user_file = UserSettingsFile(platform, false);
    char buffer[kSettingReadSize];
    std::string stored;
    if (!user_file.empty() &&
        ReadKey(platform, key, user_file.c_str(), buffer, sizeof buffer, &stored)) {
      platform.ProfileWrite(kSettingsSection, key, folder.c_str(), user_file.c_str());
    }
    return;
  }
  const std::string user_file = UserSettingsFile(platform, true);
  if (!user_file.empty()) {
    platform.ProfileWrite(kSettingsSection, key, folder.c_str(), user_file.c_str());
  }
}

}  // namespace quarnel_helper
