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

#include "platform.h"

namespace quarnel::platform {

namespace {

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
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return nullptr;
  // fopen succeeds on a directory; reading it would fail later in confusing ways.
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(f);
    return nullptr;
  }
  return f;
}

int64_t file_size(std::FILE* f) {
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

}  // namespace

std::size_t read_at(std::FILE* f, uint64_t offset, uint8_t* dst, std::size_t n) {
  const int fd = fileno(f);
  return move_all(n, [&](std::size_t done) {
    return pread(fd, dst + done, n - done, static_cast<off_t>(offset + done));
  });
}

std::size_t write_at(std::FILE* f, uint64_t offset, const uint8_t* src, std::size_t n) {
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

bool seek(std::FILE* f, uint64_t offset) {
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

OutputCheck check_output_path(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return OutputCheck::kOk;
  if (S_ISDIR(st.st_mode)) return OutputCheck::kIsDirectory;
  // A device or a pipe would be replaced by a plain file at the rename.
  if (!S_ISREG(st.st_mode)) return OutputCheck::kNotAFile;
  if (access(path.c_str(), W_OK) != 0) return OutputCheck::kReadOnly;
  return OutputCheck::kOk;
}

std::FILE* create_temp_beside(const std::string& final_path, std::string* temp_path) {
  std::string pattern = folder_of(final_path) + "/.quarnel-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  install_cleanup_handlers();
  const int fd = mkstemp(name.data());
  if (fd < 0) return nullptr;
  arm_cleanup(name.data());
  std::FILE* f = fdopen(fd, "w+b");
  if (f == nullptr) {
    close(fd);
    unlink(name.data());
    disarm_cleanup();
    return nullptr;
  }
  *temp_path = name.data();
  return f;
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
  const bool moved = std::rename(temp_path.c_str(), final_path.c_str()) == 0;
  if (moved) disarm_cleanup();
  return moved;
}

void remove_file(const std::string& path) {
  unlink(path.c_str());
  disarm_cleanup();
}

void show_notice(const char* caption, const char* text) {
  // The console is the tool's report channel and must stay exactly as it is, so
  // the notice goes to the user's terminal directly, when there is one.
  std::FILE* tty = std::fopen("/dev/tty", "w");
  if (tty == nullptr) return;
  std::fprintf(tty, "%s:\n%s\n", caption, text);
  std::fclose(tty);
}

}  // namespace quarnel::platform
