// The platform layer over POSIX: files, temporary outputs, syncs, signals.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "io/platform.h"

namespace quarnel::platform {

CallHook g_call_hook = nullptr;

namespace {

// Longer chains of symbolic links are taken for a loop, as the system itself
// takes them.
constexpr int kMaxLinkHops = 40;

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The temporary file being written, for the signal handler: a run stopped by
// Ctrl+C, a hang-up or a termination request leaves no temporary file behind.
// The handler may only use async-signal-safe calls, so the path lives in a
// fixed buffer and is published with a flag.
char g_pending_temp[PATH_MAX];
volatile std::sig_atomic_t g_pending_armed = 0;
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

extern "C" void remove_pending_temp(int sig) {
  if (g_pending_armed) unlink(g_pending_temp);
  // The handler was installed for one delivery; the default action now ends
  // the process the way the signal would have.
  raise(sig);
}

void install_cleanup_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  // Past a file-size limit a write must fail and be reported as such, rather
  // than the signal ending the run with a temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  for (const int sig : kCleanupSignals) {
    struct sigaction old_action;
    // A signal the caller chose to ignore (nohup) stays ignored.
    if (sigaction(sig, nullptr, &old_action) != 0 || old_action.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = remove_pending_temp;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
  }
}

void arm_cleanup(const char* temp_path) {
  g_pending_armed = 0;
  const std::size_t n = std::strlen(temp_path);
  if (n >= sizeof g_pending_temp) return;
  std::memcpy(g_pending_temp, temp_path, n + 1);
  g_pending_armed = 1;
}

void disarm_cleanup() { g_pending_armed = 0; }

}  // namespace

std::FILE* open_input(const std::string& path) {
  if (injected_failure(Call::kOpenInput)) {
    errno = EIO;
    return nullptr;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return nullptr;
  // fopen succeeds on a directory; reading it would fail later in confusing ways.
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
    std::fclose(f);
    errno = error;
    return nullptr;
  }
  return f;
}

int64_t file_size(std::FILE* f) {
  if (injected_failure(Call::kInputSize)) {
    errno = EIO;
    return -1;
  }
  struct stat st;
  if (fstat(fileno(f), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

namespace {

// Runs a positional read or write (`step`, given the bytes done so far) until
// all `n` bytes are moved, the file ends or an error other than an interrupt.
template <typename Step>
std::size_t move_all(std::size_t n, Step step) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t moved = step(done);
    if (moved < 0 && errno == EINTR) continue;
    if (moved <= 0) break;
    done += static_cast<std::size_t>(moved);
  }
  return done;
}

std::size_t pread_all(std::FILE* f, uint64_t offset, uint8_t* dst, std::size_t n) {
  const int fd = fileno(f);
  return move_all(n, [&](std::size_t done) {
    return pread(fd, dst + done, n - done, static_cast<off_t>(offset + done));
  });
}

}  // namespace

std::size_t read_at(std::FILE* f, uint64_t offset, uint8_t* dst, std::size_t n) {
  if (injected_failure(Call::kRead)) return 0;
  return pread_all(f, offset, dst, n);
}

std::size_t read_back_at(std::FILE* f, uint64_t offset, uint8_t* dst, std::size_t n) {
  if (injected_failure(Call::kReadBack)) return 0;
  return pread_all(f, offset, dst, n);
}

std::size_t write_at(std::FILE* f, uint64_t offset, const uint8_t* src, std::size_t n) {
  if (injected_failure(Call::kWrite)) return 0;
  const int fd = fileno(f);
  return move_all(n, [&](std::size_t done) {
    return pwrite(fd, src + done, n - done, static_cast<off_t>(offset + done));
  });
}

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t huge_pages_for(std::size_t size) {
  return (size + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

void* allocate_blocks(std::size_t size) {
  const std::size_t span = huge_pages_for(size);
  // One huge page more than needed, so that a start on a huge-page boundary
  // can be cut out of it.
  void* mapped =
      mmap(nullptr, span + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  const uintptr_t tail = start + span + kHugePage - (aligned + span);
  if (tail > 0) munmap(reinterpret_cast<void*>(aligned + span), tail);
#ifdef MADV_HUGEPAGE
  madvise(reinterpret_cast<void*>(aligned), span, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(aligned);
}

void release_blocks(void* blocks, std::size_t size) {
  if (blocks != nullptr) munmap(blocks, huge_pages_for(size));
}

namespace {

// Follows `path` through symbolic links to the name that is not one (or does
// not exist yet). A relative link is read from the link's own folder.
bool resolve_links(const std::string& path, std::string* target) {
  std::string at = path;
  std::vector<char> text(PATH_MAX);
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat st;
    if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = at;
      return true;
    }
    const ssize_t n = readlink(at.c_str(), text.data(), text.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= text.size()) return false;
    const std::string link(text.data(), static_cast<std::size_t>(n));
    at = link[0] == '/' ? link : folder_of(at) + "/" + link;
  }
  return false;
}

}  // namespace

OutputCheck check_output_path(const std::string& path, std::string* target) {
  if (injected_failure(Call::kCheckOutput) || !resolve_links(path, target)) {
    return OutputCheck::kUnresolvable;
  }
  struct stat st;
  if (stat(target->c_str(), &st) != 0) return OutputCheck::kOk;
  if (S_ISDIR(st.st_mode)) return OutputCheck::kIsDirectory;
  // A device or a pipe would be replaced by a plain file at the rename.
  if (!S_ISREG(st.st_mode)) return OutputCheck::kNotAFile;
  if (access(target->c_str(), W_OK) != 0) return OutputCheck::kReadOnly;
  return OutputCheck::kOk;
}

std::FILE* create_temp_beside(const std::string& final_path, std::string* temp_path) {
  std::string pattern = folder_of(final_path) + "/.quarnel-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (injected_failure(Call::kCreateTemp)) {
    errno = EIO;
    return nullptr;
  }
  install_cleanup_handlers();
  // Room for the name first: once the file exists, nothing may fail to
  // allocate before the caller knows it.
  temp_path->reserve(name.size());
  // A signal between the file's creation and its arming would leave it
  // behind: it waits until the handler knows the file.
  sigset_t blocked;
  sigset_t before;
  sigemptyset(&blocked);
  for (const int sig : kCleanupSignals) sigaddset(&blocked, sig);
  sigprocmask(SIG_BLOCK, &blocked, &before);
  const int fd = mkstemp(name.data());
  if (fd >= 0) arm_cleanup(name.data());
  sigprocmask(SIG_SETMASK, &before, nullptr);
  if (fd < 0) return nullptr;
  std::FILE* f = fdopen(fd, "w+b");
  if (f == nullptr) {
    const int error = errno;
    close(fd);
    unlink(name.data());
    disarm_cleanup();
    errno = error;
    return nullptr;
  }
  *temp_path = name.data();
  return f;
}

std::FILE* binary_standard_input() { return stdin; }

std::FILE* create_scratch_beside(const std::string& final_path) {
  if (injected_failure(Call::kCreateTemp)) return nullptr;
  std::string pattern = folder_of(final_path) + "/.quarnel-scratch-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) return nullptr;
  // Without a name the file needs no cleanup: its space is freed at close.
  unlink(name.data());
  std::FILE* f = fdopen(fd, "w+b");
  if (f == nullptr) close(fd);
  return f;
}

bool sync(std::FILE* f) {
  if (injected_failure(Call::kSyncFile)) return false;
  // fsync rather than fdatasync: the permissions set before it must last too.
  int rc;
  while ((rc = fsync(fileno(f))) != 0 && errno == EINTR) {
  }
  return rc == 0;
}

bool close_output(std::FILE* f) {
  const bool failing = injected_failure(Call::kCloseOutput);
  return std::fclose(f) == 0 && !failing;
}

void adopt_final_permissions(const std::string& temp_path, const std::string& final_path) {
  struct stat st;
  mode_t mode;
  if (stat(final_path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  chmod(temp_path.c_str(), mode);
}

bool replace_file(const std::string& temp_path, const std::string& final_path) {
  if (injected_failure(Call::kRename)) return false;
  const bool moved = std::rename(temp_path.c_str(), final_path.c_str()) == 0;
  if (moved) disarm_cleanup();
  return moved;
}

bool sync_folder_of(const std::string& path) {
  if (injected_failure(Call::kSyncFolder)) return false;
  const int fd = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that may be written but not read cannot be opened to be synced;
  // its rename is then as lasting as the file system makes it anyway.
  if (fd < 0) return true;
  int rc;
  while ((rc = fsync(fd)) != 0 && errno == EINTR) {
  }
  // Some file systems cannot sync a folder at all, and say so.
  const bool synced = rc == 0 || errno == EINVAL || errno == ENOTSUP;
  close(fd);
  return synced;
}

void remove_file(const std::string& path) {
  unlink(path.c_str());
  disarm_cleanup();
}

void show_no_arguments_notice(const char* usage) {
  // Standard output is the tool's report channel and must stay exactly as it
  // is, so the usage goes to the user's terminal directly, when there is one.
  std::FILE* tty = std::fopen("/dev/tty", "w");
  if (tty == nullptr) return;
  std::fputs(usage, tty);
  std::fclose(tty);
}

bool terminal_uses_utf8() { return true; }

uint32_t process_id() { return static_cast<uint32_t>(getpid()); }

bool is_same_file(std::FILE* f, const std::string& path) {
  struct stat open_file;
  struct stat named;
  return fstat(fileno(f), &open_file) == 0 && stat(path.c_str(), &named) == 0 &&
         open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

}  // namespace quarnel::platform
