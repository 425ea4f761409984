// QuarnelHelper's entry: one modal dialog is the whole program.
#include "helper_window.h"
#include "quarnel_helper_dlg.h"
#include "win32_platform.h"

namespace quarnel_helper {

class CQuarnelHelperApp {
 public:
  explicit CQuarnelHelperApp(HINSTANCE instance) : instance_(instance) {}

  // Runs the dialog and returns FALSE: there is no message loop after it,
  // whichever way the dialog was closed.
  BOOL InitInstance() {
    Win32Platform platform;
    // Reads the tool folder and the remembered folders before the window exists.
    CQuarnelHelperDlg dialog(platform);
    HelperWindow window(instance_, platform, dialog);
    window.DoModal();
    return FALSE;
  }

 private:
  HINSTANCE instance_;
};

}  // namespace quarnel_helper

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  quarnel_helper::CQuarnelHelperApp app(instance);
  app.InitInstance();
  return 0;
}
