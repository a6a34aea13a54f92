#include "tests/e2e/UninstallerFixture.h"

#include <shlobj.h>

#include <algorithm>
#include <regex>

namespace testing_support {

std::wstring Known(const KNOWNFOLDERID& id) {
  tk::UniqueCoTaskString path;
  ::SHGetKnownFolderPath(id, 0, nullptr, path.put());
  return path.get() ? path.get() : L"";
}

std::wstring MixedCase(const std::wstring& text) {
  std::wstring out = text;
  bool upper = false;
  for (wchar_t& c : out)
    if (iswalpha(c)) {
      c = upper ? towupper(c) : towlower(c);
      upper = !upper;
    }
  return out;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = towlower(c);
  return text;
}

std::vector<Row> CompletedRows(const std::wstring& install, const std::wstring& data,
                               const std::vector<Row>& middle, const std::vector<Row>& closing) {
  std::vector<Row> rows = {{L"Uninstall process started...", kBlack},
                           {L"User confirmation obtained.", kBlack},
                           {L" ", kBlack},
                           {L"The user approved deletion of: ", kBlack},
                           {L"   " + install, kBlack},
                           {L"   " + data, kBlack}};
  rows.insert(rows.end(), middle.begin(), middle.end());
  rows.insert(rows.end(), {{L" ", kBlack}, {L" ", kBlack}});
  rows.insert(rows.end(), closing.begin(), closing.end());
  rows.push_back({L" ", kBlack});
  return rows;
}

Row LeftInPlace(const std::wstring& folder) {
  return {L"Uninstall incomplete. Still in place: " + folder, kOrange};
}

std::vector<Row> RefusedRows(const std::wstring& folder, const std::wstring& blanks) {
  return {{L" ", kBlack},
          {L"Deleting " + folder, kBlack},
          {L"  You are trying to delete a special folder!", kOrange},
          {blanks + L"To protect the integrity of your data, the current operation was aborted.",
           kBlack}};
}

void UninstallerFixture::SetUp() {
  CleanUp();
  root_ = FreshFolder(L"uninstall");
  installDir_ = root_ + L"\\Pelmor Wallpaper";
  dataDir_ = root_ + L"\\AppData\\Pelmor Wallpaper Changer";
}

void UninstallerFixture::TearDown() {
  CleanUp();
  RemoveTree(root_);
}

void UninstallerFixture::CleanUp() {
  KillProcessesNamed(L"Uninstaller.exe");
  KillProcessesNamed(L"pelmor_product.exe");
  for (HWND shell : ShellWindowsTitled(L"Pelmor Wallpaper")) ::PostMessageW(shell, WM_CLOSE, 0, 0);
  Process remove = Start(FixtureExe(L"pelmor_install"), L"--remove");
  remove.WaitExit(60s);
  RestoreTrash();
  RestoreDesktop();
  RemoveTree(TrashDir() + L"\\files");
  RemoveTree(TrashDir() + L"\\info");
  MakeDirs(TrashDir() + L"\\files");
  MakeDirs(TrashDir() + L"\\info");
  for (const std::wstring& log : FilesMatching(DesktopDir() + L"\\" + kLogPrefix + L"*"))
    ::DeleteFileW((DesktopDir() + L"\\" + log).c_str());
  for (const wchar_t* name : {L"\\Uninstaller.exe", L"\\Uninstaller.BAT", L"\\DebugMode"})
    ::DeleteFileW((TempDir() + name).c_str());
  RemoveWhatRunsLeft();
  ClearRecordedOpens();
}

void UninstallerFixture::InstallProduct(const std::wstring& args) {
  Process setup =
      Start(FixtureExe(L"pelmor_install"), args + L" --uninstaller " + QuoteArg(UninstallerExe()));
  ASSERT_TRUE(setup.WaitExit(60s));
  ASSERT_EQ(setup.ExitCode(), 0u) << Wide2Utf8(args);
}

void UninstallerFixture::InstallBoth() {
  InstallProduct(L"--install \"" + installDir_ + L"\" --data \"" + dataDir_ + L"\"");
}

Process UninstallerFixture::StartProduct(const std::wstring& args) {
  Process product = Start(FixtureExe(L"pelmor_product"), args);
  EXPECT_NE(WaitForWindow(kProductClass, 30s, product.pid), nullptr);
  return product;
}

HWND UninstallerFixture::StartUninstaller() {
  // The installer puts a copy into the installation folder; where a test stores only registry
  // values, the user starts the one from the build folder.
  const std::wstring installed = installDir_ + L"\\Uninstaller.exe";
  const bool fromInstall = FileExists(installed);
  Process first =
      Start(fromInstall ? installed : UninstallerExe(), L"", fromInstall ? installDir_ : BinDir());
  EXPECT_TRUE(first.WaitExit(60s)) << "the first process hands over and ends";
  HWND window = WaitForRestartedCopy(kFormClass, 60s, &pid_);
  if (!window) return nullptr;
  EXPECT_NE(pid_, first.pid);
  process_.reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid_));
  window_ = window;
  return window;
}

HWND UninstallerFixture::Button(const std::wstring& caption) const {
  return FindButton(window_, caption);
}

HWND UninstallerFixture::PathField() const {
  return FindDescendant(window_, L"Edit");
}

HWND UninstallerFixture::Log() const {
  return FindDescendant(window_, L"RICHEDIT50W");
}

std::vector<std::wstring> UninstallerFixture::LogRows() const {
  std::vector<std::wstring> rows = TextRows(Log());
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  return rows;
}

void UninstallerFixture::RetypePath(std::wstring text) {
  if (text.size() > 1 && text.back() == L'\\') text.pop_back();
  TypeText(PathField(), text);
  ASSERT_TRUE(WaitForEnabled(Button(L"Uninstall"), true, 10s));
}

void UninstallerFixture::ClickUninstall() {
  HWND button = Button(L"Uninstall");
  ASSERT_TRUE(WaitForEnabled(button, true, 30s));
  ClickButton(button);
}

void UninstallerFixture::ExpectModal(const MessageBoxInfo& box) const {
  EXPECT_EQ(::GetWindow(box.hwnd, GW_OWNER), window_) << "owner of " << Wide2Utf8(box.text);
  EXPECT_FALSE(::IsWindowEnabled(window_)) << "main window enabled behind " << Wide2Utf8(box.text);
}

MessageBoxInfo UninstallerFixture::Answer(const std::wstring& button,
                                          std::chrono::milliseconds timeout) {
  auto box = WaitForBox(timeout, BoxFilter{pid_, L""});
  if (!box) {
    ADD_FAILURE() << "no box came to press " << Wide2Utf8(button);
    return {};
  }
  ExpectModal(*box);
  EXPECT_TRUE(PressButton(*box, button)) << Wide2Utf8(box->text);
  WaitForBoxClosed(box->hwnd, 10s);
  return *box;
}

bool UninstallerFixture::Ended(std::chrono::milliseconds timeout) const {
  return process_ && ::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) ==
                         WAIT_OBJECT_0;
}

void UninstallerFixture::CloseWindow() {
  ::PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(Ended());
}

void UninstallerFixture::ExpectSelfDeleted() {
  EXPECT_TRUE(WaitUntil([] { return RunsLeftNothing(); }, kSelfDeleteLimit));
}

std::wstring UninstallerFixture::SavedLogPath() const {
  const auto logs = FilesMatching(DesktopDir() + L"\\" + kLogPrefix + L"*");
  if (logs.size() != 1) {
    ADD_FAILURE() << logs.size() << " uninstall logs on the desktop";
    return {};
  }
  EXPECT_TRUE(std::regex_match(Wide2Utf8(logs[0]),
                               std::regex("Pelmor Wallpaper Changer - uninstall confirmation "
                                          "[0-2][0-9]\\.[0-5][0-9]\\.[0-5][0-9]\\.RTF")))
      << Wide2Utf8(logs[0]);
  return DesktopDir() + L"\\" + logs[0];
}

std::vector<Row> UninstallerFixture::SavedLogRows() const {
  const std::wstring log = SavedLogPath();
  if (log.empty()) return {};
  std::vector<Row> rows;
  for (const RtfParagraph& p : ReadRtfRows(ReadFileBytes(log)))
    rows.push_back(Row{p.text, p.color});
  return rows;
}

void UninstallerFixture::ExpectUninstallClickIgnored() {
  const std::vector<std::wstring> before = LogRows();
  const size_t boxes = OpenBoxes(BoxFilter{pid_, L""}).size();
  HWND button = Button(L"Uninstall");
  ASSERT_NE(button, nullptr);
  ::PostMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  ::PostMessageW(Log(), EM_SETSEL, 1, 1);
  EXPECT_TRUE(WaitUntil(
      [&] {
        DWORD_PTR selection = 0;
        ::SendMessageTimeoutW(Log(), EM_GETSEL, 0, 0, SMTO_NORMAL, 5000, &selection);
        return LOWORD(selection) == 1 && HIWORD(selection) == 1;
      },
      30s))
      << "the posted click was not handled";
  EXPECT_EQ(LogRows(), before) << "a second uninstall started";
  EXPECT_EQ(OpenBoxes(BoxFilter{pid_, L""}).size(), boxes) << "a second uninstall asked";
}

std::wstring UninstallerFixture::StartMenuShortcut() {
  return ShellFolder(CSIDL_STARTMENU) + L"\\" + kShortcut;
}

std::wstring UninstallerFixture::DesktopShortcut() {
  return DesktopDir() + L"\\" + kShortcut;
}

void UninstallerFixture::AllowTheUninstallersOwnFiles(SandboxGuard& guard) {
  guard.AllowPrefix(DesktopDir() + L"\\" + kLogPrefix);
  guard.AllowPrefix(TempDir() + L"\\" + kRunFolderPrefix);
  guard.AllowFile(DesktopShortcut());
  guard.AllowFile(StartMenuShortcut());
}

SandboxGuard UninstallerFixture::GuardConfirmingBothFolders() const {
  SandboxGuard guard;
  AllowTheUninstallersOwnFiles(guard);
  guard.Confirm(installDir_);
  guard.Confirm(dataDir_);
  return guard;
}

GuardReport UninstallerFixture::ExpectNothingElseChanged(const SandboxGuard& guard,
                                                         const std::string& kind,
                                                         const std::string& name) {
  const GuardReport report = guard.Check();
  RecordFigure(kind, name, report);
  EXPECT_TRUE(report.Clean()) << name << ": " << report.Describe();
  return report;
}

void UninstallerFixture::BreakTrash() {
  RemoveTree(TrashDir() + L"\\files");
  WriteFileBytes(TrashDir() + L"\\files", "not a folder");
}

void UninstallerFixture::RestoreTrash() {
  if (FileExists(TrashDir() + L"\\files")) ::DeleteFileW((TrashDir() + L"\\files").c_str());
}

std::wstring UninstallerFixture::SavedDesktop() {
  return DesktopDir() + L".h8-saved";
}

void UninstallerFixture::BreakDesktop() {
  ASSERT_TRUE(::MoveFileW(DesktopDir().c_str(), SavedDesktop().c_str()));
  WriteFileBytes(DesktopDir(), "not a folder");
}

void UninstallerFixture::RestoreDesktop() {
  if (!DirExists(SavedDesktop())) return;
  ::DeleteFileW(DesktopDir().c_str());
  ::MoveFileW(SavedDesktop().c_str(), DesktopDir().c_str());
}

void UninstallerFixture::StartAndApproveBoth(const std::wstring& typed) {
  ASSERT_NE(StartUninstaller(), nullptr);
  RetypePath(typed.empty() ? installDir_ : typed);
  ClickUninstall();
  Answer(L"Yes");
  Answer(L"Yes");
}

}  // namespace testing_support
