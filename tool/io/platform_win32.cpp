// The platform layer over Win32: files, temporary outputs, flushes, console events.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "io/platform.h"

namespace quarnel::platform {

CallHook g_call_hook = nullptr;

namespace {

// The temporary file being written, for the console control handler: Ctrl+C,
// Ctrl+Break, closing the console, logging off or shutting down during a run
// leaves no temporary file behind. The handler runs on a thread of its own
// while the run goes on, so the path lives in a fixed buffer behind a flag.
char g_pending_temp[MAX_PATH];
volatile LONG g_pending_armed = 0;
// Held from before a temporary file exists until it is armed, and around its
// rename: the handler waits for it, so it never meets a file that exists but
// is not armed yet.
SRWLOCK g_pending_lock = SRWLOCK_INIT;

class PendingLock {
 public:
  PendingLock() { AcquireSRWLockExclusive(&g_pending_lock); }
  ~PendingLock() { ReleaseSRWLockExclusive(&g_pending_lock); }
  PendingLock(const PendingLock&) = delete;
  PendingLock& operator=(const PendingLock&) = delete;
};

BOOL WINAPI remove_pending_temp(DWORD /*event*/) {
  // Never released: the process ends below.
  AcquireSRWLockExclusive(&g_pending_lock);
  // The run's own handle shares deletion, so the file goes when the process
  // ends, which it does here with the status Windows gives a run stopped by
  // Ctrl+C: the default handling would end it too, but Wine's with status 0,
  // which a caller would take for success.
  if (InterlockedCompareExchange(&g_pending_armed, 0, 0) != 0) DeleteFileA(g_pending_temp);
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;
}

// Before the first temporary file exists: until then Ctrl+C has nothing to
// remove, and the default handling would end the run with status 0 under Wine.
void install_handler() {
  static bool installed = false;
  if (!installed) installed = SetConsoleCtrlHandler(remove_pending_temp, TRUE) != 0;
}

void arm_cleanup(const char* temp_path) {
  InterlockedExchange(&g_pending_armed, 0);
  const std::size_t n = std::strlen(temp_path);
  if (n >= sizeof g_pending_temp) return;
  std::memcpy(g_pending_temp, temp_path, n + 1);
  InterlockedExchange(&g_pending_armed, 1);
}

void disarm_cleanup() { InterlockedExchange(&g_pending_armed, 0); }

HANDLE handle_of(std::FILE* f) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f))); }

// A read-write binary stream over `h`, which it then owns; null, with `h`
// closed, when there is none.
std::FILE* stream_of(HANDLE h) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
  std::FILE* f = fd >= 0 ? _fdopen(fd, "w+b") : nullptr;
  if (f == nullptr) {
    if (fd >= 0) {
      _close(fd);
    } else {
      CloseHandle(h);
    }
  }
  return f;
}

std::string folder_of(const std::string& path) {
  const auto sep = path.find_last_of("\\/:");
  if (sep == std::string::npos) return ".";
  if (path[sep] == ':') return path.substr(0, sep + 1) + ".";
  if (sep == 0) return path.substr(0, 1);
  return path.substr(0, sep);
}

// errno for the last Win32 error, for the lines that say why a file failed.
void set_errno_from_last_error() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT:
      errno = EACCES;
      break;
    default:
      errno = EIO;
      break;
  }
}

}  // namespace

std::FILE* open_input(const std::string& path) {
  if (injected_failure(Call::kOpenInput)) {
    errno = EIO;
    return nullptr;
  }
  const DWORD attrs = GetFileAttributesA(path.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
    errno = EISDIR;
    return nullptr;
  }
  return std::fopen(path.c_str(), "rb");
}

int64_t file_size(std::FILE* f) {
  if (injected_failure(Call::kInputSize)) {
    errno = EIO;
    return -1;
  }
  const HANDLE handle = handle_of(f);
  LARGE_INTEGER size;
  if (handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle, &size)) {
    errno = EIO;
    return -1;
  }
  return static_cast<int64_t>(size.QuadPart);
}

namespace {

// Runs ReadFile or WriteFile (`step`) at `offset` until all `n` bytes are
// moved, the file ends or an error. A synchronous handle reads and writes at
// the offset given in OVERLAPPED.
template <typename Step>
std::size_t move_all(std::FILE* f, uint64_t offset, std::size_t n, Step step) {
  const HANDLE handle = handle_of(f);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  std::size_t done = 0;
  while (done < n) {
    OVERLAPPED at{};
    const uint64_t pos = offset + done;
    at.Offset = static_cast<DWORD>(pos);
    at.OffsetHigh = static_cast<DWORD>(pos >> 32);
    const std::size_t left = n - done;
    const DWORD want = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
    DWORD moved = 0;
    if (!step(handle, done, want, &moved, &at) || moved == 0) break;
    done += moved;
  }
  return done;
}

std::size_t read_file_at(std::FILE* f, uint64_t offset, uint8_t* dst, std::size_t n) {
  return move_all(f, offset, n,
                  [&](HANDLE h, std::size_t done, DWORD want, DWORD* moved, OVERLAPPED* at) {
                    return ReadFile(h, dst + done, want, moved, at) != 0;
                  });
}

}  // namespace

std::size_t read_at(std::FILE* f, uint64_t offset, uint8_t* dst, std::size_t n) {
  if (injected_failure(Call::kRead)) return 0;
  return read_file_at(f, offset, dst, n);
}

std::size_t read_back_at(std::FILE* f, uint64_t offset, uint8_t* dst, std::size_t n) {
  if (injected_failure(Call::kReadBack)) return 0;
  return read_file_at(f, offset, dst, n);
}

std::size_t write_at(std::FILE* f, uint64_t offset, const uint8_t* src, std::size_t n) {
  if (injected_failure(Call::kWrite)) return 0;
  return move_all(f, offset, n,
                  [&](HANDLE h, std::size_t done, DWORD want, DWORD* moved, OVERLAPPED* at) {
                    return WriteFile(h, src + done, want, moved, at) != 0;
                  });
}

void* allocate_blocks(std::size_t size) {
  return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void release_blocks(void* blocks, std::size_t /*size*/) {
  if (blocks != nullptr) VirtualFree(blocks, 0, MEM_RELEASE);
}

namespace {

// The file a symbolic link (or junction) leads to, from the system itself.
// A link whose target is missing cannot be followed here and is replaced.
std::string link_target(const std::string& path) {
  const HANDLE h =
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return path;
  char name[MAX_PATH];
  const DWORD n = GetFinalPathNameByHandleA(h, name, MAX_PATH, FILE_NAME_NORMALIZED);
  CloseHandle(h);
  if (n == 0 || n >= MAX_PATH) return path;
  // The answer starts with \\?\ (\\?\UNC\ for a share), which the ANSI
  // calls used for the output do not all take.
  std::string target(name, n);
  if (target.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + target.substr(8);
  if (target.rfind("\\\\?\\", 0) == 0) return target.substr(4);
  return target;
}

}  // namespace

OutputCheck check_output_path(const std::string& path, std::string* target) {
  if (injected_failure(Call::kCheckOutput)) return OutputCheck::kUnresolvable;
  DWORD attrs = GetFileAttributesA(path.c_str());
  *target = path;
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
    *target = link_target(path);
    attrs = GetFileAttributesA(target->c_str());
  }
  if (attrs == INVALID_FILE_ATTRIBUTES) return OutputCheck::kOk;
  if (attrs & FILE_ATTRIBUTE_DIRECTORY) return OutputCheck::kIsDirectory;
  if (attrs & FILE_ATTRIBUTE_READONLY) return OutputCheck::kReadOnly;
  return OutputCheck::kOk;
}

std::FILE* create_temp_beside(const std::string& final_path, std::string* temp_path) {
  if (injected_failure(Call::kCreateTemp)) {
    errno = EIO;
    return nullptr;
  }
  install_handler();
  // Room for the name first: once the file exists, nothing may fail to
  // allocate before the caller knows it.
  temp_path->reserve(MAX_PATH);
  const std::string folder = folder_of(final_path);
  const PendingLock lock;
  char name[MAX_PATH];
  // GetTempFileNameA creates the file, so the name cannot be taken by another run.
  if (GetTempFileNameA(folder.c_str(), "qrn", 0, name) == 0) {
    set_errno_from_last_error();
    return nullptr;
  }
  arm_cleanup(name);
  // Opened to share deletion, so that the control handler can remove it
  // while the run still writes.
  const HANDLE h =
      CreateFileA(name, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    set_errno_from_last_error();
    DeleteFileA(name);
    disarm_cleanup();
    return nullptr;
  }
  std::FILE* f = stream_of(h);
  if (f == nullptr) {
    DeleteFileA(name);
    disarm_cleanup();
    return nullptr;
  }
  *temp_path = name;
  return f;
}

std::FILE* binary_standard_input() {
  _setmode(_fileno(stdin), _O_BINARY);
  return stdin;
}

std::FILE* create_scratch_beside(const std::string& final_path) {
  if (injected_failure(Call::kCreateTemp)) return nullptr;
  char name[MAX_PATH];
  if (GetTempFileNameA(folder_of(final_path).c_str(), "qrs", 0, name) == 0) return nullptr;
  // Deleted by Windows when its last handle closes, also when the process is
  // stopped.
  const HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                               TRUNCATE_EXISTING,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DeleteFileA(name);
    return nullptr;
  }
  return stream_of(h);
}

bool sync(std::FILE* f) {
  if (injected_failure(Call::kSyncFile)) return false;
  return FlushFileBuffers(handle_of(f)) != 0;
}

bool close_output(std::FILE* f) {
  const bool failing = injected_failure(Call::kCloseOutput);
  return std::fclose(f) == 0 && !failing;
}

void adopt_final_permissions(const std::string&, const std::string&) {
  // A new file in the output's folder already inherits that folder's access rules.
}

bool replace_file(const std::string& temp_path, const std::string& final_path) {
  if (injected_failure(Call::kRename)) return false;
  // Write-through: the call returns once the move is on the disk. A Ctrl+C
  // meanwhile waits, then finds the temporary file either still armed or gone.
  const PendingLock lock;
  const bool moved = MoveFileExA(temp_path.c_str(), final_path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (moved) disarm_cleanup();
  return moved;
}

bool sync_folder_of(const std::string& /*path*/) {
  // The write-through move is durable already; a folder cannot be flushed here.
  return !injected_failure(Call::kSyncFolder);
}

void remove_file(const std::string& path) {
  DeleteFileA(path.c_str());
  disarm_cleanup();
}

void show_no_arguments_notice(const char* /*usage*/) {
  // Started from the desktop, the program has no console to show a usage on.
  MessageBoxA(nullptr,
              "QUARNEL is a Win32 console application\nand needs command line parameters.\n"
              "Please open a console window (DOS Box)\nto enter a command line or use a\n"
              "front end application like QUARNELHELPER",
              "Information", MB_ICONERROR | MB_OK);
}

bool terminal_uses_utf8() { return false; }

uint32_t process_id() { return GetCurrentProcessId(); }

bool is_same_file(std::FILE* f, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION open_file;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  if (handle == INVALID_HANDLE_VALUE || GetFileInformationByHandle(handle, &open_file) == 0) {
    return false;  // a pipe, or a console
  }
  // Opened for no access at all: only to ask which file the path leads to.
  const HANDLE named_handle =
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named_handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION named;
  const bool known = GetFileInformationByHandle(named_handle, &named) != 0;
  CloseHandle(named_handle);
  return known && open_file.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
         open_file.nFileIndexHigh == named.nFileIndexHigh &&
         open_file.nFileIndexLow == named.nFileIndexLow;
}

}  // namespace quarnel::platform
