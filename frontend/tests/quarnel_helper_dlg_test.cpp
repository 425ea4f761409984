// Tests of the dialog's logic on the fake platform.
#include "quarnel_helper_dlg.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <stdexcept>

#include "fake_platform.h"
#include "resource.h"
#include "status_message.h"

namespace quarnel_helper {
namespace {

using Log = std::vector<std::string>;
using Fields = std::vector<std::string>;

const std::string kBgl = std::string("*.bgl\0*.bgl\0", 13);  // ends in two zeros
const std::string kAll = std::string("*.*\0*.*\0", 9);

// What UpdateData logs, in exchange order: reading the controls, or showing the fields.
Log Reads() { return {"get 1697", "get 1699", "get 1702", "get 1703", "is checked 1704"}; }
Log Shows(const std::string& source, const std::string& base, const std::string& dir,
          const std::string& name = "NEWAFD.BGL") {
  return {"set 1697=" + source, "set 1699=" + base, "set 1702=" + dir, "set 1703=" + name,
          "check 1704=0"};
}
Log Joined(std::initializer_list<Log> parts) {
  Log all;
  for (const Log& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Source, base, output folder and output name.
Fields FieldsOf(const CQuarnelHelperDlg& d) {
  return {d.m_strSourceFile, d.m_strBaseFile, d.m_strOutputDir, d.m_strOutputName};
}

class DialogTest : public ::testing::Test {
 protected:
  // Builds the dialog, shows it, and forgets what that logged.
  CQuarnelHelperDlg& Open() {
    dialog_.emplace(platform_);
    dialog_->OnInitDialog();
    platform_.log.clear();
    return *dialog_;
  }
  // What the user sees in a box.
  std::string& Box(int control_id) { return platform_.controls[control_id]; }

  FakePlatform platform_;
  std::optional<CQuarnelHelperDlg> dialog_;
};

// ---- construction and start ----

TEST_F(DialogTest, StartsWithToolFolderRememberedFoldersAndDefaultName) {
  platform_.current_dir = "C:\\Apps\\Quarnel";
  platform_.StoreSetting("SOURCEDIR", "c:\\my scenery");
  platform_.StoreSetting("TARGETDIR", "C:\\FS\\AFD");
  platform_.StoreSetting("OPATH", "d:\\out");
  CQuarnelHelperDlg dialog(platform_);
  // The tool folder is taken as it is; only paths the user chose are upper-cased.
  EXPECT_EQ(dialog.m_strToolDir, "C:\\Apps\\Quarnel");
  EXPECT_EQ(FieldsOf(dialog), (Fields{"C:\\MY SCENERY", "C:\\FS\\AFD", "D:\\OUT", "NEWAFD.BGL"}));
  EXPECT_EQ(platform_.current_dir_size_offered, 1000u);
  EXPECT_EQ(platform_.log, (Log{"read SOURCEDIR", "read TARGETDIR", "read OPATH", "read MERGE"}));
  EXPECT_EQ(platform_.profile_read_sizes, (std::vector<unsigned>{260, 260, 260, 260}));
  // Loading never writes.
  EXPECT_TRUE(platform_.profile_write_files.empty());
  platform_.log.clear();
  dialog.OnInitDialog();
  EXPECT_EQ(platform_.log, Shows("C:\\MY SCENERY", "C:\\FS\\AFD", "D:\\OUT"));
}

TEST_F(DialogTest, ToolFolderTooLongForItsBufferIsLeftEmpty) {
  platform_.current_dir = "C:\\" + std::string(997, 'D');  // 1000 characters, no room for the zero
  CQuarnelHelperDlg dialog(platform_);
  EXPECT_EQ(dialog.m_strToolDir, "");
  platform_.current_dir.pop_back();
  CQuarnelHelperDlg fitting(platform_);
  EXPECT_EQ(fitting.m_strToolDir, platform_.current_dir);
}

TEST_F(DialogTest, UpdateDataTrueReadsTheControlsInExchangeOrder) {
  CQuarnelHelperDlg& dialog = Open();
  Box(IDC_SOURCE_FILE) = "src";
  Box(IDC_BASE_FILE) = "base";
  Box(IDC_OUTPUT_DIR) = "dir";
  Box(IDC_OUTPUT_NAME) = "name";
  platform_.checks[IDC_MERGE] = true;
  dialog.UpdateData(true);
  EXPECT_EQ(platform_.log, Reads());
  EXPECT_TRUE(dialog.m_bMerge);
  EXPECT_EQ(FieldsOf(dialog), (Fields{"src", "base", "dir", "name"}));
}

// ---- pickers ----

struct PickerCase {
  const char* name;
  void (CQuarnelHelperDlg::*handler)();
  std::string CQuarnelHelperDlg::*field;
  int control;
  const char* key;
  const std::string& filter;
  const char* answer;  // the file the user picks
  const char* chosen;  // what the field then holds
  const char* folder;  // what is remembered
  Log log;             // of that first pick after reading the controls and picking
};

const PickerCase kPickers[] = {
    // Every field but the picked one is empty: only its folder was remembered.
    {"source", &CQuarnelHelperDlg::OnBrowseSource, &CQuarnelHelperDlg::m_strSourceFile,
     IDC_SOURCE_FILE, "SOURCEDIR", kBgl, "c:\\fs\\myafd.bgl", "C:\\FS\\MYAFD.BGL", "C:\\FS",
     Joined({Shows("C:\\FS\\MYAFD.BGL", "", "", "mine.bgl"), {"write SOURCEDIR=C:\\FS"}})},
    {"base", &CQuarnelHelperDlg::OnBrowseBase, &CQuarnelHelperDlg::m_strBaseFile, IDC_BASE_FILE,
     "TARGETDIR", kBgl, "c:\\fs\\myafd.bgl", "C:\\FS\\MYAFD.BGL", "C:\\FS",
     Joined({Shows("", "C:\\FS\\MYAFD.BGL", "", "mine.bgl"), {"write TARGETDIR=C:\\FS"}})},
    // Any file of the wanted folder: only its folder is kept, shown after the old one.
    {"output", &CQuarnelHelperDlg::OnBrowseOutput, &CQuarnelHelperDlg::m_strOutputDir,
     IDC_OUTPUT_DIR, "OPATH", kAll, "d:\\out\\x.txt", "D:\\OUT", "D:\\OUT",
     Joined({Shows("", "", "C:\\FS", "mine.bgl"),
             {"write OPATH=D:\\OUT"},
             Shows("", "", "D:\\OUT", "mine.bgl")})},
};

TEST_F(DialogTest, PickerStartsInTheRememberedFolderAndStoresTheUpperCasedChoice) {
  for (const PickerCase& c : kPickers) {
    SCOPED_TRACE(c.name);
    platform_ = FakePlatform();
    platform_.StoreSetting(c.key, "c:\\fs");
    CQuarnelHelperDlg& dialog = Open();
    Box(IDC_OUTPUT_NAME) = "mine.bgl";  // a typed name survives every picker
    platform_.pick_answers.push_back(c.answer);
    (dialog.*c.handler)();
    EXPECT_EQ(platform_.log, Joined({Reads(), {"pick C:\\FS"}, c.log}));
    ASSERT_EQ(platform_.picks.size(), 1u);
    EXPECT_EQ(platform_.picks[0].initial_dir, "C:\\FS");
    EXPECT_EQ(platform_.picks[0].filter, c.filter);
    EXPECT_EQ(platform_.picks[0].flags, 6u);
    EXPECT_EQ(dialog.*c.field, c.chosen);
    EXPECT_EQ(Box(c.control), c.chosen);
    EXPECT_EQ(platform_.Setting(c.key), c.folder);
    EXPECT_EQ(dialog.m_strOutputName, "mine.bgl");
    EXPECT_EQ(Box(IDC_OUTPUT_NAME), "mine.bgl");

    // Opened again, the picker starts at what was chosen before.
    platform_.pick_answers.push_back("E:\\x.bgl");
    (dialog.*c.handler)();
    EXPECT_EQ(platform_.picks[1].initial_dir, c.chosen);
    // A file in a drive's root is remembered as the bare drive.
    EXPECT_EQ(platform_.Setting(c.key), "E:");

    // Cancelled, it changes nothing.
    const std::string before = dialog.*c.field;
    const std::size_t writes = platform_.profile_write_files.size();
    platform_.pick_answers.push_back(std::nullopt);
    (dialog.*c.handler)();
    EXPECT_EQ(dialog.*c.field, before);
    EXPECT_EQ(Box(c.control), before);
    EXPECT_EQ(platform_.profile_write_files.size(), writes);

    // A field longer than the initial folder's buffer (only a corrupted one could be) is cut.
    Box(c.control) = std::string(600, 'S');
    platform_.pick_answers.push_back(std::nullopt);
    (dialog.*c.handler)();
    EXPECT_EQ(platform_.picks.at(3).initial_dir, std::string(259, 'S'));

    // A shared settings file that cannot be written: the next start finds the pick all the same.
    platform_.user_settings_folder = "C:\\USERS\\ME\\Quarnel";
    platform_.unwritable_files.insert("MVT.INI");
    platform_.pick_answers.push_back("f:\\mine\\y.bgl");
    (dialog.*c.handler)();
    EXPECT_EQ(platform_.Setting(c.key), "E:");
    EXPECT_EQ(CQuarnelHelperDlg(platform_).*c.field, "F:\\MINE");
  }
}

// ---- the merge box ----

TEST_F(DialogTest, MergeBoxStartsTickedOnlyWhenTheKeyHoldsOne) {
  const struct {
    std::optional<std::string> shared;    // MERGE in the Windows folder's MVT.INI
    std::optional<std::string> per_user;  // MERGE in the per-user copy
    bool ticked;
  } cases[] = {
      {std::nullopt, std::nullopt, false},
      {"1", std::nullopt, true},
      {"0", std::nullopt, false},
      {"", std::nullopt, false},
      {"yes", std::nullopt, false},
      {"11", std::nullopt, false},
      {"0", "1", true},  // the per-user copy wins, as it does for the folders
      {"1", "0", false},
  };
  for (const auto& c : cases) {
    platform_ = FakePlatform();
    platform_.user_settings_folder = "C:\\USERS\\ME\\Quarnel";
    if (c.shared) platform_.StoreSetting("MERGE", *c.shared);
    if (c.per_user) platform_.StoreSetting("MERGE", *c.per_user, "C:\\USERS\\ME\\Quarnel\\MVT.INI");
    const CQuarnelHelperDlg& dialog = Open();
    const std::string name = c.shared.value_or("-") + "/" + c.per_user.value_or("-");
    EXPECT_EQ(dialog.m_bMerge, c.ticked) << name;
    EXPECT_EQ(platform_.checks[IDC_MERGE], c.ticked) << name;
    EXPECT_TRUE(platform_.profile_write_files.empty()) << name;
  }
}

TEST_F(DialogTest, ClickingTheMergeBoxRemembersItAtOnceAndNothingElse) {
  CQuarnelHelperDlg& dialog = Open();
  for (const bool ticked : {true, false, true}) {
    platform_.checks[IDC_MERGE] = ticked;  // the box ticks and unticks itself
    dialog.OnMerge();
    EXPECT_EQ(dialog.m_bMerge, ticked);
    EXPECT_EQ(platform_.Setting("MERGE"), ticked ? "1" : "0");
  }
  EXPECT_EQ(platform_.profile_write_files, (std::vector<std::string>(3, "MVT.INI")));
  EXPECT_EQ(platform_.profile.size(), 1u);
  CQuarnelHelperDlg next_start(platform_);
  EXPECT_TRUE(next_start.m_bMerge);
}

// ---- Start Process ----

class StartProcessTest : public DialogTest {
 protected:
  // A fresh platform, and the dialog on it with all four boxes filled in.
  CQuarnelHelperDlg& OpenWithFiles() {
    platform_ = FakePlatform();
    platform_.current_dir = "C:\\QUARNEL";
    CQuarnelHelperDlg& dialog = Open();
    Box(IDC_SOURCE_FILE) = "C:\\FS\\MY.BGL";
    Box(IDC_BASE_FILE) = "C:\\FS\\EURNWAFD.BGL";
    Box(IDC_OUTPUT_DIR) = "D:\\OUT";
    Box(IDC_OUTPUT_NAME) = "new.bgl";
    return dialog;
  }
  bool ToolRan() const { return !platform_.command_lines.empty(); }
  // After the confirmation, the box that said why Start Process ended (none
  // when the user said no). Only a run closes the dialog; none leaves the wait
  // cursor on.
  void ExpectEnd(bool ran, const char* why = nullptr, unsigned type = kMbOk | kMbIconHand) {
    EXPECT_EQ(ToolRan(), ran);
    ASSERT_EQ(platform_.boxes.size(), why == nullptr ? 1u : 2u);
    EXPECT_EQ(platform_.boxes[0].text, " Did you select the right files ?");
    EXPECT_EQ(platform_.boxes[0].type, kMbOkCancel | kMbIconQuestion);
    if (why != nullptr) {
      EXPECT_EQ(platform_.boxes[1].text, why);
      EXPECT_EQ(platform_.boxes[1].type, type);
    }
    EXPECT_EQ(platform_.end_dialog_calls, ran ? 1 : 0);
    EXPECT_EQ(platform_.end_dialog_result, ran ? kIdOk : 0);
    EXPECT_EQ(platform_.wait_cursor_begins, ran ? 1 : 0);
    EXPECT_EQ(platform_.wait_cursor_depth, 0);
  }
};

TEST_F(StartProcessTest, RunsTheToolThenReportsAndCloses) {
  CQuarnelHelperDlg& dialog = OpenWithFiles();
  // Where a picker may have moved it: the tool is still the one of the start's folder.
  platform_.current_dir = "C:\\FS";
  dialog.OnOK();
  EXPECT_EQ(
      platform_.log,
      Joined({Reads(),
              Shows("C:\\FS\\MY.BGL", "C:\\FS\\EURNWAFD.BGL", "D:\\OUT", "NEW.BGL"),
              {"box  Did you select the right files ?", "cursor on",
               "start C:\\QUARNEL\\Quarnel -r \"C:\\FS\\EURNWAFD.BGL\" \"C:\\FS\\MY.BGL\" "
               "\"D:\\OUT\\NEW.BGL\"",
               "wait 10000", "exitcode", "release", "box End of process ! Status : Sucess ! "},
              Reads(),
              {"end 1", "cursor off"}}));
  ExpectEnd(true, "End of process ! Status : Sucess ! ", kMbOk | kMbIconInformation);
}

TEST_F(StartProcessTest, CancelledConfirmationRunsNothingButNameIsUpperCased) {
  for (const int answer : {kIdCancel, 0}) {
    SCOPED_TRACE(answer);
    CQuarnelHelperDlg& dialog = OpenWithFiles();
    platform_.box_answers.push_back(answer);
    dialog.OnOK();
    EXPECT_EQ(Box(IDC_OUTPUT_NAME), "NEW.BGL");
    EXPECT_EQ(dialog.m_strOutputName, "NEW.BGL");
    ExpectEnd(false);
  }
}

TEST_F(StartProcessTest, OutputNamingAnInputIsRefusedInAnyLetterCase) {
  const struct {
    const char* name;  // in the source's folder, C:\FS
    bool clash;
  } cases[] = {
      {"MY.BGL", true},
      {"my.bgl", true},
      {"My.Bgl", true},
      {"EURNWAFD.BGL", true},
      {"eurnwafd.bgl", true},
      // Alike, but other paths.
      {"MY.BGL ", false},
      {"MY.BG", false},
      {"MY.BGL.BAK", false},
      {"\\MY.BGL", false},
  };
  for (const auto& c : cases) {
    for (const int clash_answer : {kIdOk, 0}) {
      SCOPED_TRACE(::testing::Message() << c.name << ", answer " << clash_answer);
      CQuarnelHelperDlg& dialog = OpenWithFiles();
      Box(IDC_OUTPUT_DIR) = "C:\\FS";
      Box(IDC_OUTPUT_NAME) = c.name;
      platform_.box_answers = {kIdOk, clash_answer};
      dialog.OnOK();
      EXPECT_EQ(ToolRan(), !c.clash);
      if (c.clash) ExpectEnd(false, " Target and/or source must have different names !!!");
    }
  }
}

// Whether the box is ticked chooses the option, whether the output is read and
// the texts of success, 5 and 10; how the run ended chooses the text. Either
// way the run stores nothing (only a click on the box does) and the dialog closes.
TEST_F(StartProcessTest, StatusBoxTellsHowTheRunEnded) {
  const std::string kCommand[] = {
      "C:\\QUARNEL\\Quarnel -r \"C:\\FS\\EURNWAFD.BGL\" \"C:\\FS\\MY.BGL\" \"D:\\OUT\\NEW.BGL\"",
      "C:\\QUARNEL\\Quarnel -m \"C:\\FS\\EURNWAFD.BGL\" \"C:\\FS\\MY.BGL\" \"D:\\OUT\\NEW.BGL\""};
  const std::string kSuccess = "End of process ! Status : Sucess ! ";
  const std::string kNotFound = "End of process ! Status : Quarnel not found ! ";
  const std::string kSendEmail = " ! \nSend email with the code to support@quarnel.example";
  const std::string kReport =
      "QUARNEL 1.2\r\nreplaced: HAMBURG\r\nadded: KASSEL\r\n"
      "3 replaced, 1 added, 0 left out\r\n";
  const struct {
    const char* name;
    bool ticked;
    std::optional<std::uint32_t> code;  // nullopt: it cannot be read
    std::string output;
    std::string text;
    void (*arrange)(FakePlatform&) = nullptr;
    std::vector<unsigned> waits = {10000};
  } cases[] = {
      // The text of every code: status_message_test.
      {"linked", false, 0, kReport, kSuccess},
      {"link 15", false, 15, "", "End of process ! Status : Internal error code: F" + kSendEmail},
      {"link -1", false, 0xFFFFFFFFu, "", kNotFound},
      {"code not read: the status keeps its -1", false, std::nullopt, "", kNotFound},
      {"tool not started", false, 0, "", kNotFound,
       [](FakePlatform& p) { p.start_succeeds = false; }},
      {"long run: waited for in ten-second slices", false, 5, "",
       "End of process ! Status : No vaild data in input file ! ",
       [](FakePlatform& p) { p.timeouts_before_end = 4; }, std::vector<unsigned>(5, 10000)},
      // A process that is still running reports 259.
      {"failed wait still reads the code", false, 259, "",
       "End of process ! Status : Internal error code: 103" + kSendEmail,
       [](FakePlatform& p) { p.wait_fails = true; }},
      {"link 10", false, 10, "", "End of process ! Status : Internal error code: A" + kSendEmail},
      {"merged", true, 0, kReport, kSuccess + "\n3 replaced, 1 added, 0 left out"},
      {"long report", true, 0,
       "QUARNEL 1.2\n" + std::string(20000, 'x') + "\n20000 replaced, 0 added, 0 left out\n",
       kSuccess + "\n20000 replaced, 0 added, 0 left out"},
      {"nothing captured", true, 0, "", kSuccess},
      {"output cannot be captured", true, 0, "3 replaced, 1 added, 0 left out\r\n", kSuccess,
       [](FakePlatform& p) { p.capture_fails = true; }},
      {"tool without -m", true, 0, "QUARNEL 1.2\r\nunknown command\r\n", kToolCannotMergeText},
      {"no facility", true, 5, "QUARNEL 1.2\r\n", "The source file holds no airport, VOR or NDB."},
      {"too many", true, 10, "QUARNEL 1.2\r\ntoo many records: 20001\r\n",
       "The result would hold more records than the tool can take."},
      {"merge: open error", true, 2, kReport, "End of process ! Status : File open error ! "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CQuarnelHelperDlg& dialog = OpenWithFiles();
    platform_.checks[IDC_MERGE] = c.ticked;
    platform_.exit_code = c.code;
    platform_.tool_output = c.output;
    if (c.arrange != nullptr) c.arrange(platform_);
    dialog.OnOK();
    EXPECT_EQ(platform_.command_lines, (Log{kCommand[c.ticked]}));
    EXPECT_EQ(platform_.captures, (std::vector<bool>{c.ticked}));
    EXPECT_EQ(platform_.output_reads,
              c.ticked ? std::vector<std::size_t>{kReportTailBytes} : std::vector<std::size_t>{});
    EXPECT_EQ(platform_.wait_slices, c.waits);
    EXPECT_EQ(platform_.releases, platform_.start_succeeds ? 1 : 0);
    EXPECT_TRUE(platform_.profile_write_files.empty());
    ExpectEnd(true, c.text.c_str(), kMbOk | kMbIconInformation);
  }
}

TEST_F(StartProcessTest, CommandLineLongerThanItsBufferIsRefusedAndRunsNothing) {
  // Nothing chosen but the remembered source folder, which is passed as it is:
  // empty quotes for the base, and the output goes to the drive's root.
  const std::string fixed = "C:\\QUARNEL\\Quarnel -r \"\" \"C:\\ONLY\\A\\FOLDER\" \"\\\"";
  for (const std::size_t total : {std::size_t{1023}, std::size_t{1024}, std::size_t{40000}}) {
    SCOPED_TRACE(total);
    platform_ = FakePlatform();
    platform_.StoreSetting("SOURCEDIR", "c:\\only\\a\\folder");
    CQuarnelHelperDlg& dialog = Open();
    const std::string name(total - fixed.size(), 'N');
    Box(IDC_OUTPUT_NAME) = name;
    dialog.OnOK();
    if (total <= 1023) {
      EXPECT_EQ(platform_.command_lines,
                (Log{"C:\\QUARNEL\\Quarnel -r \"\" \"C:\\ONLY\\A\\FOLDER\" \"\\" + name + "\""}));
      continue;
    }
    ExpectEnd(false, kCommandTooLongText);  // still open for shorter names
  }
}

TEST_F(StartProcessTest, WaitCursorEndsEvenWhenTheStatusBoxThrows) {
  CQuarnelHelperDlg& dialog = OpenWithFiles();
  platform_.throw_on_box = 1;  // the confirmation passes, the status box fails
  EXPECT_THROW(dialog.OnOK(), std::runtime_error);
  EXPECT_TRUE(ToolRan());
  EXPECT_EQ(platform_.wait_cursor_begins, 1);
  EXPECT_EQ(platform_.wait_cursor_depth, 0);
}

}  // namespace
}  // namespace quarnel_helper
