#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform.h"

namespace quarnel::platform {

namespace {

std::string folder_of(const std::string& path) {
  const auto sep = path.find_last_of("\\/:");
  if (sep == std::string::npos) return ".";
  if (path[sep] == ':') return path.substr(0, sep + 1) + ".";
  if (sep == 0) return path.substr(0, 1);
  return path.substr(0, sep);
}

}  // namespace

std::FILE* open_input(const std::string& path) {
  const DWORD attrs = GetFileAttributesA(path.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
  return std::fopen(path.c_str(), "rb");
}

int64_t file_size(std::FILE* f) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  LARGE_INTEGER size;
  if (handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle, &size)) return -1;
  return static_cast<int64_t>(size.QuadPart);
}

namespace {

// Runs ReadFile or WriteFile (`step`) at `offset` until all `n` bytes are
// moved, the file ends or an error. A synchronous handle reads and writes at
// the offset given in OVERLAPPED.
template <typename Step>
std::size_t move_all(std::FILE* f, uint64_t offset, std::size_t n, Step step) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
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

}  // namespace

std::size_t read_at(std::FILE* f, uint64_t offset, uint8_t* dst, std::size_t n) {
  return move_all(f, offset, n,
                  [&](HANDLE h, std::size_t done, DWORD want, DWORD* moved, OVERLAPPED* at) {
                    return ReadFile(h, dst + done, want, moved, at) != 0;
                  });
}

std::size_t write_at(std::FILE* f, uint64_t offset, const uint8_t* src, std::size_t n) {
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

bool seek(std::FILE* f, uint64_t offset) {
  return _fseeki64(f, static_cast<__int64>(offset), SEEK_SET) == 0;
}

OutputCheck check_output_path(const std::string& path) {
  const DWORD attrs = GetFileAttributesA(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return OutputCheck::kOk;
  if (attrs & FILE_ATTRIBUTE_DIRECTORY) return OutputCheck::kIsDirectory;
  if (attrs & FILE_ATTRIBUTE_READONLY) return OutputCheck::kReadOnly;
  return OutputCheck::kOk;
}

std::FILE* create_temp_beside(const std::string& final_path, std::string* temp_path) {
  char name[MAX_PATH];
  // GetTempFileNameA creates the file, so the name cannot be taken by another run.
  if (GetTempFileNameA(folder_of(final_path).c_str(), "qrn", 0, name) == 0) return nullptr;
  std::FILE* f = std::fopen(name, "w+b");
  if (f == nullptr) {
    DeleteFileA(name);
    return nullptr;
  }
  *temp_path = name;
  return f;
}

void adopt_final_permissions(const std::string&, const std::string&) {
  // A new file in the output's folder already inherits that folder's access rules.
}

bool replace_file(const std::string& temp_path, const std::string& final_path) {
  return MoveFileExA(temp_path.c_str(), final_path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void remove_file(const std::string& path) { DeleteFileA(path.c_str()); }

void show_notice(const char* caption, const char* text) {
  MessageBoxA(nullptr, text, caption, MB_ICONERROR | MB_OK);
}

}  // namespace quarnel::platform
