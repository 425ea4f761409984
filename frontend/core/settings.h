// The folders remembered between runs, kept in the private-profile file
// MVT.INI. Only folders are stored, never file names or the output name.
#pragma once

#include <string>

#include "platform.h"

namespace quarnel_helper {

inline constexpr char kSettingsFile[] = "MVT.INI";  // no folder: the platform decides where
inline constexpr char kSettingsSection[] = "QUARNEL";
inline constexpr char kKeySourceDir[] = "SOURCEDIR";
inline constexpr char kKeyBaseDir[] = "TARGETDIR";  // folder of the basic file, not the output
inline constexpr char kKeyOutputDir[] = "OPATH";
// Returned for a missing file, section or key; never shown to the user.
inline constexpr char kSettingNotFound[] = "SECTION NOT FOUND";
// A value is read into at most this many bytes including its terminating zero.
inline constexpr unsigned kSettingReadSize = 260;

// Reads one key into buffer (of buffer_size bytes, at least kSettingReadSize)
// and returns it upper-cased; empty when the key is missing.
std::string LoadSetting(DialogPlatform& platform, const char* key, char* buffer,
                        unsigned buffer_size);

// Writes one key. A failed write is not reported: the pick still counts for
// this run, the next run just starts from the older value.
void SaveSetting(DialogPlatform& platform, const char* key, const std::string& folder);

}  // namespace quarnel_helper
