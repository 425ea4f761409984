// A fake of the dialog's platform: controls, pickers, settings files and runs in memory.
#include "fake_platform.h"

#include <cstring>
#include <stdexcept>

namespace quarnel_helper {

namespace {

constexpr std::uintptr_t kProcessHandle = 0x1234;
constexpr std::uintptr_t kThreadHandle = 0x5678;
constexpr std::uintptr_t kOutputHandle = 0x9ABC;

}  // namespace

std::optional<std::string> FakePlatform::Setting(const std::string& key,
                                                 const std::string& file) const {
  const auto it = profile.find({file, "QUARNEL", key});
  if (it == profile.end()) return std::nullopt;
  return it->second;
}

void FakePlatform::StoreSetting(const std::string& key, const std::string& value,
                                const std::string& file) {
  profile[{file, "QUARNEL", key}] = value;
}

std::string FakePlatform::GetControlText(int control_id) {
  log.push_back("get " + std::to_string(control_id));
  return controls[control_id];
}

void FakePlatform::SetControlText(int control_id, const std::string& text) {
  log.push_back("set " + std::to_string(control_id) + "=" + text);
  controls[control_id] = text;
}

bool FakePlatform::IsChecked(int control_id) {
  log.push_back("is checked " + std::to_string(control_id));
  return checks[control_id];
}

void FakePlatform::SetChecked(int control_id, bool checked) {
  log.push_back("check " + std::to_string(control_id) + "=" + (checked ? "1" : "0"));
  checks[control_id] = checked;
}

void FakePlatform::EndDialog(int result) {
  log.push_back("end " + std::to_string(result));
  ++end_dialog_calls;
  end_dialog_result = result;
}

bool FakePlatform::PickFile(const OpenFileRequest& request, std::string* chosen_path) {
  // The filter list ends at its first double zero; keep both zeros.
  std::string filter;
  for (const char* p = request.filter;; ++p) {
    filter.push_back(*p);
    if (p[0] == '\0' && p != request.filter && p[-1] == '\0') break;
    if (filter.size() > 64) break;  // a list without its end mark: stop, the test will see it
  }
  picks.push_back({request.initial_dir, filter, request.flags});
  log.push_back(std::string("pick ") + request.initial_dir);
  if (pick_answers.empty()) return false;
  const std::optional<std::string> answer = pick_answers.front();
  pick_answers.pop_front();
  if (!answer) return false;
  *chosen_path = *answer;
  return true;
}

int FakePlatform::ShowMessage(const std::string& text, unsigned type) {
  log.push_back("box " + text);
  boxes.push_back({text, type});
  if (static_cast<int>(boxes.size()) - 1 == throw_on_box) throw std::runtime_error("box failed");
  if (box_answers.empty()) return kIdOk;
  const int answer = box_answers.front();
  box_answers.pop_front();
  return answer;
}

unsigned FakePlatform::ProfileRead(const char* section, const char* key, const char* default_value,
                                   char* buffer, unsigned size, const char* file) {
  log.push_back(std::string("read ") + key);
  profile_read_sizes.push_back(size);
  const auto it = profile.find({file, section, key});
  const std::string value = it == profile.end() ? default_value : it->second;
  if (size == 0) return 0;
  // As the system does: cut to the buffer, always zero-terminated.
  const std::size_t n = value.size() < size - 1 ? value.size() : size - 1;
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<unsigned>(n);
}

bool FakePlatform::ProfileWrite(const char* section, const char* key, const char* value,
                                const char* file) {
  log.push_back(std::string("write ") + key + "=" + value);
  profile_write_files.push_back(file);
  const std::string path = file;
  if (unwritable_files.count(path) != 0) return false;
  const bool in_user_folder =
      !user_settings_folder.empty() && path.rfind(user_settings_folder + "\\", 0) == 0;
  if (in_user_folder && !user_folder_made) return false;
  profile[{path, section, key}] = value;
  return true;
}

std::string FakePlatform::UserSettingsFolder(bool create) {
  if (user_settings_folder.empty()) return std::string();
  if (create && !user_folder_made) {
    user_folder_made = true;
    ++user_folder_creates;
  }
  return user_settings_folder;
}

unsigned FakePlatform::CurrentDirectory(char* buffer, unsigned size) {
  current_dir_size_offered = size;
  if (current_dir.size() + 1 > size) return static_cast<unsigned>(current_dir.size() + 1);
  std::memcpy(buffer, current_dir.c_str(), current_dir.size() + 1);
  return static_cast<unsigned>(current_dir.size());
}

StartedProcess FakePlatform::StartProcess(char* command_line, bool capture_output) {
  const bool captured = capture_output && !capture_fails;
  log.push_back(std::string("start ") + command_line + (captured ? " >output" : ""));
  command_lines.push_back(command_line);
  captures.push_back(capture_output);
  remaining_timeouts_ = timeouts_before_end;
  if (!start_succeeds) return StartedProcess{};
  return StartedProcess{kProcessHandle, kThreadHandle, captured ? kOutputHandle : 0};
}

WaitOutcome FakePlatform::WaitForProcess(std::uintptr_t process, unsigned milliseconds) {
  log.push_back("wait " + std::to_string(milliseconds));
  wait_slices.push_back(milliseconds);
  if (process != kProcessHandle || wait_fails) return WaitOutcome::kFailed;
  if (remaining_timeouts_ > 0) {
    --remaining_timeouts_;
    return WaitOutcome::kTimedOut;
  }
  return WaitOutcome::kEnded;
}

bool FakePlatform::GetExitCode(std::uintptr_t process, std::uint32_t* code) {
  log.push_back("exitcode");
  if (process != kProcessHandle || !exit_code) return false;
  *code = *exit_code;
  return true;
}

std::string FakePlatform::ReadOutputTail(const StartedProcess& started, std::size_t max_bytes) {
  log.push_back("read output");
  output_reads.push_back(max_bytes);
  if (started.output != kOutputHandle) return std::string();
  return tool_output.size() <= max_bytes ? tool_output
                                         : tool_output.substr(tool_output.size() - max_bytes);
}

void FakePlatform::ReleaseProcess(const StartedProcess& started) {
  log.push_back("release");
  if (started.process != 0) ++releases;
}

void FakePlatform::BeginWaitCursor() {
  log.push_back("cursor on");
  ++wait_cursor_depth;
  ++wait_cursor_begins;
}

void FakePlatform::EndWaitCursor() {
  log.push_back("cursor off");
  --wait_cursor_depth;
}

}  // namespace quarnel_helper
