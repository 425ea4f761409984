// The words of the lines for people, kept apart from what scripts read.
#include "io/explain.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace quarnel {

namespace {

// The folder part of `path` as the user wrote it, or "." for a bare name.
std::string folder_named_in(const std::string& path) {
  const auto sep = path.find_last_of("/\\");
  if (sep == std::string::npos) return ".";
  return sep == 0 ? path.substr(0, 1) : path.substr(0, sep);
}

}  // namespace

void explain(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  // Standard output is flushed first, so that on a terminal the line stands
  // after whatever the run printed before it.
  std::fflush(stdout);
  std::fprintf(stderr, "quarnel: %s\n", text.c_str());
}

void explain_open_failure(const std::string& path, int error) {
  const char* p = path.c_str();
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      explain("cannot open %s: no such file; check its name and folder", p);
      return;
    case EACCES:
    case EPERM:
      explain("cannot open %s: permission denied; you need the right to read it", p);
      return;
    case EISDIR:
      explain("cannot open %s: it is a folder; name an AFD file", p);
      return;
    default:
      explain("cannot open %s: %s", p, std::strerror(error));
      return;
  }
}

void explain_output_refused(const std::string& path, const OutputFile& output) {
  const char* p = path.c_str();
  switch (output.refusal()) {
    case platform::OutputCheck::kIsDirectory:
      explain("cannot write %s: it is a folder; name a file to write", p);
      return;
    case platform::OutputCheck::kNotAFile:
      explain("cannot write %s: it is not a regular file (a device or a pipe); name a file", p);
      return;
    case platform::OutputCheck::kReadOnly:
      explain("cannot write %s: the file is read-only; make it writable or name another", p);
      return;
    case platform::OutputCheck::kUnresolvable:
      explain("cannot write %s: its symbolic links lead nowhere (a loop, or too long a chain)", p);
      return;
    case platform::OutputCheck::kOk:
      break;
  }
  const std::string folder = folder_named_in(path);
  switch (output.create_error()) {
    case ENOENT:
    case ENOTDIR:
      explain("cannot write %s: there is no folder %s; create it or name another", p,
              folder.c_str());
      return;
    case EACCES:
    case EPERM:
      explain("cannot write %s: the folder %s may not be written; name another", p,
              folder.c_str());
      return;
    case EROFS:
      explain("cannot write %s: the folder %s is on a read-only file system", p, folder.c_str());
      return;
    default:
      explain("cannot write %s: %s", p, std::strerror(output.create_error()));
      return;
  }
}

}  // namespace quarnel
