// A scripted stand-in for the system: records every call in order and answers
// from queues the test fills in.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform.h"

namespace quarnel_helper {

class FakePlatform : public DialogPlatform {
 public:
  struct PickCall {
    std::string initial_dir;
    std::string filter;  // up to and including the double zero
    unsigned flags;
  };
  struct BoxCall {
    std::string text;
    unsigned type;
  };
  using ProfileKey = std::tuple<std::string, std::string, std::string>;  // file, section, key

  // Everything that happened, one entry per call, e.g. "set 1697=C:\X",
  // "check 1704=1", "box  Did you select the right files ?",
  // "start <command line>" (with " >output" when it is captured).
  std::vector<std::string> log;

  std::map<int, std::string> controls;
  std::map<int, bool> checks;  // check boxes; missing: not ticked
  int end_dialog_calls = 0;
  int end_dialog_result = 0;

  std::deque<std::optional<std::string>> pick_answers;  // nullopt: cancelled
  std::vector<PickCall> picks;

  std::deque<int> box_answers;  // empty: kIdOk
  std::vector<BoxCall> boxes;
  int throw_on_box = -1;  // index of the box that throws instead of showing

  std::map<ProfileKey, std::string> profile;
  std::vector<unsigned> profile_read_sizes;
  std::vector<std::string> profile_write_files;  // the file of every write, in order
  std::set<std::string> unwritable_files;        // writes to these fail and store nothing

  // Empty: the system offers no per-user folder. Writes into it fail until a
  // call with create has made it.
  std::string user_settings_folder;
  bool user_folder_made = false;
  int user_folder_creates = 0;

  std::string current_dir = "C:\\QUARNEL";
  unsigned current_dir_size_offered = 0;

  bool start_succeeds = true;
  int timeouts_before_end = 0;
  bool wait_fails = false;
  std::optional<std::uint32_t> exit_code = 0;  // nullopt: the query fails
  std::vector<std::string> command_lines;
  std::vector<bool> captures;             // capture_output of every start, in order
  bool capture_fails = false;             // the output file cannot be made
  std::string tool_output;                // what a captured run writes to its standard output
  std::vector<std::size_t> output_reads;  // max_bytes of every read
  std::vector<unsigned> wait_slices;
  int releases = 0;

  int wait_cursor_depth = 0;
  int wait_cursor_begins = 0;

  // The value stored for key in the QUARNEL section of file (the shared
  // MVT.INI by default), if any.
  std::optional<std::string> Setting(const std::string& key,
                                     const std::string& file = "MVT.INI") const;
  void StoreSetting(const std::string& key, const std::string& value,
                    const std::string& file = "MVT.INI");

  std::string GetControlText(int control_id) override;
  void SetControlText(int control_id, const std::string& text) override;
  bool IsChecked(int control_id) override;
  void SetChecked(int control_id, bool checked) override;
  void EndDialog(int result) override;
  bool PickFile(const OpenFileRequest& request, std::string* chosen_path) override;
  int ShowMessage(const std::string& text, unsigned type) override;
  unsigned ProfileRead(const char* section, const char* key, const char* default_value,
                       char* buffer, unsigned size, const char* file) override;
  bool ProfileWrite(const char* section, const char* key, const char* value,
                    const char* file) override;
  std::string UserSettingsFolder(bool create) override;
  unsigned CurrentDirectory(char* buffer, unsigned size) override;
  StartedProcess StartProcess(char* command_line, bool capture_output) override;
  WaitOutcome WaitForProcess(std::uintptr_t process, unsigned milliseconds) override;
  bool GetExitCode(std::uintptr_t process, std::uint32_t* code) override;
  std::string ReadOutputTail(const StartedProcess& started, std::size_t max_bytes) override;
  void ReleaseProcess(const StartedProcess& started) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;

 private:
  int remaining_timeouts_ = -1;
};

}  // namespace quarnel_helper
