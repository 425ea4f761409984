// The dialog window of template 102: shows the fields of CQuarnelHelperDlg,
// forwards the buttons to it and draws the application icon.
#pragma once

#include "quarnel_helper_dlg.h"
#include "win32_platform.h"

namespace quarnel_helper {

class HelperWindow {
 public:
  HelperWindow(HINSTANCE instance, Win32Platform& platform, CQuarnelHelperDlg& dialog);

  HelperWindow(const HelperWindow&) = delete;
  HelperWindow& operator=(const HelperWindow&) = delete;

  // Runs the dialog until it is ended; returns how it was ended.
  INT_PTR DoModal();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  BOOL OnInitDialog();
  BOOL OnCommand(int control_id, int notification);
  BOOL OnPaint();
  BOOL OnSetCursor();

  HINSTANCE instance_;
  HWND window_ = nullptr;
  Win32Platform& platform_;
  CQuarnelHelperDlg& dialog_;
  HICON m_hIcon;
};

}  // namespace quarnel_helper
