// The logic of QuarnelHelper's one dialog: its fields, the three pickers, the
// merge box and "Start Process". The window itself only shows the fields and
// forwards button presses here; everything it needs from the system goes
// through DialogPlatform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform.h"

namespace quarnel_helper {

inline constexpr char kDefaultOutputName[] = "NEWAFD.BGL";
inline constexpr unsigned kWaitSliceMs = 10000;
inline constexpr unsigned kToolDirBufferSize = 1000;
// The merge's report ends with its count line; this much of the end of the
// tool's output holds it, however many facilities the report lists before.
inline constexpr std::size_t kReportTailBytes = 4096;

inline constexpr char kConfirmText[] = " Did you select the right files ?";
inline constexpr char kNameClashText[] = " Target and/or source must have different names !!!";
inline constexpr char kCommandTooLongText[] =
    " The paths are too long for the command line of Quarnel !!!\n"
    "Choose shorter folders or a shorter output file name.";

class CQuarnelHelperDlg {
 public:
  // Takes the tool folder from the current directory and the remembered
  // folders from the settings file. The window need not exist yet.
  explicit CQuarnelHelperDlg(DialogPlatform& platform);

  CQuarnelHelperDlg(const CQuarnelHelperDlg&) = delete;
  CQuarnelHelperDlg& operator=(const CQuarnelHelperDlg&) = delete;

  // true: controls into fields; false: fields into controls.
  void UpdateData(bool save_and_validate);

  // Called once the controls exist: shows the fields.
  void OnInitDialog();

  void OnBrowseSource();
  void OnBrowseBase();
  void OnBrowseOutput();
  // A click on the merge box: the box's new state is remembered at once.
  void OnMerge();

  // "Start Process".
  void OnOK();

  std::string m_strSourceFile;
  std::string m_strBaseFile;
  std::string m_strToolDir;
  std::string m_strOutputName;
  std::string m_strOutputDir;
  // The merge box: run -m (link, and add what the base lacks) instead of -r.
  bool m_bMerge = false;

 private:
  void DoDataExchange(bool save_and_validate);
  // Runs the open-file dialog starting at field's text with the given
  // pattern; true and the chosen path when the user picked a file.
  bool PickFile(const std::string& field, const char* pattern, std::string* chosen);
  void BrowseInputFile(std::string* field, const char* settings_key);
  // Starts the tool and waits for it; returns its exit status and, when
  // report_line is given, the last line of its standard output.
  std::uint32_t RunTool(char* command_line, std::string* report_line);

  DialogPlatform& platform_;
};

}  // namespace quarnel_helper
