// The dialog window: shows the template and forwards its messages to the dialog's logic.
#include "helper_window.h"

#include <new>

#include "icon_layout.h"
#include "resource.h"

namespace quarnel_helper {

HelperWindow::HelperWindow(HINSTANCE instance, Win32Platform& platform, CQuarnelHelperDlg& dialog)
    : instance_(instance),
      platform_(platform),
      dialog_(dialog),
      m_hIcon(LoadIconA(instance, MAKEINTRESOURCEA(IDI_APPICON))) {}

INT_PTR HelperWindow::DoModal() {
  return DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_QUARNELHELPER_DIALOG), nullptr,
                         &HelperWindow::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK HelperWindow::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  HelperWindow* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<HelperWindow*>(lparam);
    self->window_ = window;
    SetWindowLongPtrA(window, DWLP_USER, lparam);
  } else {
    self = reinterpret_cast<HelperWindow*>(GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr) return FALSE;
  }
  // No exception may unwind through the system's message dispatch. Only an
  // allocation can fail here; give up the run the way the tool does.
  try {
    return self->OnMessage(message, wparam, lparam);
  } catch (const std::bad_alloc&) {
    MessageBoxA(window, "Out of memory !", self->platform_.Title().c_str(), MB_OK | MB_ICONHAND);
    ::EndDialog(window, IDABORT);
    return TRUE;
  }
}

INT_PTR HelperWindow::OnMessage(UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      return OnCommand(LOWORD(wparam), HIWORD(wparam));
    case WM_PAINT:
      return OnPaint();
    case WM_QUERYDRAGICON:
      // One of the few dialog messages answered by the return value itself.
      return reinterpret_cast<INT_PTR>(m_hIcon);
    case WM_SETCURSOR:
      return OnSetCursor();
    default:
      return FALSE;
  }
}

BOOL HelperWindow::OnInitDialog() {
  platform_.AttachDialog(window_);
  dialog_.OnInitDialog();
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  return TRUE;  // the system puts the focus on the first tab stop
}

BOOL HelperWindow::OnCommand(int control_id, int notification) {
  switch (control_id) {
    case IDOK:
      dialog_.OnOK();
      return TRUE;
    case IDCANCEL:
      // Close box and Esc: nothing is run.
      ::EndDialog(window_, IDCANCEL);
      return TRUE;
    case IDC_BROWSE_SOURCE:
    case IDC_BROWSE_BASE:
    case IDC_BROWSE_OUTPUT:
      if (notification != BN_CLICKED) return FALSE;
      if (control_id == IDC_BROWSE_SOURCE) dialog_.OnBrowseSource();
      if (control_id == IDC_BROWSE_BASE) dialog_.OnBrowseBase();
      if (control_id == IDC_BROWSE_OUTPUT) dialog_.OnBrowseOutput();
      return TRUE;
    case IDC_MERGE:
      if (notification != BN_CLICKED) return FALSE;
      dialog_.OnMerge();
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL HelperWindow::OnPaint() {
  if (!IsIconic(window_)) return FALSE;  // the system paints the controls
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window_, &paint);
  SendMessageA(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int icon_width = GetSystemMetrics(SM_CXICON);
  const int icon_height = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(window_, &client);
  const Point origin = CenteredIconOrigin(client.right - client.left, client.bottom - client.top,
                                          icon_width, icon_height);
  DrawIcon(dc, origin.x, origin.y, m_hIcon);
  EndPaint(window_, &paint);
  return TRUE;
}

BOOL HelperWindow::OnSetCursor() {
  // While the tool runs, the wait cursor stays over every part of the dialog.
  if (!platform_.WaitCursorShown()) return FALSE;
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
  SetWindowLongPtrA(window_, DWLP_MSGRESULT, TRUE);
  return TRUE;
}

}  // namespace quarnel_helper
