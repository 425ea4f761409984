#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

std::size_t read_at(std::FILE* f, uint64_t offset, uint8_t* dst, std::size_t n) {
  const int fd = fileno(f);
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = pread(fd, dst + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

bool seek(std::FILE* f, uint64_t offset) {
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

OutputCheck check_output_path(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return OutputCheck::kOk;
  if (S_ISDIR(st.st_mode)) return OutputCheck::kIsDirectory;
  if (access(path.c_str(), W_OK) != 0) return OutputCheck::kReadOnly;
  return OutputCheck::kOk;
}

std::FILE* create_temp_beside(const std::string& final_path, std::string* temp_path) {
  std::string pattern = folder_of(final_path) + "/.quarnel-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) return nullptr;
  std::FILE* f = fdopen(fd, "w+b");
  if (f == nullptr) {
    close(fd);
    unlink(name.data());
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
  return std::rename(temp_path.c_str(), final_path.c_str()) == 0;
}

void remove_file(const std::string& path) { unlink(path.c_str()); }

void show_notice(const char* caption, const char* text) {
  // The console is the tool's report channel and must stay exactly as it is, so
  // the notice goes to the user's terminal directly, when there is one.
  std::FILE* tty = std::fopen("/dev/tty", "w");
  if (tty == nullptr) return;
  std::fprintf(tty, "%s:\n%s\n", caption, text);
  std::fclose(tty);
}

}  // namespace quarnel::platform
