// DialogPlatform over the Win32 API.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "platform.h"

namespace quarnel_helper {

class Win32Platform : public DialogPlatform {
 public:
  Win32Platform();

  // The dialog window whose controls are exchanged and which owns the boxes;
  // set once the window exists.
  void AttachDialog(HWND dialog) { dialog_ = dialog; }
  bool WaitCursorShown() const { return wait_cursor_count_ > 0; }
  const std::string& Title() const { return title_; }

  std::string GetControlText(int control_id) override;
  void SetControlText(int control_id, const std::string& text) override;
  bool IsChecked(int control_id) override;
  void SetChecked(int control_id, bool checked) override;
  void EndDialog(int result) override;
  bool PickFile(const OpenFileRequest& request, std::string* chosen_path) override;
  int ShowMessage(const std::string& text, unsigned type) override;
  unsigned ProfileRead(const char* section, const char* key, const char* default_value,
                       char* buffer, unsigned size, const char* file) override;
  bool ProfileWrite(const char* section, const char* key, const char* value,
                    const char* file) override;
  std::string UserSettingsFolder(bool create) override;
  unsigned CurrentDirectory(char* buffer, unsigned size) override;
  StartedProcess StartProcess(char* command_line, bool capture_output) override;
  WaitOutcome WaitForProcess(std::uintptr_t process, unsigned milliseconds) override;
  bool GetExitCode(std::uintptr_t process, std::uint32_t* code) override;
  std::string ReadOutputTail(const StartedProcess& started, std::size_t max_bytes) override;
  void ReleaseProcess(const StartedProcess& started) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;

 private:
  HWND dialog_ = nullptr;
  std::string title_;
  int wait_cursor_count_ = 0;
  HCURSOR cursor_before_wait_ = nullptr;
};

}  // namespace quarnel_helper
