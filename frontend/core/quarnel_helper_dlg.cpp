// The dialog's logic: fields, pickers, settings and the tool's run, over the platform interface.
#include "quarnel_helper_dlg.h"

#include <cstdio>

#include "command_line.h"
#include "resource.h"
#include "settings.h"
#include "status_message.h"
#include "text.h"

namespace quarnel_helper {

namespace {

// The picker's initial folder is handed over in a buffer of this size.
constexpr std::size_t kInitialDirSize = 260;
constexpr std::size_t kFilterSize = 32;

// Shows the wait cursor for as long as it lives, however the scope is left.
class WaitCursor {
 public:
  explicit WaitCursor(DialogPlatform& platform) : platform_(platform) {
    platform_.BeginWaitCursor();
  }
  ~WaitCursor() { platform_.EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  DialogPlatform& platform_;
};

}  // namespace

CQuarnelHelperDlg::CQuarnelHelperDlg(DialogPlatform& platform) : platform_(platform) {
  char buffer[kToolDirBufferSize] = {};
  const unsigned length = platform_.CurrentDirectory(buffer, sizeof buffer);
  // A directory that does not fit (length >= size) was not copied.
  if (length > 0 && length < sizeof buffer) m_strToolDir.assign(buffer, length);

  // The same buffer serves the settings, of which only the first bytes are offered.
  m_strSourceFile = LoadSetting(platform_, kKeySourceDir, buffer, sizeof buffer);
  m_strBaseFile = LoadSetting(platform_, kKeyBaseDir, buffer, sizeof buffer);
  m_strOutputDir = LoadSetting(platform_, kKeyOutputDir, buffer, sizeof buffer);
  m_strOutputName = kDefaultOutputName;
  m_bMerge = LoadSetting(platform_, kKeyMerge, buffer, sizeof buffer) == "1";
}

void CQuarnelHelperDlg::DoDataExchange(bool save_and_validate) {
  struct Exchange {
    int control_id;
    std::string* field;
  };
  const Exchange exchanges[] = {
      {IDC_SOURCE_FILE, &m_strSourceFile},
      {IDC_BASE_FILE, &m_strBaseFile},
      {IDC_OUTPUT_DIR, &m_strOutputDir},
      {IDC_OUTPUT_NAME, &m_strOutputName},
  };
  for (const Exchange& exchange : exchanges) {
    if (save_and_validate) {
      *exchange.field = platform_.GetControlText(exchange.control_id);
    } else {
      platform_.SetControlText(exchange.control_id, *exchange.field);
    }
  }
  if (save_and_validate) {
    m_bMerge = platform_.IsChecked(IDC_MERGE);
  } else {
    platform_.SetChecked(IDC_MERGE, m_bMerge);
  }
}

void CQuarnelHelperDlg::UpdateData(bool save_and_validate) { DoDataExchange(save_and_validate); }

void CQuarnelHelperDlg::OnInitDialog() { UpdateData(false); }

bool CQuarnelHelperDlg::PickFile(const std::string& field, const char* pattern,
                                 std::string* chosen) {
  char initial_dir[kInitialDirSize];
  std::snprintf(initial_dir, sizeof initial_dir, "%s", field.c_str());
  // Description and pattern are the same text; the list ends in two zero bytes.
  char filter[kFilterSize] = {};
  std::snprintf(filter, sizeof filter, "%s%c%s%c%c", pattern, '\0', pattern, '\0', '\0');
  const OpenFileRequest request{initial_dir, filter, kOfnHideReadOnly | kOfnOverwritePrompt};
  return platform_.PickFile(request, chosen);
}

void CQuarnelHelperDlg::BrowseInputFile(std::string* field, const char* settings_key) {
  // A name typed into the output-name box must survive the pick.
  UpdateData(true);
  std::string chosen;
  if (!PickFile(*field, "*.bgl", &chosen)) return;
  *field = chosen;
  MakeUpper(field);
  UpdateData(false);
  SaveSetting(platform_, settings_key, FolderOf(*field));
}

void CQuarnelHelperDlg::OnBrowseSource() { BrowseInputFile(&m_strSourceFile, kKeySourceDir); }

void CQuarnelHelperDlg::OnBrowseBase() { BrowseInputFile(&m_strBaseFile, kKeyBaseDir); }

void CQuarnelHelperDlg::OnBrowseOutput() {
  UpdateData(true);
  std::string chosen;
  if (!PickFile(m_strOutputDir, "*.*", &chosen)) return;
  // The user points at any file in the wanted folder; its name is dropped.
  UpdateData(false);
  m_strOutputDir = FolderOf(chosen);
  MakeUpper(&m_strOutputDir);
  SaveSetting(platform_, kKeyOutputDir, m_strOutputDir);
  UpdateData(false);
}

void CQuarnelHelperDlg::OnMerge() {
  m_bMerge = platform_.IsChecked(IDC_MERGE);
  SaveSetting(platform_, kKeyMerge, m_bMerge ? "1" : "0");
}

std::uint32_t CQuarnelHelperDlg::RunTool(char* command_line, std::string* report_line) {
  const StartedProcess started = platform_.StartProcess(command_line, report_line != nullptr);
  // Stays when nothing was started: the wait and the query then fail at once.
  std::uint32_t exit_status = kToolNotStarted;
  while (platform_.WaitForProcess(started.process, kWaitSliceMs) == WaitOutcome::kTimedOut) {
  }
  platform_.GetExitCode(started.process, &exit_status);
  if (report_line != nullptr) {
    *report_line = LastLine(platform_.ReadOutputTail(started, kReportTailBytes));
  }
  platform_.ReleaseProcess(started);
  return exit_status;
}

void CQuarnelHelperDlg::OnOK() {
  UpdateData(true);
  MakeUpper(&m_strOutputName);
  UpdateData(false);

  if (platform_.ShowMessage(kConfirmText, kMbOkCancel | kMbIconQuestion) != kIdOk) return;

  const std::string output_path = m_strOutputDir + "\\" + m_strOutputName;
  if (output_path == m_strBaseFile || output_path == m_strSourceFile) {
    // Refused whatever the box returns: even a box that could not be shown
    // must not let the tool overwrite one of its own inputs.
    platform_.ShowMessage(kNameClashText, kMbOk | kMbIconHand);
    return;
  }

  // The merge takes the link's arguments; only the option differs.
  const char* const option = m_bMerge ? "-m" : "-r";
  const ToolInvocation call{m_strToolDir,    option,         m_strBaseFile,
                            m_strSourceFile, m_strOutputDir, m_strOutputName};
  char command_line[kCommandLineSize];
  if (!FormatCommandLine(call, command_line, sizeof command_line)) {
    // A cut command line would name the wrong files; the dialog stays open.
    platform_.ShowMessage(kCommandTooLongText, kMbOk | kMbIconHand);
    return;
  }

  const WaitCursor wait_cursor(platform_);
  std::string report_line;
  const std::uint32_t exit_status = RunTool(command_line, m_bMerge ? &report_line : nullptr);
  platform_.ShowMessage(
      m_bMerge ? MergeStatusMessage(exit_status, report_line) : StatusMessage(exit_status),
      kMbOk | kMbIconInformation);
  UpdateData(true);
  platform_.EndDialog(kIdOk);
}

}  // namespace quarnel_helper
