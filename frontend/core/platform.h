// The few operating-system services the dialog's logic needs. The Win32 build
// implements them over the real API; the unit tests use a scripted fake. The
// shapes deliberately follow the Win32 calls (caller-owned buffers, sizes,
// handles that may be null) so the logic can be checked for exactly what it
// hands the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarnel_helper {

// Values shared with the Win32 headers; the Win32 layer static_asserts that
// they match, so the logic itself never needs <windows.h>.
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbIconHand = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr unsigned kOfnOverwritePrompt = 0x2;
inline constexpr unsigned kOfnHideReadOnly = 0x4;

struct OpenFileRequest {
  const char* initial_dir;  // zero-terminated
  const char* filter;       // description, pattern, ending in two zero bytes
  unsigned flags;           // kOfn* values
};

// What a started process leaves behind. Both handles are zero when nothing
// could be started; the logic then still goes through the wait and the
// exit-code query, which fail on a null handle.
struct StartedProcess {
  std::uintptr_t process = 0;
  std::uintptr_t thread = 0;
  // The file that receives the process's standard output when that was asked
  // for and could be set up; zero otherwise.
  std::uintptr_t output = 0;
};

enum class WaitOutcome { kEnded, kTimedOut, kFailed };

class DialogPlatform {
 public:
  virtual ~DialogPlatform() = default;

  // Data exchange with the dialog's controls.
  virtual std::string GetControlText(int control_id) = 0;
  virtual void SetControlText(int control_id, const std::string& text) = 0;
  virtual bool IsChecked(int control_id) = 0;
  virtual void SetChecked(int control_id, bool checked) = 0;
  // Ends the modal dialog with the given result.
  virtual void EndDialog(int result) = 0;

  // Modal open-file dialog. True only when a file was chosen; then
  // *chosen_path holds its full path.
  virtual bool PickFile(const OpenFileRequest& request, std::string* chosen_path) = 0;

  // Modal message box captioned with the program's name; returns the button
  // pressed (kIdOk, kIdCancel) or 0 when the box could not be shown.
  virtual int ShowMessage(const std::string& text, unsigned type) = 0;

  // Private-profile ("INI") file access. (Names chosen not to collide with the
  // Win32 macros of the same purpose.) The read copies the stored value or
  // the default into buffer, cut to size - 1 characters and zero-terminated,
  // and returns the number of characters copied.
  virtual unsigned ProfileRead(const char* section, const char* key, const char* default_value,
                               char* buffer, unsigned size, const char* file) = 0;
  virtual bool ProfileWrite(const char* section, const char* key, const char* value,
                            const char* file) = 0;
  // The folder that keeps this user's own copy of the settings (on Windows
  // "Quarnel" in the user's application-data folder), created first when
  // create is true. Empty when there is none or it cannot be made.
  virtual std::string UserSettingsFolder(bool create) = 0;

  // Copies the current directory into buffer and returns its length; when the
  // buffer is too small, returns the size needed and copies nothing; 0 on
  // failure.
  virtual unsigned CurrentDirectory(char* buffer, unsigned size) = 0;

  // Starts command_line (program and arguments in one text) with a minimised
  // window at normal priority, in the current directory and environment,
  // inheriting no handle. With capture_output the process's standard output
  // goes to a temporary file instead (the only handle it inherits); when that
  // file cannot be made, the process starts as without.
  virtual StartedProcess StartProcess(char* command_line, bool capture_output) = 0;
  virtual WaitOutcome WaitForProcess(std::uintptr_t process, unsigned milliseconds) = 0;
  // Stores the exit code of an ended process; stores nothing and returns false
  // when the query fails.
  virtual bool GetExitCode(std::uintptr_t process, std::uint32_t* code) = 0;
  // The last max_bytes (or fewer) of what an ended process wrote to its
  // captured standard output; empty when nothing was captured.
  virtual std::string ReadOutputTail(const StartedProcess& started, std::size_t max_bytes) = 0;
  // Closes the handles and removes the captured output's file.
  virtual void ReleaseProcess(const StartedProcess& started) = 0;

  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
};

}  // namespace quarnel_helper
