// The dialog's platform interface over Win32.
#include "win32_platform.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "text.h"

namespace quarnel_helper {

static_assert(kMbOk == MB_OK && kMbOkCancel == MB_OKCANCEL);
static_assert(kMbIconHand == MB_ICONHAND && kMbIconQuestion == MB_ICONQUESTION &&
              kMbIconInformation == MB_ICONINFORMATION);
static_assert(kIdOk == IDOK && kIdCancel == IDCANCEL);
static_assert(kOfnHideReadOnly == OFN_HIDEREADONLY && kOfnOverwritePrompt == OFN_OVERWRITEPROMPT);
// The start-up record the 32-bit program hands the system is 68 bytes long.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOA) == 68);

namespace {

// The program file's full path, however long.
std::string ModulePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

HANDLE AsHandle(std::uintptr_t value) { return reinterpret_cast<HANDLE>(value); }

// An empty temporary file for a child's standard output, as an inheritable
// handle; the system removes the file when the last handle to it is closed,
// so it goes even if this program is ended before it could tidy up. Null when
// it cannot be made.
HANDLE CreateOutputFile() {
  char folder[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder) return nullptr;
  char path[MAX_PATH];
  if (GetTempFileNameA(folder, "qrh", 0, path) == 0) return nullptr;
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  const HANDLE file =
      CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable,
                  TRUNCATE_EXISTING, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileA(path);
    return nullptr;
  }
  return file;
}

}  // namespace

Win32Platform::Win32Platform() : title_(ProgramTitleOf(ModulePath())) {
  // The manifest asks for common controls 6; loading them before the dialog
  // exists gives its buttons and boxes the themed look on every Windows.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
}

std::string Win32Platform::GetControlText(int control_id) {
  const HWND control = GetDlgItem(dialog_, control_id);
  const int length = GetWindowTextLengthA(control);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(control, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

void Win32Platform::SetControlText(int control_id, const std::string& text) {
  SetDlgItemTextA(dialog_, control_id, text.c_str());
}

bool Win32Platform::IsChecked(int control_id) {
  return IsDlgButtonChecked(dialog_, control_id) == BST_CHECKED;
}

void Win32Platform::SetChecked(int control_id, bool checked) {
  CheckDlgButton(dialog_, control_id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Win32Platform::EndDialog(int result) { ::EndDialog(dialog_, result); }

bool Win32Platform::PickFile(const OpenFileRequest& request, std::string* chosen_path) {
  // The picker refuses a path longer than this instead of cutting it.
  char file[MAX_PATH] = {};
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dialog_;
  ofn.lpstrFilter = request.filter;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrInitialDir = request.initial_dir;
  ofn.Flags = request.flags;
  if (!GetOpenFileNameA(&ofn)) return false;
  *chosen_path = file;
  return true;
}

int Win32Platform::ShowMessage(const std::string& text, unsigned type) {
  return MessageBoxA(dialog_, text.c_str(), title_.c_str(), type);
}

unsigned Win32Platform::ProfileRead(const char* section, const char* key, const char* default_value,
                                    char* buffer, unsigned size, const char* file) {
  return GetPrivateProfileStringA(section, key, default_value, buffer, size, file);
}

bool Win32Platform::ProfileWrite(const char* section, const char* key, const char* value,
                                 const char* file) {
  return WritePrivateProfileStringA(section, key, value, file) != FALSE;
}

std::string Win32Platform::UserSettingsFolder(bool create) {
  char app_data[MAX_PATH];
  const int flags = CSIDL_APPDATA | (create ? CSIDL_FLAG_CREATE : 0);
  if (FAILED(SHGetFolderPathA(nullptr, flags, nullptr, SHGFP_TYPE_CURRENT, app_data))) {
    return std::string();
  }
  std::string folder = std::string(app_data) + "\\Quarnel";
  if (create && !CreateDirectoryA(folder.c_str(), nullptr) &&
      GetLastError() != ERROR_ALREADY_EXISTS) {
    return std::string();
  }
  return folder;
}

unsigned Win32Platform::CurrentDirectory(char* buffer, unsigned size) {
  return GetCurrentDirectoryA(size, buffer);
}

StartedProcess Win32Platform::StartProcess(char* command_line, bool capture_output) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINIMIZED;
  const HANDLE output = capture_output ? CreateOutputFile() : nullptr;
  if (output != nullptr) {
    // Standard input and error stay unset: the tool reads nothing, and what
    // it explains on standard error nobody could read in its minimised
    // window either.
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
  }
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, command_line, nullptr, nullptr, output != nullptr ? TRUE : FALSE,
                      NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &info)) {
    if (output != nullptr) CloseHandle(output);
    return StartedProcess{};
  }
  return StartedProcess{reinterpret_cast<std::uintptr_t>(info.hProcess),
                        reinterpret_cast<std::uintptr_t>(info.hThread),
                        reinterpret_cast<std::uintptr_t>(output)};
}

WaitOutcome Win32Platform::WaitForProcess(std::uintptr_t process, unsigned milliseconds) {
  switch (WaitForSingleObject(AsHandle(process), milliseconds)) {
    case WAIT_OBJECT_0:
      return WaitOutcome::kEnded;
    case WAIT_TIMEOUT:
      return WaitOutcome::kTimedOut;
    default:
      return WaitOutcome::kFailed;
  }
}

bool Win32Platform::GetExitCode(std::uintptr_t process, std::uint32_t* code) {
  DWORD exit_code = 0;
  if (!GetExitCodeProcess(AsHandle(process), &exit_code)) return false;
  *code = exit_code;
  return true;
}

std::string Win32Platform::ReadOutputTail(const StartedProcess& started, std::size_t max_bytes) {
  const HANDLE output = AsHandle(started.output);
  LARGE_INTEGER size;
  if (output == nullptr || !GetFileSizeEx(output, &size) || size.QuadPart <= 0)
    return std::string();
  const std::size_t wanted =
      static_cast<std::size_t>(std::min<LONGLONG>(size.QuadPart, static_cast<LONGLONG>(max_bytes)));
  LARGE_INTEGER start;
  start.QuadPart = size.QuadPart - static_cast<LONGLONG>(wanted);
  if (!SetFilePointerEx(output, start, nullptr, FILE_BEGIN)) return std::string();
  std::string tail(wanted, '\0');
  DWORD read = 0;
  if (!ReadFile(output, tail.data(), static_cast<DWORD>(wanted), &read, nullptr)) {
    return std::string();
  }
  tail.resize(read);
  return tail;
}

void Win32Platform::ReleaseProcess(const StartedProcess& started) {
  if (started.output != 0) CloseHandle(AsHandle(started.output));
  if (started.thread != 0) CloseHandle(AsHandle(started.thread));
  if (started.process != 0) CloseHandle(AsHandle(started.process));
}

void Win32Platform::BeginWaitCursor() {
  const HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
  const HCURSOR before = SetCursor(wait);
  if (wait_cursor_count_++ == 0) cursor_before_wait_ = before;
}

void Win32Platform::EndWaitCursor() {
  if (wait_cursor_count_ == 0) return;
  if (--wait_cursor_count_ == 0) {
    SetCursor(cursor_before_wait_ != nullptr ? cursor_before_wait_
                                             : LoadCursor(nullptr, IDC_ARROW));
  }
}

}  // namespace quarnel_helper
