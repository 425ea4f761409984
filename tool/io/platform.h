// The few operations that differ between POSIX and Windows. Everything else in
// the tool is portable C++ over the C standard library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace quarnel::platform {

// The calls of this layer that touch a file and whose failure the tool must
// handle, named for the fault-injection test.
enum class Call : uint8_t {
  kOpenInput,
  kInputSize,
  kRead,
  kCheckOutput,
  kCreateTemp,
  kWrite,
  kReadBack,
  kSyncFile,
  kCloseOutput,
  kRename,
  kSyncFolder,
};

// Test seam: when set, each of those calls asks the hook first and, when it
// answers true, fails the way the real call would, without making it. Null in
// real runs, where it costs one predictable branch per call.
using CallHook = bool (*)(Call);
extern CallHook g_call_hook;
inline bool injected_failure(Call call) { return g_call_hook != nullptr && g_call_hook(call); }

// Opens an existing file for reading only (inputs are never changed, so they
// need not be writable). Returns null when the file cannot be opened, with
// errno saying why (EISDIR for a folder).
std::FILE* open_input(const std::string& path);

// Standard input, made to pass bytes unchanged (Windows would otherwise turn
// CR LF into LF and stop at Ctrl+Z).
std::FILE* binary_standard_input();

// Size in bytes of an open file, or -1, with errno, when it cannot be told.
int64_t file_size(std::FILE* f);

// Reads up to `n` bytes at `offset` of an input without moving its stream:
// one system call, where a seek and a read would take two. Returns the bytes
// read; fewer at the end of the file or on an error.
std::size_t read_at(std::FILE* f, uint64_t offset, uint8_t* dst, std::size_t n);

// Writes `n` bytes at `offset` of an output straight to the file, past the
// stream's own buffer, which the caller leaves empty. Returns the bytes
// written; fewer on an error.
std::size_t write_at(std::FILE* f, uint64_t offset, const uint8_t* src, std::size_t n);

// Reads back bytes written before to an output, like read_at. Its own call,
// so that a fault test can tell it from an input's read.
std::size_t read_back_at(std::FILE* f, uint64_t offset, uint8_t* dst, std::size_t n);

// Zeroed memory for the run's fixed blocks, in one piece, or null. On Linux
// it is backed by huge pages where the system offers them: touching hundreds
// of small pages one by one costs a small file's run more than its work.
void* allocate_blocks(std::size_t size);
void release_blocks(void* blocks, std::size_t size);

// Why an output path cannot be written, checked before anything is written.
enum class OutputCheck { kOk, kIsDirectory, kNotAFile, kReadOnly, kUnresolvable };
// Checks the file an output path leads to and fills `target` with its path:
// the end of a chain of symbolic links (made even when it does not exist yet),
// so that the link stays a link; the path itself otherwise.
OutputCheck check_output_path(const std::string& path, std::string* target);

// Creates a new, empty temporary file in the folder of `final_path`, opened for
// reading and writing in binary mode. Fills `temp_path`; null, with errno
// saying why (ENOENT for a missing folder), on failure.
std::FILE* create_temp_beside(const std::string& final_path, std::string* temp_path);

// A scratch file in the folder of `final_path`, opened for reading and
// writing in binary mode, that no one else sees and that goes away when it is
// closed or the process ends, however it ends. Null on failure.
std::FILE* create_scratch_beside(const std::string& final_path);

// Waits until the file's data is on the disk.
bool sync(std::FILE* f);
// Closes an output; false when its last bytes could not be written.
bool close_output(std::FILE* f);

// Gives the finished temporary file the permissions a plain create of
// `final_path` would have given it (or those of the file it replaces).
void adopt_final_permissions(const std::string& temp_path, const std::string& final_path);

// Moves `temp_path` over `final_path`, replacing an existing file.
bool replace_file(const std::string& temp_path, const std::string& final_path);

// Makes the last rename into the folder of `path` survive a power cut.
bool sync_folder_of(const std::string& path);

// Removes a file; failures are ignored (used to drop temporaries).
void remove_file(const std::string& path);

// Tells a user who started the tool without a command line what it needs:
// Windows' message box for a program started from the desktop; elsewhere
// `usage`, on the terminal. Standard output is left as it is.
void show_no_arguments_notice(const char* usage);

// Whether the terminal's text is UTF-8: the command line a POSIX terminal
// passes and the lines it shows usually are, while Windows hands a console
// program its ANSI code page and shows its lines in the console's.
bool terminal_uses_utf8();

// This process's id, which tells apart the outputs of runs in one instant.
uint32_t process_id();

// Whether `path` leads to the very file that `f` has open (a symbolic link
// followed). False when either cannot be told, as for a pipe.
bool is_same_file(std::FILE* f, const std::string& path);

}  // namespace quarnel::platform
