// The folders remembered between runs, and whether the dialog merges, kept in
// the private-profile file MVT.INI. Of paths only folders are stored, never
// file names or the output name.
//
// Where MVT.INI lives: the shared file in the Windows folder, which older
// installations rely on, and a per-user copy for when the shared one cannot
// be written (a standard user on a current Windows). A key found in the
// per-user copy wins over the shared file.
#pragma once

#include <string>

#include "platform.h"

namespace quarnel_helper {

inline constexpr char kSettingsFile[] = "MVT.INI";  // no folder: the platform decides where
inline constexpr char kSettingsSection[] = "QUARNEL";
inline constexpr char kKeySourceDir[] = "SOURCEDIR";
inline constexpr char kKeyBaseDir[] = "TARGETDIR";  // folder of the basic file, not the output
inline constexpr char kKeyOutputDir[] = "OPATH";
// "1" when the merge box is ticked, "0" when not; written only when the user
// clicks the box, so the file of someone who never does stays as it was.
inline constexpr char kKeyMerge[] = "MERGE";
// Returned for a missing file, section or key; never shown to the user.
inline constexpr char kSettingNotFound[] = "SECTION NOT FOUND";
// A value is read into at most this many bytes including its terminating zero.
inline constexpr unsigned kSettingReadSize = 260;

// Reads one key into buffer (of buffer_size bytes, at least kSettingReadSize)
// and returns it upper-cased: from the per-user copy when that holds the key,
// else from the shared file; empty when neither does.
std::string LoadSetting(DialogPlatform& platform, const char* key, char* buffer,
                        unsigned buffer_size);

// Writes one key into the shared file; when that fails, into the per-user
// copy instead. A per-user copy that already holds the key gets the new value
// as well, so it never brings back an older folder. Failures are not shown:
// the pick still counts for this run.
void SaveSetting(DialogPlatform& platform, const char* key, const std::string& folder);

}  // namespace quarnel_helper
