// The real Uninstaller.exe against an installed stand-in product, driven as a person would: its
// window, its buttons, its message boxes. Each test installs the product afresh with the sandbox
// installer, starts the uninstaller from the installation folder and follows it to the end.
#include "tests/e2e/UninstallerFixture.h"

using namespace testing_support;

namespace {

class UninstallerRun : public UninstallerFixture {};

constexpr wchar_t kDeclinedRowEnd[] =
    L" not deleted: the Recycle Bin could not take it, and deleting it permanently was declined.";

TEST_F(UninstallerRun, CompleteUninstallRecyclesBothFoldersAndRemovesItself) {
  InstallBoth();
  const auto installed = TreeListing(installDir_);
  const auto data = TreeListing(dataDir_);
  ASSERT_TRUE(installed.count(L"Uninstaller.exe"));
  ASSERT_TRUE(FileExists(DesktopShortcut()));
  ASSERT_TRUE(FileExists(StartMenuShortcut()));
  const SandboxGuard guard = GuardConfirmingBothFolders();

  HWND window = StartUninstaller();
  ASSERT_NE(window, nullptr);
  auto started = ReadProcessStartInfo(pid_);
  ASSERT_TRUE(started.has_value());
  EXPECT_TRUE(IsCopyInRunFolder(started->imagePath))
      << Wide2Utf8(started->imagePath) << "the copy in the temporary folder runs the uninstall";
  EXPECT_EQ(TextOf(PathField()), installDir_ + L"\\");
  HWND uninstall = Button(L"Uninstall");
  ASSERT_NE(uninstall, nullptr);
  EXPECT_FALSE(::IsWindowEnabled(uninstall)) << "held back by the countdown";
  ASSERT_TRUE(WaitForEnabled(uninstall, true, 30s)) << "enabled when the countdown ends";

  // The main window as the README shows it.
  EXPECT_TRUE(SaveWindowPng(window, std::wstring(ORVEX_SOURCE_DIR) + L"\\docs\\main-window.png"));

  ClickButton(uninstall);
  MessageBoxInfo first = Answer(L"Yes");
  EXPECT_EQ(first.text, L"Are you sure you want to uninstall Pelmor Wallpaper Changer?");
  EXPECT_EQ(first.caption, L"Uninstaller");
  MessageBoxInfo second = Answer(L"Yes");
  EXPECT_EQ(second.text, L"Do you approve deletion of the following items?\r\n " + installDir_ +
                             L"\\\r\n " + dataDir_ +
                             L"\r\n  Desktop icon\r\n  Start menu icon\r\n\r\nIf you are not sure, "
                             L"you can also delete them manually.");
  // Behind the last box, every row of the pane is regular: only a bold row would be bold.
  auto feedback = WaitForBox(60s, BoxFilter{pid_, L""});
  ASSERT_TRUE(feedback.has_value());
  const std::vector<RichRow> shown = RichEditRows(Log());
  ASSERT_FALSE(shown.empty()) << "the pane's rows could not be read";
  for (const RichRow& row : shown)
    EXPECT_FALSE(row.bold) << "bold on screen: " << Wide2Utf8(row.text);
  MessageBoxInfo answered = Answer(L"OK");
  EXPECT_EQ(answered.hwnd, feedback->hwnd);
  EXPECT_EQ(answered.text, kFeedbackRequest);
  EXPECT_EQ(answered.caption, L"Uninstaller");
  EXPECT_EQ(answered.icon, BoxIcon::Information);
  ASSERT_TRUE(Ended()) << "the uninstaller ends by itself";

  // Both folders went to the Recycle Bin whole.
  EXPECT_FALSE(DirExists(installDir_));
  EXPECT_FALSE(DirExists(dataDir_));
  EXPECT_EQ(TreeListing(TrashDir() + L"\\files\\Pelmor Wallpaper"), installed);
  EXPECT_EQ(TreeListing(TrashDir() + L"\\files\\Pelmor Wallpaper Changer"), data);
  EXPECT_FALSE(FileExists(DesktopShortcut()));
  EXPECT_FALSE(FileExists(StartMenuShortcut()));

  const std::vector<Row> expected =
      CompletedRows(installDir_ + L"\\", dataDir_,
                    {{L"Folder " + installDir_ + L"\\ deleted to RecycleBin.", kBlack},
                     {L"Folder " + dataDir_ + L" deleted to RecycleBin.", kBlack},
                     {L"Desktop icon removed.", kBlack},
                     {L"Start menu icon removed.", kBlack}});
  EXPECT_EQ(SavedLogRows(), expected);
  // Read by a reader that is not ours, the saved log is regular throughout.
  const std::string html = UnrtfHtml(SavedLogPath());
  ASSERT_NE(html.find("Uninstall done."), std::string::npos) << "unrtf did not read the log:\n"
                                                             << html;
  EXPECT_TRUE(BoldRunsOf(html).empty()) << html;

  // The page's record comes after the uninstaller has ended; once it is there and Wine's
  // hand-overs are done, no other can follow.
  EXPECT_TRUE(WaitUntil([] { return TimesRecorded(L"xdg-open", kFeedbackPage) >= 1; }, 30s));
  ASSERT_TRUE(WaitForHandOvers(30s));
  EXPECT_EQ(TimesRecorded(L"xdg-open", kFeedbackPage), 1u);
  ExpectSelfDeleted();
  const GuardReport report = ExpectNothingElseChanged(guard, "run", "complete uninstall");
  EXPECT_EQ(report.recycled, report.removed);
  EXPECT_GT(report.removed, 0u);
}

TEST_F(UninstallerRun, AnsweringNoStopsAndDeletesNothing) {
  InstallBoth();
  const auto installed = TreeListing(installDir_);
  ASSERT_NE(StartUninstaller(), nullptr);
  RetypePath(installDir_);

  ClickUninstall();
  Answer(L"No");
  EXPECT_TRUE(WaitUntil([&] { return LogRows().size() == 2; }, 10s));
  EXPECT_EQ(LogRows(), (std::vector<std::wstring>{L"Uninstall process started...",
                                                  L"Uninstall process aborted by user."}));
  EXPECT_FALSE(::IsWindowVisible(FindDescendant(window_, L"Static", L"Huge discount for you!")));

  ClickUninstall();
  Answer(L"Yes");
  MessageBoxInfo second = Answer(L"No");
  EXPECT_NE(second.text.find(L"Do you approve deletion"), std::wstring::npos);
  EXPECT_TRUE(WaitUntil([&] { return LogRows().size() == 3; }, 10s));
  EXPECT_EQ(LogRows(), (std::vector<std::wstring>{L"Uninstall process started...",
                                                  L"User confirmation obtained.",
                                                  L"Uninstall process aborted by user."}));
  EXPECT_TRUE(::IsWindowVisible(FindDescendant(window_, L"Static", L"Huge discount for you!")));
  EXPECT_TRUE(::IsWindowVisible(FindDescendant(window_, L"Static", L"Click here")));

  EXPECT_EQ(TreeListing(installDir_), installed);
  EXPECT_TRUE(DirExists(dataDir_));
  EXPECT_TRUE(FileExists(DesktopShortcut()));
  EXPECT_TRUE(FileExists(StartMenuShortcut()));
  EXPECT_TRUE(::IsWindowEnabled(Button(L"Uninstall")));
  EXPECT_TRUE(OpenBoxes(BoxFilter{pid_, L""}).empty());
  CloseWindow();
  EXPECT_TRUE(FilesMatching(DesktopDir() + L"\\" + kLogPrefix + L"*").empty());
}

TEST_F(UninstallerRun, MissingFolderGivesOneBoxAndThreeRows) {
  const std::wstring missing = root_ + L"\\Moved Away";
  InstallProduct(L"--install \"" + installDir_ + L"\" --install-value \"" + missing + L"\"");
  ASSERT_NE(StartUninstaller(), nullptr);
  MessageBoxInfo atStart = Answer(L"OK");
  EXPECT_EQ(atStart.text,
            L"Original installation folder does not exist.\r\nProbably moved or "
            L"deleted manually.\r\nFolder: " +
                missing);
  ClickUninstall();  // enabled by the countdown alone
  MessageBoxInfo box = Answer(L"OK");
  EXPECT_EQ(box.caption, L"Uninstaller - Error");
  EXPECT_EQ(box.text, L"Folder does not exist:\r\n" + missing + L"\\");
  EXPECT_TRUE(WaitUntil([&] { return LogRows().size() == 3; }, 10s));
  EXPECT_EQ(LogRows(), (std::vector<std::wstring>{L"Uninstall process started...",
                                                  L"Folder does not exist: " + missing + L"\\",
                                                  L"Uninstall process aborted."}));
  // The last row is the handler's last step: no box can follow it.
  EXPECT_TRUE(OpenBoxes(BoxFilter{pid_, L""}).empty()) << "one box only";
  CloseWindow();
}

TEST_F(UninstallerRun, RunningProductIsBroughtForwardAndWaitedFor) {
  InstallBoth();
  const std::wstring record = root_ + L"\\activations.txt";
  Process product = StartProduct(L"--state max-min --record \"" + record + L"\"");
  HWND productWindow = ::FindWindowW(kProductClass.c_str(), nullptr);
  ASSERT_NE(productWindow, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(productWindow) != FALSE; }, 10s));

  ASSERT_NE(StartUninstaller(), nullptr);
  RetypePath(installDir_);
  ClickUninstall();
  Answer(L"Yes");
  // While the warning is up, the product's window is back as it was before it was minimised.
  auto warning = WaitForBox(60s, BoxFilter{pid_, L""});
  ASSERT_TRUE(warning.has_value());
  EXPECT_EQ(warning->caption, L"Uninstaller - Warning");
  EXPECT_EQ(warning->icon, BoxIcon::Warning);
  EXPECT_EQ(warning->text, kStillRunning);
  // The product has the foreground now; the warning is still the main window's.
  ExpectModal(*warning);
  ExpectUninstallClickIgnored();
  EXPECT_TRUE(
      WaitUntil([&] { return ::IsZoomed(productWindow) && !::IsIconic(productWindow); }, 10s))
      << "restored as it was before it was minimised";
  EXPECT_EQ(TextOf(productWindow), L"Pelmor Wallpaper Changer - activated 1");
  ASSERT_TRUE(PressButton(*warning, L"OK"));

  // Still running after OK: the same again.
  auto again = WaitForBox(60s, BoxFilter{pid_, L""});
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->text, kStillRunning);
  ExpectModal(*again);
  EXPECT_EQ(TextOf(productWindow), L"Pelmor Wallpaper Changer - activated 2");
  const std::vector<std::wstring> whileRunning = LogRows();
  EXPECT_EQ(std::count(whileRunning.begin(), whileRunning.end(),
                       L"Pelmor Wallpaper Changer is running. Please shut it down."),
            2);

  // The product is closed; OK goes on to the second question.
  ::PostMessageW(productWindow, WM_CLOSE, 0, 0);
  ASSERT_TRUE(product.WaitExit(30s));
  ASSERT_TRUE(PressButton(*again, L"OK"));
  MessageBoxInfo second = Answer(L"No");
  EXPECT_NE(second.text.find(L"Do you approve deletion"), std::wstring::npos)
      << Wide2Utf8(second.text);
  EXPECT_TRUE(WaitUntil([&] { return LogRows().size() == 5; }, 10s));
  EXPECT_EQ(LogRows(), (std::vector<std::wstring>{
                           L"Uninstall process started...", L"User confirmation obtained.",
                           L"Pelmor Wallpaper Changer is running. Please shut it down.",
                           L"Pelmor Wallpaper Changer is running. Please shut it down.",
                           L"Uninstall process aborted by user."}));
  EXPECT_TRUE(DirExists(installDir_));
  CloseWindow();
}

TEST_F(UninstallerRun, ProductThatNeverAnswersDoesNotHangTheUninstaller) {
  InstallBoth();
  Process product = StartProduct(L"--state min --hang");
  SandboxGuard guard;
  AllowTheUninstallersOwnFiles(guard);
  ASSERT_NE(StartUninstaller(), nullptr);
  RetypePath(installDir_);
  ClickUninstall();
  Answer(L"Yes");
  // The warning comes although the product never handles the activation message.
  MessageBoxInfo warning = Answer(L"OK", 60s);
  EXPECT_EQ(warning.text, kStillRunning);
  auto again = WaitForBox(60s, BoxFilter{pid_, L""});
  ASSERT_TRUE(again.has_value()) << "the loop goes on while the product hangs";
  EXPECT_EQ(again->text, kStillRunning);
  ExpectModal(*again);
  // The user kills the hung product, as the warning suggests.
  product.Kill();
  ASSERT_TRUE(product.WaitExit(30s));
  ASSERT_TRUE(PressButton(*again, L"OK"));
  MessageBoxInfo second = Answer(L"No");
  EXPECT_NE(second.text.find(L"Do you approve deletion"), std::wstring::npos);
  CloseWindow();
  ExpectNothingElseChanged(guard, "fault", "product window never answers");
}

TEST_F(UninstallerRun, ProductThatAnswersThenHangsStillGetsTheWarning) {
  InstallBoth();
  Process product = StartProduct(L"--state max-min --hang-after-answer");
  SandboxGuard guard;
  AllowTheUninstallersOwnFiles(guard);
  ASSERT_NE(StartUninstaller(), nullptr);
  RetypePath(installDir_);
  ClickUninstall();
  Answer(L"Yes");
  // Restoring and bringing forward wait for the product's thread, which stopped after answering.
  auto warning = WaitForBox(60s, BoxFilter{pid_, L""});
  ASSERT_TRUE(warning.has_value()) << "the uninstaller froze with the product";
  EXPECT_EQ(warning->text, kStillRunning);
  ExpectModal(*warning);
  product.Kill();
  ASSERT_TRUE(product.WaitExit(30s));
  ASSERT_TRUE(PressButton(*warning, L"OK"));
  EXPECT_NE(Answer(L"No").text.find(L"Do you approve deletion"), std::wstring::npos);
  CloseWindow();
  ExpectNothingElseChanged(guard, "hostile", "product answers, then hangs");
}

TEST_F(UninstallerRun, SpecialFoldersAndTheirContentStay) {
  struct Case {
    std::wstring install, data;
  };
  const std::wstring documents = ShellFolder(CSIDL_PERSONAL);
  const std::wstring profile = Known(FOLDERID_Profile);
  const std::wstring users = profile.substr(0, profile.find_last_of(L'\\'));
  const Case cases[] = {
      // A special folder in mixed case without its backslash; Downloads, which has no CSIDL.
      {MixedCase(documents), Known(FOLDERID_Downloads) + L"\\"},
      // A drive root; a folder that holds the profile.
      {L"C:\\", Lower(users) + L"\\"},
      // The profile itself; a special folder given as the data folder.
      {Lower(profile) + L"\\", ShellFolder(CSIDL_PROGRAM_FILES)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Wide2Utf8(c.install) + " / " + Wide2Utf8(c.data));
    const std::wstring installMarker =
        c.install + (c.install.back() == L'\\' ? L"" : L"\\") + L"pelmor-marker.txt";
    const std::wstring dataMarker =
        c.data + (c.data.back() == L'\\' ? L"" : L"\\") + L"pelmor-marker.txt";
    WriteFileBytes(installMarker, "stay");
    WriteFileBytes(dataMarker, "stay");
    InstallProduct(L"--no-shortcuts --install-value " + QuoteArg(c.install) + L" --data-value " +
                   QuoteArg(c.data));
    ASSERT_NO_FATAL_FAILURE(StartAndApproveBoth(c.install));
    EXPECT_EQ(Answer(L"OK").text, kFeedbackRequest);
    ASSERT_TRUE(Ended());
    EXPECT_TRUE(FileExists(installMarker));
    EXPECT_TRUE(FileExists(dataMarker));
    EXPECT_TRUE(DirExists(ShellFolder(CSIDL_WINDOWS)));
    EXPECT_TRUE(TreeListing(TrashDir() + L"\\files").empty()) << "nothing went to the Recycle Bin";

    const std::wstring shownInstall = c.install + (c.install.back() == L'\\' ? L"" : L"\\");
    std::vector<Row> middle = RefusedRows(shownInstall, L"   ");
    const std::vector<Row> dataRows = RefusedRows(c.data, L"  ");
    middle.insert(middle.end(), dataRows.begin(), dataRows.end());
    EXPECT_EQ(SavedLogRows(), CompletedRows(shownInstall, c.data, middle,
                                            {LeftInPlace(shownInstall), LeftInPlace(c.data)}));
    ::DeleteFileW(installMarker.c_str());
    ::DeleteFileW(dataMarker.c_str());
    ExpectSelfDeleted();
    CleanUp();
  }
}

// No to deleting for good is a choice, not a lock: the folders stay, and the log says so.
TEST_F(UninstallerRun, DeclinedDeletingForGoodIsLoggedAsDeclined) {
  InstallBoth();
  const auto installed = TreeListing(installDir_);
  const auto data = TreeListing(dataDir_);
  BreakTrash();
  const SandboxGuard guard = GuardConfirmingBothFolders();
  ASSERT_NO_FATAL_FAILURE(StartAndApproveBoth());
  // The shell offers to delete for good what the Recycle Bin cannot take: the answer is No, which
  // is no lock: no box says so.
  MessageBoxInfo nuke = Answer(L"No");
  EXPECT_TRUE(nuke.HasButton(L"No")) << Wide2Utf8(nuke.text);
  Answer(L"No");  // the data folder: again not for good
  EXPECT_EQ(Answer(L"OK").text, kFeedbackRequest);
  ASSERT_TRUE(Ended());
  ExpectSelfDeleted();
  ExpectNothingElseChanged(guard, "fault",
                           "Recycle Bin cannot take the folder, warning answered No");
  RestoreTrash();

  EXPECT_EQ(TreeListing(installDir_), installed) << "nothing lost";
  EXPECT_EQ(TreeListing(dataDir_), data);
  const std::vector<Row> expected =
      CompletedRows(installDir_ + L"\\", dataDir_,
                    {{L"Folder " + installDir_ + L"\\" + kDeclinedRowEnd, kOrange},
                     {L"Folder " + dataDir_ + kDeclinedRowEnd, kOrange},
                     // Raw rows take the colour the insertion point was left with: the warning's.
                     {L"Desktop icon removed.", kOrange},
                     {L"Start menu icon removed.", kOrange}},
                    {LeftInPlace(installDir_ + L"\\"), LeftInPlace(dataDir_)});
  EXPECT_EQ(SavedLogRows(), expected);
  ExpectSelfDeleted();
}

TEST_F(UninstallerRun, FolderDeletedForGoodIsNotLoggedAsRecycled) {
  InstallBoth();
  const auto installed = TreeListing(installDir_);
  const auto data = TreeListing(dataDir_);
  BreakTrash();
  const SandboxGuard guard = GuardConfirmingBothFolders();
  ASSERT_NO_FATAL_FAILURE(StartAndApproveBoth());
  // The shell offers to delete for good what the Recycle Bin cannot take; the user agrees, for
  // both folders.
  EXPECT_TRUE(Answer(L"Yes").HasButton(L"No"));
  EXPECT_TRUE(Answer(L"Yes").HasButton(L"No"));
  EXPECT_EQ(Answer(L"OK").text, kFeedbackRequest) << "no locked-folder box: the folder is gone";
  ASSERT_TRUE(Ended());
  ExpectSelfDeleted();
  // The user agreed to lose exactly the two folders' files, and nothing else changed.
  const GuardReport report = guard.Check();
  EXPECT_TRUE(report.unexpected.empty()) << report.Describe();
  size_t files = 0;
  for (const auto* listing : {&installed, &data})
    for (const auto& [name, content] : *listing) files += name.back() != L'\\';
  EXPECT_EQ(report.lost.size(), files) << report.Describe();
  RestoreTrash();
  EXPECT_FALSE(DirExists(installDir_));
  EXPECT_FALSE(DirExists(dataDir_));
  const std::vector<Row> expected = CompletedRows(
      installDir_ + L"\\", dataDir_,
      {{L"Folder " + installDir_ +
            L"\\ was deleted permanently: the Recycle Bin could not take it.",
        kOrange},
       {L"Folder " + dataDir_ + L" was deleted permanently: the Recycle Bin could not take it.",
        kOrange},
       {L"Desktop icon removed.", kOrange},
       {L"Start menu icon removed.", kOrange}},
      {{L"Some files were deleted permanently, not to the Recycle Bin.", kOrange},
       {L"Uninstall done.", kBlack}});
  EXPECT_EQ(SavedLogRows(), expected);
}

// A folder named in its 8.3 short form, as older installers store paths, is logged as what became
// of it: recycled, though the Recycle Bin records it under its long name.
TEST_F(UninstallerRun, FolderNamedInItsShortFormIsLoggedAsRecycled) {
  InstallBoth();
  const std::wstring shortForm = ShortPath(installDir_);
  ASSERT_NE(Lower(shortForm), Lower(installDir_));
  ASSERT_NO_FATAL_FAILURE(StartAndApproveBoth(shortForm));
  EXPECT_EQ(Answer(L"OK").text, kFeedbackRequest);
  ASSERT_TRUE(Ended());
  EXPECT_FALSE(DirExists(installDir_));
  const std::vector<Row> rows = SavedLogRows();
  for (const Row& row : {Row{L"Folder " + shortForm + L"\\ deleted to RecycleBin.", kBlack},
                         Row{L"Files deleted to Recycle Bin.", kBlack}})
    EXPECT_NE(std::find(rows.begin(), rows.end(), row), rows.end()) << Wide2Utf8(row.text);
  ExpectSelfDeleted();
}

// Another program empties the Recycle Bin just as the folder arrives there: the bin holds no more
// items than before, and the folder is still recycled, not lost.
TEST_F(UninstallerRun, FolderRecycledWhileTheBinIsEmptiedIsLoggedAsRecycled) {
  InstallBoth();
  WriteFileBytes(TrashDir() + L"\\files\\older", "deleted before");
  WriteFileBytes(TrashDir() + L"\\info\\older.trashinfo",
                 "[Trash Info]\nPath=/older\nDeletionDate=2026-01-01T10:00:00\n");
  const std::string trash = UnixPathOf(TrashDir());
  ASSERT_TRUE(RunOnLinux("cd " + ShellQuoted(trash) +
                         " && (timeout 120 sh -c 'while [ ! -e \"files/Pelmor Wallpaper\" ]; do :;"
                         " done; rm -f files/older info/older.trashinfo' >/dev/null 2>&1 &)"));
  ASSERT_NO_FATAL_FAILURE(StartAndApproveBoth());
  EXPECT_EQ(Answer(L"OK").text, kFeedbackRequest);
  ASSERT_TRUE(Ended());
  EXPECT_FALSE(FileExists(TrashDir() + L"\\files\\older")) << "the bin was emptied meanwhile";
  EXPECT_EQ(SavedLogRows(),
            CompletedRows(installDir_ + L"\\", dataDir_,
                          {{L"Folder " + installDir_ + L"\\ deleted to RecycleBin.", kBlack},
                           {L"Folder " + dataDir_ + L" deleted to RecycleBin.", kBlack},
                           {L"Desktop icon removed.", kBlack},
                           {L"Start menu icon removed.", kBlack}}));
  ExpectSelfDeleted();
}

// A folder of 260 characters or more that the Recycle Bin cannot take stays, the log says so,
// and the uninstall goes on to its end.
TEST_F(UninstallerRun, LongFolderThatCannotBeRecycledStopsNothing) {
  installDir_ = root_ + L"\\" + std::wstring(120, L'p') + L"\\" + std::wstring(120, L'w');
  ASSERT_GE(installDir_.size(), 260u);
  // The shell's own folder helper stops short of such a length: the folder is made here.
  MakeDirs(installDir_);
  WriteFileBytes(installDir_ + L"\\settings.ini", "[Pelmor]");
  ASSERT_TRUE(FileExists(installDir_ + L"\\settings.ini"));
  InstallProduct(L"--install-value " + QuoteArg(installDir_) + L" --data " + QuoteArg(dataDir_));
  BreakTrash();
  ASSERT_NO_FATAL_FAILURE(StartAndApproveBoth());
  std::vector<std::wstring> boxes;
  for (int i = 0; i < 8 && !Ended(0ms); ++i) {
    auto box = WaitForBox(20s, BoxFilter{pid_, L""});
    if (!box) continue;
    boxes.push_back(box->text);
    PressButton(*box, box->HasButton(L"No") ? L"No" : L"OK");
    WaitForBoxClosed(box->hwnd, 10s);
  }
  ASSERT_TRUE(Ended());
  EXPECT_NE(std::find(boxes.begin(), boxes.end(), kFeedbackRequest), boxes.end());
  RestoreTrash();
  const std::vector<Row> rows = SavedLogRows();
  EXPECT_NE(std::find(rows.begin(), rows.end(), LeftInPlace(installDir_ + L"\\")), rows.end());
  EXPECT_TRUE(DirExists(installDir_));
  ExpectSelfDeleted();
}

TEST_F(UninstallerRun, MissingRecycleBinLosesNothing) {
  InstallBoth();
  RemoveTree(TrashDir());
  const SandboxGuard guard = GuardConfirmingBothFolders();
  ASSERT_NO_FATAL_FAILURE(StartAndApproveBoth());
  // Whatever the shell offers now, deleting for good is refused; the uninstall goes on to its end.
  for (int boxes = 0; boxes < 6 && !Ended(0ms); ++boxes) {
    auto box = WaitForBox(20s, BoxFilter{pid_, L""});
    if (!box) continue;
    PressButton(*box, box->HasButton(L"No") ? L"No" : L"OK");
    WaitForBoxClosed(box->hwnd, 10s);
  }
  ASSERT_TRUE(Ended());
  ExpectSelfDeleted();
  const GuardReport report = ExpectNothingElseChanged(guard, "fault", "Recycle Bin missing");
  EXPECT_TRUE(report.lost.empty());
}

TEST_F(UninstallerRun, BlockedLogFileIsReportedAndTheUninstallFinishes) {
  InstallBoth();
  ASSERT_NE(StartUninstaller(), nullptr);
  RetypePath(installDir_);
  BreakDesktop();
  const SandboxGuard guard = GuardConfirmingBothFolders();
  ClickUninstall();
  Answer(L"Yes");
  Answer(L"Yes");
  MessageBoxInfo blocked = Answer(L"OK");
  EXPECT_EQ(blocked.caption, L"Uninstaller");
  EXPECT_EQ(blocked.icon, BoxIcon::Information);
  EXPECT_EQ(blocked.text,
            L"The uninstaller was blocked from creating the uninstall log on your "
            L"desktop! Some overzealous antivirus programs misbehave by blocking "
            L"legitimate applications.");
  EXPECT_EQ(Answer(L"OK").text, kFeedbackRequest);
  ASSERT_TRUE(Ended());
  ExpectSelfDeleted();
  ExpectNothingElseChanged(guard, "fault", "desktop not writable");
  RestoreDesktop();
  EXPECT_FALSE(DirExists(installDir_));
  EXPECT_FALSE(DirExists(dataDir_));
  EXPECT_TRUE(FilesMatching(DesktopDir() + L"\\" + kLogPrefix + L"*").empty());
  EXPECT_TRUE(FilesMatching(TempDir() + L"\\" + kLogPrefix + L"*").empty()) << "no log elsewhere";
  ExpectSelfDeleted();
}

TEST_F(UninstallerRun, DebugModeShowsTheExePathAndSparesTheDataFolder) {
  InstallBoth();
  const auto data = TreeListing(dataDir_);
  // The marker beside the started exe goes with it into its copy's folder.
  WriteFileBytes(installDir_ + L"\\DebugMode", "");
  ASSERT_NE(StartUninstaller(), nullptr);
  EXPECT_TRUE(IsCopyInRunFolder(TextOf(window_))) << Wide2Utf8(TextOf(window_));
  RetypePath(installDir_);
  ClickUninstall();
  Answer(L"Yes");
  MessageBoxInfo second = Answer(L"Yes");
  EXPECT_EQ(second.text, L"Do you approve deletion of the following items?\r\n " + installDir_ +
                             L"\\\r\n " + kDebugText +
                             L"\r\n  Desktop icon\r\n  Start menu icon\r\n\r\nIf you are not sure, "
                             L"you can also delete them manually.");
  Answer(L"OK");
  ASSERT_TRUE(Ended());
  EXPECT_FALSE(DirExists(installDir_));
  EXPECT_EQ(TreeListing(dataDir_), data) << "the data folder is untouched";
  const std::vector<Row> expected =
      CompletedRows(installDir_ + L"\\", kDebugText,
                    {{L"Folder " + installDir_ + L"\\ deleted to RecycleBin.", kBlack},
                     {L"Desktop icon removed.", kBlack},
                     {L"Start menu icon removed.", kBlack}});
  EXPECT_EQ(SavedLogRows(), expected);
  ExpectSelfDeleted();
}

TEST_F(UninstallerRun, FeedbackSentFirstIsNotAskedForAgain) {
  InstallBoth();
  ASSERT_NE(StartUninstaller(), nullptr);
  ClickButton(Button(L"Send feedback"));
  EXPECT_TRUE(WaitUntil(
      [] { return TimesRecorded(L"xdg-email", L"mailto:support@example.com") == 1; }, 30s));
  EXPECT_TRUE(WaitUntil([] { return TimesRecorded(L"xdg-open", kFeedbackPage) == 1; }, 30s));
  EXPECT_TRUE(OpenBoxes(BoxFilter{pid_, L""}).empty());
  RetypePath(installDir_);
  ClickUninstall();
  Answer(L"Yes");
  Answer(L"Yes");
  ASSERT_TRUE(Ended()) << "no request for feedback holds the end";
  EXPECT_FALSE(DirExists(installDir_));
  EXPECT_TRUE(WaitUntil([] { return TimesRecorded(L"xdg-open", kFeedbackPage) >= 1; }, 30s));
  ASSERT_TRUE(WaitForHandOvers(30s));
  EXPECT_EQ(TimesRecorded(L"xdg-open", kFeedbackPage), 1u) << "the page is not opened again";
  EXPECT_EQ(SavedLogRows().size(), 15u);
  ExpectSelfDeleted();
}

TEST_F(UninstallerRun, CompleteRunWithoutStoredDataFolder) {
  InstallProduct(L"--install " + QuoteArg(installDir_));
  ASSERT_NE(StartUninstaller(), nullptr);
  RetypePath(installDir_);
  ClickUninstall();
  Answer(L"Yes");
  // The second item of the list is a line holding one blank.
  EXPECT_EQ(Answer(L"Yes").text,
            L"Do you approve deletion of the following items?\r\n " + installDir_ +
                L"\\\r\n \r\n  Desktop icon\r\n  Start menu icon"
                L"\r\n\r\nIf you are not sure, you can also delete them manually.");
  EXPECT_EQ(Answer(L"OK").text, kFeedbackRequest);
  ASSERT_TRUE(Ended());
  // No data folder: its row is three blanks, and nothing is said of removing it.
  const std::vector<Row> expected =
      CompletedRows(installDir_ + L"\\", L"",
                    {{L"Folder " + installDir_ + L"\\ deleted to RecycleBin.", kBlack},
                     {L"Desktop icon removed.", kBlack},
                     {L"Start menu icon removed.", kBlack}});
  EXPECT_EQ(SavedLogRows(), expected);
  ExpectSelfDeleted();
}

// After the first Yes the discount is shown, painted, and the window then holds still for three
// seconds: it answers nothing while the user reads it.
TEST_F(UninstallerRun, DiscountIsPaintedBeforeTheWindowHoldsStill) {
  InstallBoth();
  ASSERT_NE(StartUninstaller(), nullptr);
  RetypePath(installDir_);
  HWND headline = FindDescendant(window_, L"Static", L"Huge discount for you!");
  ASSERT_NE(headline, nullptr);
  EXPECT_FALSE(::IsWindowVisible(headline));
  ClickUninstall();
  Answer(L"Yes");
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(headline) != FALSE; }, 30s));
  const auto shown = std::chrono::steady_clock::now();
  EXPECT_TRUE(WaitUntil([&] { return ScreenShowsColor(headline, RGB(255, 0, 128)); }, 10s))
      << "the headline's colour is on the screen";
  DWORD_PTR ignored = 0;
  EXPECT_EQ(::SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 300, &ignored), 0)
      << "the window answered while it should hold still";
  // The next question comes once the pause is over, and not before.
  const MessageBoxInfo second = Answer(L"No");
  EXPECT_NE(second.text.find(L"Do you approve deletion"), std::wstring::npos);
  EXPECT_GE(std::chrono::steady_clock::now() - shown, 2500ms);
  EXPECT_TRUE(::IsWindowVisible(headline));
  CloseWindow();
}

// The log file's name carries the local time of saving; a file of that name is replaced.
TEST_F(UninstallerRun, LogFileOfTheSameNameIsReplaced) {
  InstallBoth();
  ASSERT_NE(StartUninstaller(), nullptr);
  RetypePath(installDir_);
  // Old logs for every second of the next few minutes: whenever the log is saved, one of them
  // has its name.
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  int second = now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
  if (second > 86400 - 400) GTEST_SKIP() << "too close to midnight for the names to line up";
  std::vector<std::wstring> names;
  for (int s = second; s < second + 300; ++s) {
    wchar_t time[16] = {};
    swprintf(time, 16, L"%02d.%02d.%02d", s / 3600, s / 60 % 60, s % 60);
    names.push_back(DesktopDir() + L"\\" + kLogPrefix + time + L".RTF");
    WriteFileBytes(names.back(), "an old log");
  }
  ClickUninstall();
  Answer(L"Yes");
  ::GetLocalTime(&now);
  const int firstPossible = now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
  Answer(L"Yes");
  Answer(L"OK");
  ASSERT_TRUE(Ended());
  ::GetLocalTime(&now);
  const int lastPossible = now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
  std::vector<std::wstring> replaced;
  for (const std::wstring& name : names)
    if (ReadFileBytes(name) != "an old log") replaced.push_back(name);
  ASSERT_EQ(replaced.size(), 1u) << "one old log replaced";
  const std::string saved = ReadFileBytes(replaced[0]);
  EXPECT_EQ(saved.rfind("{\\rtf", 0), 0u);
  EXPECT_NE(saved.find("Uninstall done."), std::string::npos);
  const int at =
      static_cast<int>(std::find(names.begin(), names.end(), replaced[0]) - names.begin()) + second;
  EXPECT_GE(at, firstPossible) << "named after a time before the save";
  EXPECT_LE(at, lastPossible) << "named after a time after the save";
  for (const std::wstring& name : names) ::DeleteFileW(name.c_str());
  ExpectSelfDeleted();
}

// A failure while writing the log that is not a failure to create the file is reported, no part
// of a log is left, and the uninstall stops there: no request for feedback, no self-deletion, the
// window stays open. The desktop is a file system with no room left, so the file is created but
// nothing goes into it.
TEST_F(UninstallerRun, LogThatCannotBeWrittenStopsBeforeTheEnd) {
  InstallBoth();
  const std::string desktop = UnixPathOf(DesktopDir());
  ASSERT_FALSE(desktop.empty());
  if (!RunOnLinux("mount -t tmpfs -o size=8k tmpfs " + ShellQuoted(desktop) +
                  " && head -c 8192 /dev/zero > " + ShellQuoted(desktop + "/filler")))
    GTEST_SKIP() << "no file system of its own can be mounted on the desktop here";
  tk::ScopeExit unmount([&] { RunOnLinux("umount " + ShellQuoted(desktop)); });
  ASSERT_NO_FATAL_FAILURE(StartAndApproveBoth());
  const MessageBoxInfo report = Answer(L"OK");
  EXPECT_EQ(report.caption, L"Uninstaller - Error report");
  EXPECT_NE(report.text.find(L"Cannot write to file"), std::wstring::npos)
      << Wide2Utf8(report.text);
  EXPECT_TRUE(FilesMatching(DesktopDir() + L"\\" + kLogPrefix + L"*").empty())
      << "a log that exists is whole: none is left half written";
  // The handler was left there: the window stays, nothing else comes.
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(window_) != FALSE; }, 10s));
  EXPECT_FALSE(Ended(0ms));
  EXPECT_TRUE(OpenBoxes(BoxFilter{pid_, L""}).empty()) << "no request for feedback";
  ASSERT_EQ(RunFolders().size(), 1u) << "no self-deletion";
  EXPECT_TRUE(FileExists(RunFolders()[0] + L"\\Uninstaller.exe"));
  EXPECT_FALSE(FileExists(RunFolders()[0] + L"\\Uninstaller.BAT"));
  EXPECT_FALSE(DirExists(installDir_)) << "what came before the log was done";
  CloseWindow();
}

// Opening the feedback page from the logo is no feedback given: the end still asks for it.
TEST_F(UninstallerRun, LogoClickThenUninstallStillAsksForFeedback) {
  InstallBoth();
  ASSERT_NE(StartUninstaller(), nullptr);
  HWND logo = nullptr;
  for (HWND child : Descendants(window_))
    if (ClassOf(child) == L"TImage") logo = child;
  ASSERT_NE(logo, nullptr);
  RECT rc{};
  ::GetClientRect(logo, &rc);
  const LPARAM middle = MAKELPARAM(rc.right / 2, rc.bottom / 2);
  ::PostMessageW(logo, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  ::PostMessageW(logo, WM_LBUTTONUP, 0, middle);
  EXPECT_TRUE(WaitUntil([] { return TimesRecorded(L"xdg-open", kFeedbackPage) == 1; }, 30s));
  RetypePath(installDir_);
  ClickUninstall();
  Answer(L"Yes");
  Answer(L"Yes");
  EXPECT_EQ(Answer(L"OK").text, kFeedbackRequest);
  ASSERT_TRUE(Ended());
  EXPECT_TRUE(WaitUntil([] { return TimesRecorded(L"xdg-open", kFeedbackPage) >= 2; }, 30s));
  ASSERT_TRUE(WaitForHandOvers(30s));
  EXPECT_EQ(TimesRecorded(L"xdg-open", kFeedbackPage), 2u) << "opened again at the end";
  ExpectSelfDeleted();
}

TEST_F(UninstallerRun, NoStoredFolderAsksTheUserForOne) {
  InstallProduct(L"--data \"" + dataDir_ + L"\"");
  MakeDirs(installDir_);
  ASSERT_NE(StartUninstaller(), nullptr);
  EXPECT_EQ(TextOf(PathField()),
            L"Cannot detect installation folder! Please enter the path here manually.\\");
  const std::vector<std::wstring> rows = LogRows();
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(std::vector<std::wstring>(rows.end() - 2, rows.end()),
            (std::vector<std::wstring>{
                L"Cannot detect installation folder!",
                L"Unless changed by user, the default path should be \"C:\\Pelmor Wallpaper\\\""}));
  HWND uninstall = Button(L"Uninstall");
  EXPECT_FALSE(::IsWindowEnabled(uninstall));
  TypeText(PathField(), installDir_ + L"\\missing");
  EXPECT_FALSE(::IsWindowEnabled(uninstall)) << "not for a folder that does not exist";
  TypeText(PathField(), installDir_);
  EXPECT_TRUE(WaitForEnabled(uninstall, true, 10s)) << "a real folder typed in";
  EXPECT_TRUE(OpenBoxes(BoxFilter{pid_, L""}).empty());
  CloseWindow();
}

}  // namespace
