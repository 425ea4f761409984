// Tests of the dialog's logic on the fake platform.
#include "quarnel_helper_dlg.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "fake_platform.h"
#include "resource.h"
#include "status_message.h"

namespace quarnel_helper {
namespace {

using Log = std::vector<std::string>;

const std::string kBgl = std::string("*.bgl\0*.bgl\0", 13);  // ends in two zeros
const std::string kAll = std::string("*.*\0*.*\0", 9);

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
  EXPECT_EQ(dialog.m_strSourceFile, "C:\\MY SCENERY");
  EXPECT_EQ(dialog.m_strBaseFile, "C:\\FS\\AFD");
  EXPECT_EQ(dialog.m_strOutputDir, "D:\\OUT");
  EXPECT_EQ(dialog.m_strOutputName, "NEWAFD.BGL");
  EXPECT_EQ(platform_.current_dir_size_offered, 1000u);
  EXPECT_EQ(platform_.log, (Log{"read SOURCEDIR", "read TARGETDIR", "read OPATH", "read MERGE"}));
  EXPECT_EQ(platform_.profile_read_sizes, (std::vector<unsigned>{260, 260, 260, 260}));
  // Loading never writes.
  EXPECT_EQ(platform_.profile_writes, 0);
}

TEST_F(DialogTest, StartsEmptyWithoutSettingsFile) {
  CQuarnelHelperDlg& dialog = Open();
  EXPECT_EQ(dialog.m_strSourceFile, "");
  EXPECT_EQ(dialog.m_strBaseFile, "");
  EXPECT_EQ(dialog.m_strOutputDir, "");
  EXPECT_EQ(dialog.m_strOutputName, "NEWAFD.BGL");
  EXPECT_EQ(Box(IDC_OUTPUT_NAME), "NEWAFD.BGL");
}

TEST_F(DialogTest, ToolFolderTooLongForItsBufferIsLeftEmpty) {
  platform_.current_dir = "C:\\" + std::string(997, 'D');  // 1000 characters, no room for the zero
  CQuarnelHelperDlg dialog(platform_);
  EXPECT_EQ(dialog.m_strToolDir, "");
  platform_.current_dir.pop_back();
  CQuarnelHelperDlg fitting(platform_);
  EXPECT_EQ(fitting.m_strToolDir, platform_.current_dir);
}

TEST_F(DialogTest, InitDialogShowsTheFieldsInExchangeOrder) {
  platform_.StoreSetting("SOURCEDIR", "s");
  platform_.StoreSetting("TARGETDIR", "b");
  platform_.StoreSetting("OPATH", "o");
  dialog_.emplace(platform_);
  platform_.log.clear();
  dialog_->OnInitDialog();
  EXPECT_EQ(platform_.log,
            (Log{"set 1697=S", "set 1699=B", "set 1702=O", "set 1703=NEWAFD.BGL", "check 1704=0"}));
}

TEST_F(DialogTest, UpdateDataTrueReadsTheControlsInExchangeOrder) {
  CQuarnelHelperDlg& dialog = Open();
  Box(IDC_SOURCE_FILE) = "src";
  Box(IDC_BASE_FILE) = "base";
  Box(IDC_OUTPUT_DIR) = "dir";
  Box(IDC_OUTPUT_NAME) = "name";
  platform_.checks[IDC_MERGE] = true;
  dialog.UpdateData(true);
  EXPECT_EQ(platform_.log,
            (Log{"get 1697", "get 1699", "get 1702", "get 1703", "is checked 1704"}));
  EXPECT_TRUE(dialog.m_bMerge);
  EXPECT_EQ(dialog.m_strSourceFile, "src");
  EXPECT_EQ(dialog.m_strBaseFile, "base");
  EXPECT_EQ(dialog.m_strOutputDir, "dir");
  EXPECT_EQ(dialog.m_strOutputName, "name");
}

// ---- pickers ----

struct PickerCase {
  const char* name;
  void (CQuarnelHelperDlg::*handler)();
  std::string CQuarnelHelperDlg::*field;
  int control;
  const char* key;
};

const PickerCase kInputPickers[] = {
    {"source", &CQuarnelHelperDlg::OnBrowseSource, &CQuarnelHelperDlg::m_strSourceFile,
     IDC_SOURCE_FILE, "SOURCEDIR"},
    {"base", &CQuarnelHelperDlg::OnBrowseBase, &CQuarnelHelperDlg::m_strBaseFile, IDC_BASE_FILE,
     "TARGETDIR"},
};

TEST_F(DialogTest, InputPickerStartsInTheRememberedFolderAndStoresTheUpperCasedPath) {
  for (const PickerCase& c : kInputPickers) {
    FakePlatform platform;
    platform.StoreSetting(c.key, "c:\\fs");
    CQuarnelHelperDlg dialog(platform);
    dialog.OnInitDialog();
    platform.pick_answers.push_back("c:\\fs\\myafd.bgl");
    (dialog.*c.handler)();
    ASSERT_EQ(platform.picks.size(), 1u) << c.name;
    EXPECT_EQ(platform.picks[0].initial_dir, "C:\\FS") << c.name;
    EXPECT_EQ(platform.picks[0].filter, kBgl) << c.name;
    EXPECT_EQ(platform.picks[0].flags, 6u) << c.name;
    EXPECT_EQ(dialog.*c.field, "C:\\FS\\MYAFD.BGL") << c.name;
    EXPECT_EQ(platform.controls[c.control], "C:\\FS\\MYAFD.BGL") << c.name;
    EXPECT_EQ(platform.Setting(c.key), "C:\\FS") << c.name;

    // Opened again, the picker starts at the whole path chosen before.
    platform.pick_answers.push_back("E:\\x.bgl");
    (dialog.*c.handler)();
    EXPECT_EQ(platform.picks[1].initial_dir, "C:\\FS\\MYAFD.BGL") << c.name;
    // A file in a drive's root is remembered as the bare drive.
    EXPECT_EQ(platform.Setting(c.key), "E:") << c.name;
  }
}

TEST_F(DialogTest, PicksSurviveASharedSettingsFileThatCannotBeWritten) {
  platform_.user_settings_folder = "C:\\USERS\\ME\\Quarnel";
  platform_.unwritable_files.insert("MVT.INI");
  CQuarnelHelperDlg& dialog = Open();
  platform_.pick_answers = {"c:\\src\\a.bgl", "c:\\base\\b.bgl", "d:\\out\\c.txt"};
  dialog.OnBrowseSource();
  dialog.OnBrowseBase();
  dialog.OnBrowseOutput();
  EXPECT_EQ(platform_.Setting("SOURCEDIR"), std::nullopt);

  CQuarnelHelperDlg next_start(platform_);
  EXPECT_EQ(next_start.m_strSourceFile, "C:\\SRC");
  EXPECT_EQ(next_start.m_strBaseFile, "C:\\BASE");
  EXPECT_EQ(next_start.m_strOutputDir, "D:\\OUT");
}

TEST_F(DialogTest, InputPickerFollowsTheDataExchangeOrder) {
  CQuarnelHelperDlg& dialog = Open();
  platform_.pick_answers.push_back("c:\\a\\b.bgl");
  dialog.OnBrowseBase();
  EXPECT_EQ(platform_.log, (Log{"get 1697", "get 1699", "get 1702", "get 1703", "is checked 1704",
                                "pick ", "set 1697=", "set 1699=C:\\A\\B.BGL", "set 1702=",
                                "set 1703=NEWAFD.BGL", "check 1704=0", "write TARGETDIR=C:\\A"}));
}

TEST_F(DialogTest, CancelledPickerChangesNothing) {
  for (const PickerCase& c : kInputPickers) {
    FakePlatform platform;
    platform.StoreSetting(c.key, "C:\\KEEP");
    CQuarnelHelperDlg dialog(platform);
    dialog.OnInitDialog();
    platform.pick_answers.push_back(std::nullopt);
    (dialog.*c.handler)();
    EXPECT_EQ(dialog.*c.field, "C:\\KEEP") << c.name;
    EXPECT_EQ(platform.controls[c.control], "C:\\KEEP") << c.name;
    EXPECT_EQ(platform.profile_writes, 0) << c.name;
  }
  CQuarnelHelperDlg& dialog = Open();
  platform_.pick_answers.push_back(std::nullopt);
  dialog.OnBrowseOutput();
  EXPECT_EQ(dialog.m_strOutputDir, "");
  EXPECT_EQ(platform_.profile_writes, 0);
}

TEST_F(DialogTest, TypedOutputNameSurvivesEveryPicker) {
  void (CQuarnelHelperDlg::*const handlers[])() = {&CQuarnelHelperDlg::OnBrowseSource,
                                                   &CQuarnelHelperDlg::OnBrowseBase,
                                                   &CQuarnelHelperDlg::OnBrowseOutput};
  for (const auto handler : handlers) {
    FakePlatform platform;
    CQuarnelHelperDlg dialog(platform);
    dialog.OnInitDialog();
    platform.controls[IDC_OUTPUT_NAME] = "mine.bgl";
    platform.pick_answers.push_back("c:\\p\\q.bgl");
    (dialog.*handler)();
    EXPECT_EQ(dialog.m_strOutputName, "mine.bgl");
    EXPECT_EQ(platform.controls[IDC_OUTPUT_NAME], "mine.bgl");
  }
}

TEST_F(DialogTest, OutputPickerKeepsOnlyTheFolderOfThePickedFile) {
  platform_.StoreSetting("OPATH", "d:\\old");
  CQuarnelHelperDlg& dialog = Open();
  platform_.pick_answers.push_back("d:\\out\\x.txt");
  dialog.OnBrowseOutput();
  ASSERT_EQ(platform_.picks.size(), 1u);
  EXPECT_EQ(platform_.picks[0].initial_dir, "D:\\OLD");
  EXPECT_EQ(platform_.picks[0].filter, kAll);
  EXPECT_EQ(platform_.picks[0].flags, 6u);
  EXPECT_EQ(dialog.m_strOutputDir, "D:\\OUT");
  EXPECT_EQ(dialog.m_strOutputName, "NEWAFD.BGL");
  EXPECT_EQ(Box(IDC_OUTPUT_DIR), "D:\\OUT");
  EXPECT_EQ(platform_.Setting("OPATH"), "D:\\OUT");
  EXPECT_EQ(platform_.log, (Log{"get 1697", "get 1699", "get 1702", "get 1703", "is checked 1704",
                                "pick D:\\OLD", "set 1697=", "set 1699=", "set 1702=D:\\OLD",
                                "set 1703=NEWAFD.BGL", "check 1704=0", "write OPATH=D:\\OUT",
                                "set 1697=", "set 1699=", "set 1702=D:\\OUT", "set 1703=NEWAFD.BGL",
                                "check 1704=0"}));
}

TEST_F(DialogTest, OverlongFieldIsCutToThePickersInitialDirectoryBuffer) {
  CQuarnelHelperDlg& dialog = Open();
  Box(IDC_SOURCE_FILE) = std::string(600, 'S');  // only a corrupted field could be this long
  platform_.pick_answers.push_back(std::nullopt);
  dialog.OnBrowseSource();
  ASSERT_EQ(platform_.picks.size(), 1u);
  EXPECT_EQ(platform_.picks[0].initial_dir, std::string(259, 'S'));
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
    EXPECT_EQ(platform_.profile_writes, 0) << name;
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
  CQuarnelHelperDlg& OpenWithFiles() {
    platform_.current_dir = "C:\\QUARNEL";
    CQuarnelHelperDlg& dialog = Open();
    Box(IDC_SOURCE_FILE) = "C:\\FS\\MY.BGL";
    Box(IDC_BASE_FILE) = "C:\\FS\\EURNWAFD.BGL";
    Box(IDC_OUTPUT_DIR) = "D:\\OUT";
    Box(IDC_OUTPUT_NAME) = "new.bgl";
    return dialog;
  }
  bool ToolRan() const { return !platform_.command_lines.empty(); }
};

TEST_F(StartProcessTest, RunsTheToolThenReportsAndCloses) {
  OpenWithFiles().OnOK();
  EXPECT_EQ(platform_.log,
            (Log{"get 1697",
                 "get 1699",
                 "get 1702",
                 "get 1703",
                 "is checked 1704",
                 "set 1697=C:\\FS\\MY.BGL",
                 "set 1699=C:\\FS\\EURNWAFD.BGL",
                 "set 1702=D:\\OUT",
                 "set 1703=NEW.BGL",
                 "check 1704=0",
                 "box  Did you select the right files ?",
                 "cursor on",
                 "start C:\\QUARNEL\\Quarnel -r \"C:\\FS\\EURNWAFD.BGL\" \"C:\\FS\\MY.BGL\" "
                 "\"D:\\OUT\\NEW.BGL\"",
                 "wait 10000",
                 "exitcode",
                 "release",
                 "box End of process ! Status : Sucess ! ",
                 "get 1697",
                 "get 1699",
                 "get 1702",
                 "get 1703",
                 "is checked 1704",
                 "end 1",
                 "cursor off"}));
  ASSERT_EQ(platform_.boxes.size(), 2u);
  EXPECT_EQ(platform_.boxes[0].type, kMbOkCancel | kMbIconQuestion);
  EXPECT_EQ(platform_.boxes[1].type, kMbOk | kMbIconInformation);
  EXPECT_EQ(platform_.releases, 1);
  EXPECT_EQ(platform_.wait_cursor_depth, 0);
  EXPECT_EQ(platform_.profile_writes, 0);
}

TEST_F(StartProcessTest, CancelledConfirmationRunsNothingButNameIsUpperCased) {
  for (const int answer : {kIdCancel, 0}) {
    platform_ = FakePlatform();
    CQuarnelHelperDlg& dialog = OpenWithFiles();
    platform_.box_answers.push_back(answer);
    dialog.OnOK();
    EXPECT_EQ(Box(IDC_OUTPUT_NAME), "NEW.BGL");
    EXPECT_EQ(dialog.m_strOutputName, "NEW.BGL");
    EXPECT_FALSE(ToolRan());
    EXPECT_EQ(platform_.end_dialog_calls, 0);
    EXPECT_EQ(platform_.wait_cursor_begins, 0);
    EXPECT_EQ(platform_.boxes.size(), 1u);
  }
}

TEST_F(StartProcessTest, OutputNamingAnInputIsRefusedInAnyLetterCase) {
  const struct {
    const char* dir;
    const char* name;
  } clashes[] = {
      {"C:\\FS", "MY.BGL"},       {"C:\\FS", "my.bgl"},       {"C:\\FS", "My.Bgl"},
      {"C:\\FS", "EURNWAFD.BGL"}, {"C:\\FS", "eurnwafd.bgl"},
  };
  for (const auto& c : clashes) {
    for (const int clash_answer : {kIdOk, 0}) {
      platform_ = FakePlatform();
      CQuarnelHelperDlg& dialog = OpenWithFiles();
      Box(IDC_OUTPUT_DIR) = c.dir;
      Box(IDC_OUTPUT_NAME) = c.name;
      platform_.box_answers = {kIdOk, clash_answer};
      dialog.OnOK();
      ASSERT_EQ(platform_.boxes.size(), 2u) << c.name;
      EXPECT_EQ(platform_.boxes[1].text, " Target and/or source must have different names !!!");
      EXPECT_EQ(platform_.boxes[1].type, kMbOk | kMbIconHand);
      EXPECT_FALSE(ToolRan()) << c.name << " answer " << clash_answer;
      EXPECT_EQ(platform_.end_dialog_calls, 0) << c.name;
      EXPECT_EQ(platform_.wait_cursor_begins, 0) << c.name;
    }
  }
}

TEST_F(StartProcessTest, SimilarButDifferentPathsAreNotAClash) {
  const char* names[] = {"MY.BGL ", "MY.BG", "MY.BGL.BAK", "\\MY.BGL"};
  for (const char* name : names) {
    platform_ = FakePlatform();
    CQuarnelHelperDlg& dialog = OpenWithFiles();
    Box(IDC_OUTPUT_DIR) = "C:\\FS";
    Box(IDC_OUTPUT_NAME) = name;
    dialog.OnOK();
    EXPECT_TRUE(ToolRan()) << name;
  }
}

TEST_F(StartProcessTest, EmptyFieldsArePassedAsEmptyQuotesAndOutputGoesToTheRoot) {
  CQuarnelHelperDlg& dialog = Open();
  dialog.OnOK();
  ASSERT_EQ(platform_.command_lines.size(), 1u);
  EXPECT_EQ(platform_.command_lines[0], "C:\\QUARNEL\\Quarnel -r \"\" \"\" \"\\NEWAFD.BGL\"");
}

TEST_F(StartProcessTest, RememberedFolderInAnInputBoxIsPassedUnchanged) {
  platform_.StoreSetting("SOURCEDIR", "c:\\only\\a\\folder");
  CQuarnelHelperDlg& dialog = Open();
  dialog.OnOK();
  ASSERT_EQ(platform_.command_lines.size(), 1u);
  EXPECT_EQ(platform_.command_lines[0],
            "C:\\QUARNEL\\Quarnel -r \"\" \"C:\\ONLY\\A\\FOLDER\" \"\\NEWAFD.BGL\"");
}

TEST_F(StartProcessTest, ToolFolderIsTheOneOfTheStartNotTheCurrentOne) {
  CQuarnelHelperDlg& dialog = OpenWithFiles();
  platform_.current_dir = "C:\\FS";  // where a picker may have moved it
  dialog.OnOK();
  ASSERT_EQ(platform_.command_lines.size(), 1u);
  EXPECT_EQ(platform_.command_lines[0].rfind("C:\\QUARNEL\\Quarnel -r ", 0), 0u);
}

TEST_F(StartProcessTest, ExitStatusIsShownByItsText) {
  const struct {
    std::optional<std::uint32_t> code;
    const char* text;
  } cases[] = {
      {0, "End of process ! Status : Sucess ! "},
      {1, "End of process ! Status : Out of memory ! "},
      {2, "End of process ! Status : File open error ! "},
      {3, "End of process ! Status : Wrong BGL header ! "},
      {4, "End of process ! Status : Nothing found ! "},
      {5, "End of process ! Status : No vaild data in input file ! "},
      {6, "End of process ! Status : Can\xB4t open output file ! "},
      {15,
       "End of process ! Status : Internal error code: F ! \n"
       "Send email with the code to support@quarnel.example"},
      {0xFFFFFFFFu, "End of process ! Status : Quarnel not found ! "},
      // The exit code could not be read: the status keeps its -1.
      {std::nullopt, "End of process ! Status : Quarnel not found ! "},
  };
  for (const auto& c : cases) {
    platform_ = FakePlatform();
    platform_.exit_code = c.code;
    OpenWithFiles().OnOK();
    ASSERT_EQ(platform_.boxes.size(), 2u);
    EXPECT_EQ(platform_.boxes[1].text, c.text) << c.code.value_or(0xDEAD);
    EXPECT_EQ(platform_.end_dialog_calls, 1);
    EXPECT_EQ(platform_.end_dialog_result, kIdOk);
  }
}

TEST_F(StartProcessTest, ToolThatDidNotStartReportsNotFoundAndCloses) {
  platform_.start_succeeds = false;
  OpenWithFiles().OnOK();
  ASSERT_EQ(platform_.boxes.size(), 2u);
  EXPECT_EQ(platform_.boxes[1].text, "End of process ! Status : Quarnel not found ! ");
  EXPECT_EQ(platform_.wait_slices, (std::vector<unsigned>{10000}));
  EXPECT_EQ(platform_.releases, 0);
  EXPECT_EQ(platform_.end_dialog_calls, 1);
  EXPECT_EQ(platform_.wait_cursor_depth, 0);
}

TEST_F(StartProcessTest, LongRunIsWaitedForInTenSecondSlices) {
  platform_.timeouts_before_end = 4;
  platform_.exit_code = 5;
  OpenWithFiles().OnOK();
  EXPECT_EQ(platform_.wait_slices, (std::vector<unsigned>(5, 10000)));
  EXPECT_EQ(platform_.boxes.back().text,
            "End of process ! Status : No vaild data in input file ! ");
}

TEST_F(StartProcessTest, FailedWaitStillReadsTheExitCode) {
  platform_.wait_fails = true;
  platform_.exit_code = 259;  // a process that is still running reports this
  OpenWithFiles().OnOK();
  EXPECT_EQ(platform_.wait_slices.size(), 1u);
  EXPECT_EQ(platform_.boxes.back().text,
            "End of process ! Status : Internal error code: 103 ! \n"
            "Send email with the code to support@quarnel.example");
}

TEST_F(StartProcessTest, CommandLineLongerThanItsBufferIsRefusedAndRunsNothing) {
  // 29 fixed characters with these values: "C:\QUARNEL\Quarnel -r "" "" "\<name>"".
  const std::size_t fixed = std::string("C:\\QUARNEL\\Quarnel -r \"\" \"\" \"\\\"").size();
  for (const std::size_t total : {std::size_t{1023}, std::size_t{1024}, std::size_t{40000}}) {
    platform_ = FakePlatform();
    CQuarnelHelperDlg& dialog = Open();
    Box(IDC_OUTPUT_NAME) = std::string(total - fixed, 'N');
    dialog.OnOK();
    if (total <= 1023) {
      ASSERT_EQ(platform_.command_lines.size(), 1u) << total;
      EXPECT_EQ(platform_.command_lines[0].size(), total);
      continue;
    }
    EXPECT_FALSE(ToolRan()) << total;
    ASSERT_EQ(platform_.boxes.size(), 2u);
    EXPECT_EQ(platform_.boxes[1].text, kCommandTooLongText);
    EXPECT_EQ(platform_.end_dialog_calls, 0);  // still open for shorter names
    EXPECT_EQ(platform_.wait_cursor_depth, 0);
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

// ---- Start Process with the merge box ----

TEST_F(StartProcessTest, TheBoxChoosesTheOptionAndWhetherTheOutputIsRead) {
  const struct {
    bool ticked;
    const char* command;
  } cases[] = {
      {false,
       "C:\\QUARNEL\\Quarnel -r \"C:\\FS\\EURNWAFD.BGL\" \"C:\\FS\\MY.BGL\" \"D:\\OUT\\NEW.BGL\""},
      {true,
       "C:\\QUARNEL\\Quarnel -m \"C:\\FS\\EURNWAFD.BGL\" \"C:\\FS\\MY.BGL\" \"D:\\OUT\\NEW.BGL\""},
  };
  for (const auto& c : cases) {
    platform_ = FakePlatform();
    CQuarnelHelperDlg& dialog = OpenWithFiles();
    platform_.checks[IDC_MERGE] = c.ticked;
    dialog.OnOK();
    EXPECT_EQ(platform_.command_lines, (std::vector<std::string>{c.command}));
    EXPECT_EQ(platform_.captures, (std::vector<bool>{c.ticked}));
    EXPECT_EQ(platform_.output_reads,
              c.ticked ? std::vector<std::size_t>{kReportTailBytes} : std::vector<std::size_t>{});
    ASSERT_EQ(platform_.boxes.size(), 2u);
    EXPECT_EQ(platform_.boxes[0].text, " Did you select the right files ?");
    EXPECT_EQ(platform_.releases, 1);
    // Running stores nothing; only a click on the box does.
    EXPECT_EQ(platform_.profile_writes, 0);
    EXPECT_EQ(platform_.end_dialog_calls, 1);
  }
}

TEST_F(StartProcessTest, MergeHasItsOwnTextsAndTheLinkKeepsItsOwn) {
  const std::string kSuccess = "End of process ! Status : Sucess ! ";
  const std::string kReport =
      "QUARNEL 1.2\r\nreplaced: HAMBURG\r\nadded: KASSEL\r\n"
      "3 replaced, 1 added, 0 left out\r\n";
  const struct {
    const char* name;
    bool ticked;
    std::optional<std::uint32_t> code;
    std::string output;
    std::string text;
  } cases[] = {
      {"merged", true, 0, kReport, kSuccess + "\n3 replaced, 1 added, 0 left out"},
      {"long report", true, 0,
       "QUARNEL 1.2\n" + std::string(20000, 'x') + "\n20000 replaced, 0 added, 0 left out\n",
       kSuccess + "\n20000 replaced, 0 added, 0 left out"},
      {"nothing captured", true, 0, "", kSuccess},
      {"tool without -m", true, 0, "QUARNEL 1.2\r\nunknown command\r\n", kToolCannotMergeText},
      {"no facility", true, 5, "QUARNEL 1.2\r\n", "The source file holds no airport, VOR or NDB."},
      {"too many", true, 10, "QUARNEL 1.2\r\ntoo many records: 20001\r\n",
       "The result would hold more records than the tool can take."},
      // Other codes keep the link's texts (all of them: status_message_test).
      {"open error", true, 2, kReport, "End of process ! Status : File open error ! "},
      // Unticked, the output is never read and 5 and 10 keep the link's texts.
      {"linked", false, 0, kReport, kSuccess},
      {"link 5", false, 5, "", "End of process ! Status : No vaild data in input file ! "},
      {"link 10", false, 10, "",
       "End of process ! Status : Internal error code: A ! \n"
       "Send email with the code to support@quarnel.example"},
  };
  for (const auto& c : cases) {
    platform_ = FakePlatform();
    platform_.exit_code = c.code;
    platform_.tool_output = c.output;
    CQuarnelHelperDlg& dialog = OpenWithFiles();
    platform_.checks[IDC_MERGE] = c.ticked;
    dialog.OnOK();
    ASSERT_EQ(platform_.boxes.size(), 2u) << c.name;
    EXPECT_EQ(platform_.boxes[1].text, c.text) << c.name;
    EXPECT_EQ(platform_.boxes[1].type, kMbOk | kMbIconInformation) << c.name;
  }
}

TEST_F(StartProcessTest, MergeRunsEvenWhenItsOutputCannotBeCaptured) {
  platform_.capture_fails = true;
  platform_.tool_output = "3 replaced, 1 added, 0 left out\r\n";
  CQuarnelHelperDlg& dialog = OpenWithFiles();
  platform_.checks[IDC_MERGE] = true;
  dialog.OnOK();
  ASSERT_EQ(platform_.command_lines.size(), 1u);
  EXPECT_EQ(platform_.boxes.back().text, "End of process ! Status : Sucess ! ");
}

}  // namespace
}  // namespace quarnel_helper
