// Reads what a running Windows program shows, for the end-to-end tests under
// Wine: the X server tells a script where windows are, not what they say.
//
//   window_probe texts TITLE      the window's caption and style, then one
//                                 line per control: id, class, style, text
//   window_probe text TITLE ID    the text of control ID
//   window_probe rect TITLE ID    screen rectangle of control ID: x y w h
//   window_probe checked TITLE ID 1 when check box ID is ticked, else 0
//   window_probe has TITLE        exit status 0 when such a window is shown
//
// TITLE is matched exactly against top-level windows, and a shown one is
// preferred: a window exists before its dialog procedure has filled in its
// controls, and is shown only after that. Texts are printed as UTF-8 with
// line breaks written as \n (backslashes stay as they are).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring Wide(const char* text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size);
  out.resize(out.size() - 1);
  return out;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
  return out;
}

// WM_GETTEXT is marshalled across processes, so this reads any window's text.
std::string TextOf(HWND window) {
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return Utf8(text);
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  std::printf("control\t%d\t%s\t%08lX\t%s\n", GetDlgCtrlID(control), ClassOf(control).c_str(),
              static_cast<unsigned long>(GetWindowLongW(control, GWL_STYLE)),
              Escaped(TextOf(control)).c_str());
  return TRUE;
}

struct Search {
  std::wstring title;
  HWND shown = nullptr;
};

BOOL CALLBACK MatchShown(HWND window, LPARAM data) {
  Search* search = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window)) return TRUE;
  const int length = GetWindowTextLengthW(window);
  if (length != static_cast<int>(search->title.size())) return TRUE;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
  if (text != search->title) return TRUE;
  search->shown = window;
  return FALSE;
}

// A shown top-level window with that title, else a hidden one, else null.
HWND FindTopLevel(const std::wstring& title) {
  Search search{title};
  EnumWindows(MatchShown, reinterpret_cast<LPARAM>(&search));
  return search.shown != nullptr ? search.shown : FindWindowW(nullptr, title.c_str());
}

int Usage() {
  std::fprintf(stderr,
               "usage: window_probe texts TITLE | text TITLE ID | rect TITLE ID | checked TITLE ID"
               " | has TITLE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  const HWND window = FindTopLevel(Wide(argv[2]));
  if (command == "has") return window != nullptr && IsWindowVisible(window) ? 0 : 1;
  if (window == nullptr) {
    std::fprintf(stderr, "no window titled \"%s\"\n", argv[2]);
    return 1;
  }
  if (command == "texts") {
    std::printf("window\t%08lX\t%08lX\t%s\n",
                static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)),
                Escaped(TextOf(window)).c_str());
    EnumChildWindows(window, PrintControl, 0);
    return 0;
  }
  if (argc < 4 || (command != "text" && command != "checked" && command != "rect")) return Usage();
  const HWND control = GetDlgItem(window, std::atoi(argv[3]));
  RECT r{};
  if (control == nullptr || (command == "rect" && !GetWindowRect(control, &r))) return 1;
  if (command == "text") {
    std::printf("%s\n", Escaped(TextOf(control)).c_str());
  } else if (command == "checked") {
    std::printf("%d\n", SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
  } else {
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  return 0;
}
