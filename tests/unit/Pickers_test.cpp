// The file and folder pickers, opened for real under Wine and driven from a second thread the
// way a user would: confirmed choices come back (folders with a trailing backslash), cancelled
// dialogs leave the variable alone, and each dialog starts where it should.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "toolkit/Application.h"
#include "tests/support/AppDriver.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/BoxDriver.h"
#include "toolkit/Errors.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

// Options that the path edit control asks for.
constexpr unsigned kFolderOptions =
    FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_DEFAULTNOMINIMODE;

// Control ids of the platform's dialogs.
constexpr int kModernFileNameEdit = 1152;  // edt1 + 0x60 of the item dialog
constexpr int kFileNameCombo = 1148;       // cmb13
constexpr int kFileTypeCombo = 1136;       // cmb1
constexpr int kBrowseTree = 14145;
constexpr int kBrowseTitle = 14146;

// A modal dialog tells its owner when it has nothing left to do (WM_ENTERIDLE): by then it has
// shown itself whole, its views filled. The tests' dialogs are all owned by the fixture's window.
std::atomic<HWND> idleDialog{nullptr};
WNDPROC ownerProc = nullptr;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) idleDialog = reinterpret_cast<HWND>(lParam);
  return ::CallWindowProcW(ownerProc, hwnd, msg, wParam, lParam);
}

bool WaitUntilIdle(HWND dialog, std::chrono::milliseconds timeout) {
  return WaitUntil([dialog] { return idleDialog == dialog; }, timeout, 10ms);
}

HWND FindOurDialog(std::chrono::milliseconds timeout, HWND except = nullptr) {
  HWND dialog = nullptr;
  WaitUntil(
      [&] {
        for (const MessageBoxInfo& box : OpenBoxes(BoxFilter{::GetCurrentProcessId(), L""}))
          if (box.hwnd != except) {
            dialog = box.hwnd;
            return true;
          }
        return false;
      },
      timeout, 50ms);
  return dialog;
}

void SetTextOf(HWND window, const std::wstring& text) {
  ::SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
}

HWND FirstEditBelow(HWND parent) {
  return parent ? FindDescendant(parent, L"Edit") : nullptr;
}

void Press(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::wstring DialogFolder(HWND dialog) {
  wchar_t folder[MAX_PATH] = {};
  ::SendMessageTimeoutW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
  return folder;
}

std::wstring ComboItem(HWND combo, int index) {
  wchar_t text[256] = {};
  ::SendMessageTimeoutW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

std::wstring TreeRootText(HWND tree) {
  HTREEITEM root = TreeView_GetRoot(tree);
  wchar_t text[MAX_PATH] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = root;
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  TreeView_GetItem(tree, &item);
  return text;
}

std::wstring ShellDisplayName(const std::wstring& path) {
  SHFILEINFOW info{};
  ::SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME);
  return info.szDisplayName;
}

std::wstring DesktopDisplayName() {
  PIDLIST_ABSOLUTE desktop = nullptr;
  ::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop);
  SHFILEINFOW info{};
  ::SHGetFileInfoW(reinterpret_cast<LPCWSTR>(desktop), 0, &info, sizeof(info),
                   SHGFI_PIDL | SHGFI_DISPLAYNAME);
  ::ILFree(desktop);
  return info.szDisplayName;
}

// Works the first dialog of this process that opens, once it is idle, on a thread of its own
// while the test thread shows it. A dialog that the steps leave open is cancelled.
BoxAnswerer DriveDialog(const std::function<void(HWND)>& steps) {
  return BoxAnswerer([steps](HWND dialog) {
    WaitUntilIdle(dialog, 20s);
    steps(dialog);
  });
}

class Pickers : public ::testing::Test {
 protected:
  void SetUp() override {
    mainForm_ = ::CreateWindowExW(0, L"STATIC", L"Pickers test", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                  100, nullptr, nullptr, nullptr, nullptr);
    idleDialog = nullptr;
    ownerProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(mainForm_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnerProc)));
    tk::App().SetMainFormHandle(mainForm_);
    root_ = FreshFolder(L"pickers");
    photos_ = root_ + L"\\Photos";
    MakeDirs(photos_);
    AppName = L"PickersTest";
  }
  void TearDown() override {
    AppName = kInitialAppName;
    tk::App().SetMainFormHandle(nullptr);
    ::DestroyWindow(mainForm_);
    RemoveTree(root_);
  }

  HWND mainForm_ = nullptr;
  std::wstring root_;
  std::wstring photos_;
};

}  // namespace

// --- folder picker, modern dialog ---

TEST_F(Pickers, CancelledFolderPickerLeavesTheVariableUnchanged) {
  std::wstring seenTitle, seenName;
  HWND seenOwner = nullptr;
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    seenTitle = TextOf(dialog);
    seenName = TextOf(::GetDlgItem(dialog, kModernFileNameEdit));
    seenOwner = ::GetWindow(dialog, GW_OWNER);
    Press(dialog, IDCANCEL);
  });
  std::wstring folder = photos_;
  EXPECT_FALSE(SelectAFolder(folder, L"Choose the product folder", kFolderOptions));
  ASSERT_TRUE(driver.Opened());
  EXPECT_FALSE(driver.LeftOpen());
  EXPECT_EQ(folder, photos_) << "no trailing backslash is added on cancel";
  EXPECT_EQ(seenTitle, L"Choose the product folder");
  EXPECT_EQ(seenName, photos_);
  EXPECT_EQ(seenOwner, mainForm_);
}

TEST_F(Pickers, ConfirmedFolderGetsTheTrailingBackslash) {
  BoxAnswerer driver = DriveDialog([](HWND dialog) { Press(dialog, IDOK); });
  std::wstring folder = photos_;
  EXPECT_TRUE(SelectAFolder(folder, L"", kFolderOptions));
  ASSERT_TRUE(driver.Opened());
  EXPECT_EQ(folder, photos_ + L"\\");
}

TEST_F(Pickers, FolderTypedByTheUserIsReturned) {
  const std::wstring other = root_ + L"\\Other place";
  MakeDirs(other);
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    SetTextOf(::GetDlgItem(dialog, kModernFileNameEdit), other);
    Press(dialog, IDOK);
  });
  std::wstring folder = photos_ + L"\\";
  EXPECT_TRUE(SelectAFolder(folder, L"Pick", kFolderOptions));
  ASSERT_TRUE(driver.Opened());
  EXPECT_FALSE(driver.LeftOpen());
  EXPECT_EQ(folder, other + L"\\");
}

// --- folder picker, classic dialog ---

TEST_F(Pickers, ClassicBrowserStartsAtTheDriveWithTheFolderSelected) {
  std::wstring root, title, selected;
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    root = TreeRootText(::GetDlgItem(dialog, kBrowseTree));
    title = TextOf(::GetDlgItem(dialog, kBrowseTitle));
    selected = TextOf(FirstEditBelow(dialog));
    Press(dialog, IDOK);
  });
  std::wstring folder = photos_;
  EXPECT_TRUE(SelectAFolderClassic(folder));
  ASSERT_TRUE(driver.Opened());
  EXPECT_EQ(folder, photos_ + L"\\");
  EXPECT_EQ(root, ShellDisplayName(L"C:\\"));
  EXPECT_EQ(title, L"") << "the classic dialog shows no caption text";
  EXPECT_EQ(selected, L"Photos");
}

TEST_F(Pickers, ClassicBrowserWithoutFolderStartsAtTheTopOfTheNamespace) {
  std::wstring root;
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    root = TreeRootText(::GetDlgItem(dialog, kBrowseTree));
    Press(dialog, IDCANCEL);
  });
  std::wstring folder;
  EXPECT_FALSE(SelectAFolderClassic(folder));
  ASSERT_TRUE(driver.Opened());
  EXPECT_EQ(folder, L"");
  EXPECT_EQ(root, DesktopDisplayName());
}

TEST_F(Pickers, ClassicBrowserCancelKeepsAnExistingFolder) {
  BoxAnswerer driver = DriveDialog([](HWND dialog) { Press(dialog, IDCANCEL); });
  std::wstring folder = photos_;
  EXPECT_FALSE(SelectAFolderClassic(folder));
  ASSERT_TRUE(driver.Opened());
  EXPECT_EQ(folder, photos_);
}

TEST_F(Pickers, ClassicBrowserForgetsAMissingFolder) {
  std::wstring selected;
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    selected = TextOf(FirstEditBelow(dialog));
    Press(dialog, IDCANCEL);
  });
  std::wstring folder = root_ + L"\\no such folder";
  EXPECT_FALSE(SelectAFolderClassic(folder));
  ASSERT_TRUE(driver.Opened());
  EXPECT_EQ(folder, L"");
  EXPECT_NE(selected, L"no such folder");
}

// --- file pickers ---

TEST_F(Pickers, LoadFileOpensInTheFilesFolderAndReturnsTheChosenPath) {
  const std::wstring file = photos_ + L"\\holiday.jpg";
  WriteFileBytes(file, "jpeg");
  std::wstring startedIn;
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    startedIn = DialogFolder(dialog);
    Press(dialog, IDOK);
  });
  std::wstring chosen = file;
  EXPECT_TRUE(PromptToLoadFile(chosen, L"", L"", L""));
  ASSERT_TRUE(driver.Opened());
  EXPECT_TRUE(SameFolder(startedIn, photos_)) << startedIn;
  EXPECT_EQ(chosen, file);
}

TEST_F(Pickers, LoadFileWithAFolderOpensInsideIt) {
  WriteFileBytes(photos_ + L"\\inside.txt", "x");
  std::wstring startedIn;
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    startedIn = DialogFolder(dialog);
    Press(dialog, IDCANCEL);
  });
  std::wstring chosen = photos_;
  EXPECT_FALSE(PromptToLoadFile(chosen, L"", L"", L""));
  ASSERT_TRUE(driver.Opened());
  EXPECT_TRUE(SameFolder(startedIn, photos_)) << startedIn;
  EXPECT_EQ(chosen, photos_);
}

TEST_F(Pickers, LoadFileTakesTheNameTheUserTypes) {
  WriteFileBytes(photos_ + L"\\typed.txt", "x");
  std::wstring title;
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    title = TextOf(dialog);
    SetTextOf(FirstEditBelow(::GetDlgItem(dialog, kFileNameCombo)), L"typed.txt");
    Press(dialog, IDOK);
  });
  std::wstring chosen;
  EXPECT_TRUE(PromptToLoadFile(chosen, L"Text files (*.txt)|*.txt", L"Load the log", photos_));
  ASSERT_TRUE(driver.Opened());
  EXPECT_FALSE(driver.LeftOpen());
  EXPECT_EQ(chosen, photos_ + L"\\typed.txt");
  EXPECT_EQ(title, L"Load the log");
}

TEST_F(Pickers, BrowsingLeavesTheWorkingFolderAlone) {
  // A working folder inside the chosen folder would keep it from being deleted.
  WriteFileBytes(photos_ + L"\\picked.txt", "x");
  wchar_t previous[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(root_.c_str()));
  auto current = [] {
    wchar_t now[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, now);
    return std::wstring(now);
  };
  std::wstring afterFile, afterModern, afterClassic;
  {
    BoxAnswerer driver = DriveDialog([](HWND dialog) { Press(dialog, IDOK); });
    std::wstring chosen = photos_ + L"\\picked.txt";
    EXPECT_TRUE(PromptToLoadFile(chosen, L"", L"", L""));
    afterFile = current();
  }
  {
    BoxAnswerer driver = DriveDialog([](HWND dialog) { Press(dialog, IDOK); });
    std::wstring folder = photos_;
    EXPECT_TRUE(SelectAFolderModern(folder, L"", kFolderOptions));
    afterModern = current();
  }
  {
    BoxAnswerer driver = DriveDialog([](HWND dialog) { Press(dialog, IDOK); });
    std::wstring folder = photos_;
    EXPECT_TRUE(SelectAFolderClassic(folder));
    afterClassic = current();
  }
  ::SetCurrentDirectoryW(previous);
  EXPECT_TRUE(SameFolder(afterFile, root_)) << afterFile;
  EXPECT_TRUE(SameFolder(afterModern, root_)) << afterModern;
  EXPECT_TRUE(SameFolder(afterClassic, root_)) << afterClassic;
}

TEST_F(Pickers, EmptyFilterOffersAllFiles) {
  int count = 0;
  std::wstring first;
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    HWND types = ::GetDlgItem(dialog, kFileTypeCombo);
    count = static_cast<int>(::SendMessageW(types, CB_GETCOUNT, 0, 0));
    first = ComboItem(types, 0);
    Press(dialog, IDCANCEL);
  });
  std::wstring chosen = L"unchanged";
  EXPECT_FALSE(PromptFileDialog(chosen, false, L"", L"", L"", photos_));
  ASSERT_TRUE(driver.Opened());
  EXPECT_EQ(chosen, L"unchanged");
  EXPECT_EQ(count, 1);
  EXPECT_EQ(first, L"All files (*.*)");
}

TEST_F(Pickers, FilterPairsBecomeFileTypes) {
  std::wstring first, second;
  int count = 0;
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    HWND types = ::GetDlgItem(dialog, kFileTypeCombo);
    count = static_cast<int>(::SendMessageW(types, CB_GETCOUNT, 0, 0));
    first = ComboItem(types, 0);
    second = ComboItem(types, 1);
    Press(dialog, IDCANCEL);
  });
  std::wstring chosen;
  PromptFileDialog(chosen, false, L"Rich text (*.rtf)|*.rtf|All files (*.*)|*.*", L"", L"",
                   photos_);
  ASSERT_TRUE(driver.Opened());
  EXPECT_EQ(count, 2);
  EXPECT_EQ(first, L"Rich text (*.rtf)");
  EXPECT_EQ(second, L"All files (*.*)");
}

TEST_F(Pickers, SaveDialogAddsTheDefaultExtension) {
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    SetTextOf(FirstEditBelow(::GetDlgItem(dialog, kFileNameCombo)), L"report");
    Press(dialog, IDOK);
  });
  std::wstring chosen;
  EXPECT_TRUE(PromptFileDialog(chosen, true, L"Text (*.txt)|*.txt", L"txt", L"Save", photos_));
  ASSERT_TRUE(driver.Opened());
  EXPECT_FALSE(driver.LeftOpen());
  EXPECT_EQ(chosen, photos_ + L"\\report.txt");
}

TEST_F(Pickers, SaveDialogAsksBeforeReplacingAFile) {
  const std::wstring existing = photos_ + L"\\old.txt";
  WriteFileBytes(existing, "old");
  std::optional<MessageBoxInfo> question;
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    Press(dialog, IDOK);
    if (HWND box = FindOurDialog(10s, dialog)) {
      // Read once its text is there.
      WaitUntil([&] { return (question = ReadBox(box)) && !question->text.empty(); }, 10s);
      if (question) PressButton(*question, L"No");
      WaitForBoxClosed(box, 5s);
    }
    Press(dialog, IDCANCEL);
  });
  std::wstring chosen = existing;
  EXPECT_FALSE(PromptFileDialog(chosen, true, L"", L"", L"", photos_));
  ASSERT_TRUE(driver.Opened());
  ASSERT_TRUE(question.has_value()) << "no question before replacing";
  EXPECT_TRUE(question->HasButton(L"Yes") && question->HasButton(L"No")) << question->ButtonList();
  EXPECT_EQ(chosen, existing);
  EXPECT_EQ(ReadFileBytes(existing), "old");
}

TEST_F(Pickers, WithoutInitialFolderTheAppDataFolderIsUsed) {
  ASSERT_GE(ForceDirectories(AppDataFolder()), 0);
  std::wstring startedIn;
  BoxAnswerer driver = DriveDialog([&](HWND dialog) {
    startedIn = DialogFolder(dialog);
    Press(dialog, IDCANCEL);
  });
  std::wstring chosen;
  PromptFileDialog(chosen, false, L"", L"", L"", L"");
  ASSERT_TRUE(driver.Opened());
  RemoveTree(AppDataFolder());
  EXPECT_TRUE(SameFolder(startedIn, AppDataFolder())) << startedIn;
}

TEST_F(Pickers, WithoutInitialFolderAnUnusableAppNameFailsBeforeAnyDialog) {
  AppName = kInitialAppName;
  std::wstring chosen = L"kept";
  EXPECT_THROW(PromptFileDialog(chosen, false, L"", L"", L"", L""), tk::EAssertionFailed);
  EXPECT_EQ(chosen, L"kept");
  // A dialog would have been modal inside the call, which has returned.
  EXPECT_EQ(FindOurDialog(0ms), nullptr);
}
