// TOrvexPathEdit on a real form: text typed into the real edit window, keys through the dialog
// manager, clicks on the real buttons, folders and files made on the sandbox's drive C:, and
// message boxes read and answered as the user would.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "toolkit/Image.h"
#include "toolkit/Application.h"
#include "tests/support/BoxDriver.h"
#include "tests/support/BoxAnswerer.h"
#include "toolkit/Form.h"
#include "toolkit/Handles.h"
#include "toolkit/ImageList.h"
#include "toolkit/ListBoxes.h"
#include "tests/support/Screenshot.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/cvPathEdit.h"

using namespace testing_support;

namespace {

constexpr COLORREF kLightGreen = 0xCCFFCC;
constexpr COLORREF kFieldRed = 0xD0D0FF;

std::wstring WindowsFolder() {
  wchar_t buffer[MAX_PATH] = {};
  ::GetWindowsDirectoryW(buffer, MAX_PATH);
  return buffer;
}

std::wstring WindowText(HWND hwnd) {
  wchar_t buffer[1024] = {};
  ::GetWindowTextW(hwnd, buffer, 1024);
  return buffer;
}

using Names = std::vector<std::wstring>;

// The rows that a LISTBOX window holds, first to last.
Names ListRows(HWND list) {
  Names rows;
  const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const auto length = static_cast<size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0));
    std::wstring text(length + 1, L'\0');
    text.resize(static_cast<size_t>(
        ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
    rows.push_back(text);
  }
  return rows;
}

class PathEditTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { tk::App().Initialize(); }

  void SetUp() override {
    AppName = L"PathEditTest";
    tk::App().OnException = [this](const std::wstring& message) { reported.push_back(message); };
    form = std::make_unique<tk::TForm>(nullptr, L"OrvexPathEditTest");
    form->SetClientSize(520, 120);
    form->SetPosition(150, 150);
    defaultButton = new tk::TButton(form.get());
    defaultButton->SetBounds(420, 80, 90, 25);
    defaultButton->SetCaption(L"Default");
    defaultButton->SetDefault(true);
    defaultButton->SetParent(form.get());
    defaultButton->OnClick = [this](tk::TObject*) { ++defaultClicks; };
    pe = new TOrvexPathEdit(form.get());
    pe->SetBounds(8, 8, 478, 41);
    pe->SetParent(form.get());
    pe->OnPathChanged = [this](tk::TObject* sender) { changedSenders.push_back(sender); };
    pe->OnCreateFolder = [this](tk::TObject* sender) {
      createdSenders.push_back(sender);
      events.push_back(L"create");
    };
    pe->OnPressEnter = [this](tk::TObject* sender) {
      enterSenders.push_back(sender);
      events.push_back(L"enter");
    };
    form->CreateForm(false);
    form->Show();
    ::SetForegroundWindow(form->Handle());
    folder = FreshFolder(L"pathedit");
    PumpUntilIdle();
  }

  void TearDown() override {
    ::SetCursorPos(5, 5);
    form.reset();
    tk::App().OnException = nullptr;
    EXPECT_TRUE(reported.empty()) << "reported to the crash handler: "
                                  << Wide2Utf8(reported.front());
    RemoveTree(folder);
  }

  tk::TButtonedEdit* Edit() const {
    return dynamic_cast<tk::TButtonedEdit*>(pe->FindComponent(L"PathEdit"));
  }
  tk::TButton* Button(const wchar_t* name) const {
    return dynamic_cast<tk::TButton*>(pe->FindComponent(name));
  }
  HWND EditHwnd() const { return Edit()->Handle(); }
  HWND Create() const { return Button(L"ButtonCreate")->Handle(); }
  HWND Apply() const { return Button(L"ButtonApply")->Handle(); }
  HWND Locate() const { return Button(L"ButtonExplore")->Handle(); }

  // Replaces the whole text as pasting over a selection does: the edit window reports the
  // change itself.
  void Type(const std::wstring& text) {
    ::SendMessageW(EditHwnd(), EM_SETSEL, 0, -1);
    ::SendMessageW(EditHwnd(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    ASSERT_EQ(WindowText(EditHwnd()), text);
    PumpUntilIdle();
  }

  // The brush colour the frame hands to the edit window when it paints its background.
  COLORREF FieldColor() const {
    HDC dc = ::GetDC(EditHwnd());
    auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(pe->Handle(), WM_CTLCOLOREDIT,
                                                         reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(EditHwnd())));
    const COLORREF background = ::GetBkColor(dc);
    ::ReleaseDC(EditHwnd(), dc);
    LOGBRUSH info{};
    if (!brush || !::GetObjectW(brush, sizeof(info), &info)) return CLR_INVALID;
    EXPECT_EQ(info.lbColor, background);
    return info.lbColor;
  }

  // Presses Enter in the field the way a keyboard does, with the dialog manager in the loop as in
  // the program's own message loop.
  void PressEnter() {
    ::SetFocus(EditHwnd());
    ::PostMessageW(EditHwnd(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageW(EditHwnd(), WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001));
    DialogPump();
  }

  // Handles what the queue holds, through the dialog manager as a window's loop does, until
  // nothing is left (the characters that key strokes turn into included).
  void DialogPump() {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (::IsDialogMessageW(form->Handle(), &msg)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }

  // Clicks a button whose action shows one message box; answers it and returns what it said.
  std::optional<MessageBoxInfo> ClickExpectingBox(HWND button) {
    auto box = std::async(std::launch::async, [] {
      return AnswerBox(kPatience, L"OK", BoxFilter{::GetCurrentProcessId(), L"PathEditTest"});
    });
    ::SendMessageW(button, BM_CLICK, 0, 0);
    return box.get();
  }

  // A list box below the path edit, owned by the form.
  template <class List>
  List* NewList() {
    auto* list = new List(form.get());
    list->SetBounds(8, 56, 200, 60);
    list->SetParent(form.get());
    return list;
  }

  RECT BoundsInFrame(HWND child) const {
    RECT rc{};
    ::GetWindowRect(child, &rc);
    ::MapWindowPoints(nullptr, pe->Handle(), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
  }

  std::unique_ptr<tk::TForm> form;
  TOrvexPathEdit* pe = nullptr;
  tk::TButton* defaultButton = nullptr;
  int defaultClicks = 0;
  std::wstring folder;
  std::vector<tk::TObject*> changedSenders, createdSenders, enterSenders;
  std::vector<std::wstring> events;
  std::vector<std::wstring> reported;
};

// --- validation texts ---

TEST_F(PathEditTest, EmptyTextIsReportedFirst) {
  Type(L"");
  EXPECT_EQ(pe->PathHasValidChars(), L"The path is empty!");
  EXPECT_EQ(pe->PathIsValid(), L"The path is empty!");
  pe->SetInputType(itFile);
  EXPECT_EQ(pe->PathHasValidChars(), L"The path is empty!");
}

TEST_F(PathEditTest, TextOf248WithoutBackslashIsTooLong) {
  const std::wstring text = L"C:\\" + std::wstring(245, L'a');
  ASSERT_EQ(text.size(), 248u);
  Type(text);
  EXPECT_EQ(pe->PathHasValidChars(), L"Path is too long: \r\n" + text);
  EXPECT_FALSE(::IsWindowEnabled(Create()));
  const std::wstring shorter = text.substr(0, 247);
  Type(shorter);
  EXPECT_EQ(pe->PathHasValidChars(), L"");
  // In file mode the added backslash counts as well.
  pe->SetInputType(itFile);
  Type(text);
  EXPECT_EQ(pe->PathHasValidChars(), L"Path is too long: \r\n" + text);
}

TEST_F(PathEditTest, TextOf248EndingInBackslashPassesAndCanBeCreated) {
  const std::wstring text = folder + L"\\" + std::wstring(248 - 25, L'b') + L"\\";
  ASSERT_EQ(text.size(), 248u);
  Type(text);
  EXPECT_EQ(pe->PathHasValidChars(), L"");
  EXPECT_EQ(pe->PathIsValid(), L"Folder does not exist: " + text);
  ASSERT_TRUE(::IsWindowEnabled(Create()));
  ::SendMessageW(Create(), BM_CLICK, 0, 0);
  EXPECT_TRUE(DirExists(text));
  EXPECT_EQ(pe->PathIsValid(), L"");
  EXPECT_EQ(FieldColor(), kLightGreen);
}

TEST_F(PathEditTest, StrayColonAndForbiddenCharactersInFolderMode) {
  Type(L"C:\\a:b");
  EXPECT_EQ(pe->PathHasValidChars(), L"The path has invalid characters!");
  Type(L"C:\\a|b");
  EXPECT_EQ(pe->PathHasValidChars(), L"Invalid characters in path!");
  Type(L"C:\\a\"b");
  EXPECT_EQ(pe->PathHasValidChars(), L"Invalid characters in path!");
  // The colon check comes before the character check.
  Type(L"C:\\a|b:c");
  EXPECT_EQ(pe->PathHasValidChars(), L"The path has invalid characters!");
}

TEST_F(PathEditTest, TrailingBlankMakesFolderMissing) {
  const std::wstring windows = WindowsFolder();
  Type(windows + L" ");
  EXPECT_EQ(pe->PathHasValidChars(), L"");
  EXPECT_EQ(pe->PathIsValid(), L"Folder does not exist: " + windows + L" ");
  EXPECT_EQ(pe->Path(), windows + L"\\");
}

TEST_F(PathEditTest, LeadingBlankMakesTheDriveColonStray) {
  Type(L" " + WindowsFolder());
  EXPECT_EQ(pe->PathHasValidChars(), L"The path has invalid characters!");
  EXPECT_EQ(pe->PathIsValid(), L"The path has invalid characters!");
}

TEST_F(PathEditTest, FileModeChecksOnlyTheNameAndNeverTheFolder) {
  pe->SetInputType(itFile);
  Type(L"C:\\data\\a?b.txt");
  EXPECT_EQ(pe->PathHasValidChars(), L"The path has invalid characters!");
  Type(L"C:\\data\\a*.txt");
  EXPECT_EQ(pe->PathHasValidChars(), L"The path has invalid characters!");
  Type(L"C:\\data\\a/b.txt");
  EXPECT_EQ(pe->PathHasValidChars(), L"The path has invalid characters!");
  Type(L"C:\\missing-folder\\a.txt");
  EXPECT_EQ(pe->PathHasValidChars(), L"");
  EXPECT_EQ(pe->PathIsValid(), L"");
}

TEST_F(PathEditTest, MissingFolderAndExistingFolder) {
  Type(folder + L"\\nothing-here");
  EXPECT_EQ(pe->PathHasValidChars(), L"");
  EXPECT_EQ(pe->PathIsValid(), L"Folder does not exist: " + folder + L"\\nothing-here");
  Type(WindowsFolder());
  EXPECT_EQ(pe->PathIsValid(), L"");
  EXPECT_EQ(pe->Path(), WindowsFolder() + L"\\");
}

TEST_F(PathEditTest, DriveThatIsNotThereIsNotReadyWithoutSystemBox) {
  const DWORD drives = ::GetLogicalDrives();
  wchar_t letter = 0;
  for (wchar_t c = L'Q'; c <= L'Y' && !letter; ++c)
    if (!(drives & (1u << (c - L'A')))) letter = c;
  ASSERT_NE(letter, 0);
  Type(std::wstring(1, letter) + L":\\data");
  EXPECT_EQ(pe->PathHasValidChars(), L"Lock on folder failed. Disk not in drive!");
  EXPECT_FALSE(::IsWindowEnabled(Create()));
  // A system box would have held the check until it was answered; the check has returned.
  EXPECT_TRUE(OpenBoxes().empty());
}

TEST_F(PathEditTest, PathIsValidMsgShowsTheProblemInAnErrorBox) {
  Type(folder + L"\\nothing-here");
  auto box = std::async(std::launch::async, [] { return AnswerBox(kPatience, L"OK"); });
  EXPECT_FALSE(pe->PathIsValidMsg());
  auto info = box.get();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->caption, L"PathEditTest - Error");
  EXPECT_EQ(info->text, L"Folder does not exist: " + folder + L"\\nothing-here");
  EXPECT_EQ(info->icon, BoxIcon::Error);
  Type(WindowsFolder());
  EXPECT_TRUE(pe->PathIsValidMsg());
  EXPECT_TRUE(OpenBoxes().empty());
}

// --- colour and buttons that follow the text ---

TEST_F(PathEditTest, FieldColourAndButtonsFollowEachText) {
  pe->SetShowApplyBtn(true);
  Type(WindowsFolder());
  EXPECT_EQ(FieldColor(), kLightGreen);
  EXPECT_TRUE(::IsWindowEnabled(Create()));
  EXPECT_TRUE(::IsWindowEnabled(Apply()));

  Type(folder + L"\\new");
  EXPECT_EQ(FieldColor(), kFieldRed);
  EXPECT_TRUE(::IsWindowEnabled(Create()));
  EXPECT_FALSE(::IsWindowEnabled(Apply()));

  Type(L"C:\\a|b");
  EXPECT_EQ(FieldColor(), kFieldRed);
  EXPECT_FALSE(::IsWindowEnabled(Create()));
  EXPECT_FALSE(::IsWindowEnabled(Apply()));

  Type(L"");
  EXPECT_EQ(FieldColor(), kFieldRed);
  EXPECT_FALSE(::IsWindowEnabled(Create()));
}

TEST_F(PathEditTest, FileModeColourFollowsTheFile) {
  pe->SetInputType(itFile);
  const std::wstring file = folder + L"\\present.txt";
  WriteFileBytes(file, "x");
  Type(file);
  EXPECT_EQ(FieldColor(), kLightGreen);
  Type(folder + L"\\absent.txt");
  EXPECT_EQ(FieldColor(), kFieldRed);
  // A folder is not a file.
  Type(folder);
  EXPECT_EQ(FieldColor(), kFieldRed);
}

TEST_F(PathEditTest, ClickOnFieldOrFrameColoursAgain) {
  const std::wstring target = folder + L"\\made-elsewhere";
  Type(target);
  ASSERT_EQ(FieldColor(), kFieldRed);
  MakeDirs(target);
  EXPECT_EQ(FieldColor(), kFieldRed);
  ::SendMessageW(EditHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(EditHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(FieldColor(), kLightGreen);
  RemoveTree(target);
  ::SendMessageW(pe->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  ::SendMessageW(pe->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(FieldColor(), kFieldRed);
}

TEST_F(PathEditTest, OnPathChangedFollowsEveryChangeWithTheControlAsSender) {
  Type(L"C:\\a");
  pe->SetPath(L"C:\\b");
  ASSERT_EQ(changedSenders.size(), 2u);
  EXPECT_EQ(changedSenders[0], pe);
  EXPECT_EQ(changedSenders[1], pe);
}

// --- the Path property ---

TEST_F(PathEditTest, PathTrimsAndTrailsInFolderModeOnly) {
  pe->SetPath(L"C:\\x");
  EXPECT_EQ(WindowText(EditHwnd()), L"C:\\x\\");
  pe->SetPath(L"");
  EXPECT_EQ(WindowText(EditHwnd()), L"");
  EXPECT_EQ(pe->Path(), L"");
  Type(L"  C:\\x y  ");
  EXPECT_EQ(pe->Path(), L"C:\\x y\\");
  Type(L"   ");
  EXPECT_EQ(pe->Path(), L"");

  pe->SetInputType(itFile);
  pe->SetPath(L"C:\\x\\a.txt");
  EXPECT_EQ(WindowText(EditHwnd()), L"C:\\x\\a.txt");
  Type(L" C:\\x\\a.txt ");
  EXPECT_EQ(pe->Path(), L" C:\\x\\a.txt ");
}

TEST_F(PathEditTest, SetterStoresTheValueAsGivenWhileLoading) {
  form->SetLoading(true);
  pe->SetPath(L"C:\\x");
  EXPECT_EQ(WindowText(EditHwnd()), L"C:\\x");
  form->SetLoading(false);
  pe->SetPath(L"C:\\y");
  EXPECT_EQ(WindowText(EditHwnd()), L"C:\\y\\");
}

TEST_F(PathEditTest, DeclaredDefaults) {
  EXPECT_EQ(pe->InputType(), itFolder);
  EXPECT_TRUE(pe->ShowCreateBtn());
  EXPECT_TRUE(pe->ShowOpenSrc());
  EXPECT_FALSE(pe->ShowApplyBtn());
  EXPECT_FALSE(pe->IsReadOnly());
  EXPECT_EQ(pe->FileFilter(), L"");
  EXPECT_EQ(pe->OpenDlgTitle(), L"");
  EXPECT_EQ(WindowText(EditHwnd()), L"");
  EXPECT_FALSE(::IsWindowVisible(Apply()));
  EXPECT_FALSE(::IsWindowEnabled(Apply()));
  EXPECT_TRUE(::IsWindowVisible(Create()));
  EXPECT_FALSE(::IsWindowEnabled(Create()));
  EXPECT_TRUE(::IsWindowEnabled(Locate()));
  EXPECT_EQ(WindowText(Locate()), L"^");
  EXPECT_EQ(WindowText(Create()), L"Create");
  EXPECT_EQ(WindowText(Apply()), L"Apply");
  EXPECT_EQ(Button(L"ButtonCreate")->Hint(), L"Create folder");
  EXPECT_EQ(Button(L"ButtonApply")->Hint(), L"Apply changes");
}

TEST_F(PathEditTest, ReadOnlyReachesTheEditWindow) {
  pe->SetIsReadOnly(true);
  EXPECT_TRUE(pe->IsReadOnly());
  EXPECT_TRUE(::GetWindowLongPtrW(EditHwnd(), GWL_STYLE) & ES_READONLY);
  pe->SetIsReadOnly(false);
  EXPECT_FALSE(::GetWindowLongPtrW(EditHwnd(), GWL_STYLE) & ES_READONLY);
}

// --- Enter ---

TEST_F(PathEditTest, EnterWithCreateHiddenRaisesOnlyOnPressEnter) {
  pe->SetShowCreateBtn(false);
  const std::wstring target = folder + L"\\by-enter";
  Type(target);
  PressEnter();
  EXPECT_EQ(events, std::vector<std::wstring>{L"enter"});
  ASSERT_EQ(enterSenders.size(), 1u);
  EXPECT_EQ(enterSenders[0], pe);
  EXPECT_FALSE(DirExists(target));
  // Once the field has seen Enter, the form's default button is pressed, as Enter does anywhere
  // else in the window.
  EXPECT_EQ(defaultClicks, 1);
}

TEST_F(PathEditTest, EnterWithCreateShownCreatesTheFolderFirst) {
  const std::wstring target = folder + L"\\by-enter";
  Type(target);
  ASSERT_TRUE(::IsWindowEnabled(Create()));
  PressEnter();
  EXPECT_TRUE(DirExists(target));
  EXPECT_EQ(events, (std::vector<std::wstring>{L"create", L"enter"}));
  EXPECT_EQ(FieldColor(), kLightGreen);
  EXPECT_EQ(defaultClicks, 1);
}

TEST_F(PathEditTest, EnterWithCreateDisabledCreatesNothing) {
  Type(L"C:\\a|b");
  PressEnter();
  EXPECT_EQ(events, std::vector<std::wstring>{L"enter"});
  EXPECT_TRUE(OpenBoxes().empty());
}

TEST_F(PathEditTest, EnterSwallowedByTheFrameGoesNoFurther) {
  pe->SetShowCreateBtn(false);
  pe->OnKeyPress = [](tk::TObject*, wchar_t& key) {
    if (key == L'\r') key = 0;
  };
  Type(folder);
  PressEnter();
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(defaultClicks, 0);
}

TEST_F(PathEditTest, OtherCharactersStillReachTheField) {
  ::SetFocus(EditHwnd());
  ::PostMessageW(EditHwnd(), WM_CHAR, L'Q', 0x00100001);
  DialogPump();
  EXPECT_EQ(WindowText(EditHwnd()), L"Q");
  EXPECT_TRUE(events.empty());
}

// --- Create ---

TEST_F(PathEditTest, CreateClickMakesNestedFoldersAndRaisesOnCreateFolder) {
  pe->SetShowApplyBtn(true);
  const std::wstring target = folder + L"\\one\\two\\three";
  Type(target);
  EXPECT_FALSE(::IsWindowEnabled(Apply()));
  // What the handler of the event finds: the state is brought up to date before it is raised.
  COLORREF colorAtEvent = CLR_INVALID;
  bool applyAtEvent = false;
  pe->OnCreateFolder = [&](tk::TObject* sender) {
    createdSenders.push_back(sender);
    colorAtEvent = FieldColor();
    applyAtEvent = ::IsWindowEnabled(Apply()) != FALSE;
  };
  ::SendMessageW(Create(), BM_CLICK, 0, 0);
  EXPECT_TRUE(DirExists(target));
  ASSERT_EQ(createdSenders.size(), 1u);
  EXPECT_EQ(createdSenders[0], pe);
  EXPECT_EQ(colorAtEvent, kLightGreen);
  EXPECT_TRUE(applyAtEvent);
}

TEST_F(PathEditTest, CreateClickOnExistingFolderChangesNothingAndStillReports) {
  Type(folder);
  WriteFileBytes(folder + L"\\keep.txt", "keep");
  ::SendMessageW(Create(), BM_CLICK, 0, 0);
  EXPECT_EQ(TreeListing(folder).size(), 1u);
  EXPECT_EQ(createdSenders.size(), 1u);
}

TEST_F(PathEditTest, FileModeCreateMakesAnEmptyFileAndItsFolder) {
  pe->SetInputType(itFile);
  const std::wstring file = folder + L"\\sub\\new.txt";
  Type(file);
  ::SendMessageW(Create(), BM_CLICK, 0, 0);
  ASSERT_TRUE(FileExists(file));
  EXPECT_EQ(ReadFileBytes(file), "");
  EXPECT_EQ(FieldColor(), kLightGreen);
  EXPECT_EQ(createdSenders.size(), 1u);
  // An existing file keeps its content.
  WriteFileBytes(file, "content");
  ::SendMessageW(Create(), BM_CLICK, 0, 0);
  EXPECT_EQ(ReadFileBytes(file), "content");
}

TEST_F(PathEditTest, FileModeBareNameIsRefusedWithABox) {
  pe->SetInputType(itFile);
  const std::wstring name = L"pathedit-bare-name.txt";
  Type(name);
  ASSERT_TRUE(::IsWindowEnabled(Create()));
  auto info = ClickExpectingBox(Create());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->caption, L"PathEditTest - Error");
  EXPECT_EQ(info->icon, BoxIcon::Error);
  EXPECT_EQ(info->text,
            L"Cannot create the file. Please enter its full path, with a valid folder and a file "
            L"name: \r\n" +
                name);
  EXPECT_FALSE(FileExists(name));
  EXPECT_TRUE(createdSenders.empty());
}

TEST_F(PathEditTest, FileModeInvalidFolderPartIsRefusedBeforeCreatingAnything) {
  pe->SetInputType(itFile);
  for (const std::wstring& path : {folder + L"\\a|b\\f.txt", folder + L"\\x:y\\f.txt",
                                   std::wstring(L"sub\\f.txt"), folder + L"\\"}) {
    Type(path);
    ASSERT_EQ(pe->PathHasValidChars(), L"") << Wide2Utf8(path);
    auto info = ClickExpectingBox(Create());
    ASSERT_TRUE(info) << Wide2Utf8(path);
    EXPECT_NE(info->text.find(path), std::wstring::npos) << Wide2Utf8(info->text);
  }
  EXPECT_TRUE(TreeListing(folder).empty());
  EXPECT_TRUE(createdSenders.empty());
}

TEST_F(PathEditTest, BlankTextCreatesNothingAndFailsNoAssertion) {
  Type(L"   ");
  EXPECT_EQ(pe->Path(), L"");
  // Blanks are not an empty text to the checks, but the full path they give has no drive that
  // is ready here: Create is not offered.
  EXPECT_EQ(pe->PathHasValidChars(), L"Lock on folder failed. Disk not in drive!");
  EXPECT_FALSE(::IsWindowEnabled(Create()));
  // Enter presses Create only while it is offered; it is still reported.
  ::SendMessageW(EditHwnd(), WM_CHAR, VK_RETURN, 0);
  EXPECT_EQ(enterSenders.size(), 1u);
  EXPECT_TRUE(createdSenders.empty());
  EXPECT_TRUE(TreeListing(folder).empty());
  EXPECT_TRUE(reported.empty()) << "no assertion failed";
}

TEST_F(PathEditTest, FolderTheSystemRefusesIsReportedInABox) {
  // A tab passes the character checks, but no folder name can hold it.
  pe->SetPath(folder + L"\\a\tb");
  ASSERT_TRUE(::IsWindowEnabled(Create()));
  auto info = ClickExpectingBox(Create());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->caption, L"PathEditTest - Error");
  // The platform's own refusal, in its words.
  EXPECT_EQ(info->text, L"Invalid characters in path");
  EXPECT_TRUE(TreeListing(folder).empty());
  EXPECT_EQ(createdSenders.size(), 1u);
}

// --- Apply and locate ---

TEST_F(PathEditTest, ApplyClickDisablesApplyAndPassesItAsSender) {
  pe->SetShowApplyBtn(true);
  std::vector<tk::TObject*> senders;
  pe->OnApplyButton = [&](tk::TObject* sender) { senders.push_back(sender); };
  Type(WindowsFolder());
  ASSERT_TRUE(::IsWindowEnabled(Apply()));
  ::SendMessageW(Apply(), BM_CLICK, 0, 0);
  ASSERT_EQ(senders.size(), 1u);
  EXPECT_EQ(senders[0], Button(L"ButtonApply"));
  EXPECT_FALSE(::IsWindowEnabled(Apply()));
}

TEST_F(PathEditTest, LocateWithEmptyPathSaysNothingIsSelected) {
  for (const wchar_t* text : {L"", L"   "}) {
    Type(text);
    auto info = ClickExpectingBox(Locate());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->caption, L"PathEditTest - Error");
    EXPECT_EQ(info->text, L"No file/folder selected!");
    EXPECT_EQ(info->icon, BoxIcon::Error);
  }
}

TEST_F(PathEditTest, LocateOnMissingFolderLeavesTheWordsToTheShellHelper) {
  const std::wstring missing = folder + L"\\nothing-here";
  Type(missing);
  auto info = ClickExpectingBox(Locate());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->text, L"Folder does not exist:\r\n" + missing + L"\\");
}

TEST_F(PathEditTest, LocateInFileModeStaysSilentForAMissingFile) {
  pe->SetInputType(itFile);
  Type(folder + L"\\absent.txt");
  // A box would be modal inside the click; the watch answers it so that the click returns.
  BoxAnswerer anyBox({L"OK"});
  ::SendMessageW(Locate(), BM_CLICK, 0, 0);
  EXPECT_FALSE(anyBox.StopAtFirst().has_value());
}

// --- input type, enabled state, visibility ---

TEST_F(PathEditTest, InputTypeSwitchesCaptionAndHintsAtOnce) {
  EXPECT_EQ(WindowText(pe->Handle()), L"Folder");
  EXPECT_EQ(Edit()->RightButton().Hint(), L"Browse for a folder");
  EXPECT_EQ(Button(L"ButtonExplore")->Hint(), L"Locate this folder in Windows Explorer");
  pe->SetInputType(itFile);
  EXPECT_EQ(WindowText(pe->Handle()), L"File");
  EXPECT_EQ(Edit()->RightButton().Hint(), L"Browse for a file");
  EXPECT_EQ(Button(L"ButtonExplore")->Hint(), L"Locate this file in Windows Explorer");
  pe->SetInputType(itFolder);
  EXPECT_EQ(WindowText(pe->Handle()), L"Folder");
}

TEST_F(PathEditTest, CaptionAndHintsAreSetWhenTheWindowIsFirstMade) {
  auto* late = new TOrvexPathEdit(form.get());
  late->SetCaption(L"Designed caption");
  late->SetShowCreateBtn(false);
  EXPECT_EQ(dynamic_cast<tk::TButton*>(late->FindComponent(L"ButtonExplore"))->Hint(),
            L"Locate this file/folder in Windows Explorer");
  late->SetBounds(8, 60, 300, 41);
  late->SetParent(form.get());
  EXPECT_EQ(WindowText(late->Handle()), L"Folder");
  auto* locate = dynamic_cast<tk::TButton*>(late->FindComponent(L"ButtonExplore"));
  EXPECT_EQ(locate->Hint(), L"Locate this folder in Windows Explorer");
  // Settings made before the window existed hold once it does.
  auto* create = dynamic_cast<tk::TButton*>(late->FindComponent(L"ButtonCreate"));
  ASSERT_TRUE(create->HandleAllocated());
  EXPECT_FALSE(::IsWindowVisible(create->Handle()));
  RECT client{}, field{}, button{};
  ::GetClientRect(late->Handle(), &client);
  ::GetWindowRect(dynamic_cast<tk::TWinControl*>(late->FindComponent(L"PathEdit"))->Handle(),
                  &field);
  ::GetWindowRect(locate->Handle(), &button);
  EXPECT_EQ(field.right, button.left - 2);
}

TEST_F(PathEditTest, EnabledMovesFrameFieldAndCreateOnly) {
  pe->SetShowApplyBtn(true);
  Type(WindowsFolder());
  ASSERT_TRUE(::IsWindowEnabled(Apply()));
  pe->SetEnabled(false);
  EXPECT_FALSE(::IsWindowEnabled(pe->Handle()));
  EXPECT_FALSE(::IsWindowEnabled(EditHwnd()));
  EXPECT_FALSE(::IsWindowEnabled(Create()));
  EXPECT_TRUE(::IsWindowEnabled(Locate()));
  EXPECT_TRUE(::IsWindowEnabled(Apply()));
  pe->SetEnabled(true);
  Type(L"C:\\a|b");
  ASSERT_FALSE(::IsWindowEnabled(Apply()));
  ASSERT_FALSE(::IsWindowEnabled(Create()));
  pe->SetEnabled(false);
  pe->SetEnabled(true);
  EXPECT_TRUE(::IsWindowEnabled(pe->Handle()));
  EXPECT_TRUE(::IsWindowEnabled(EditHwnd()));
  // Create takes the frame's value whatever the text; Apply keeps its own.
  EXPECT_TRUE(::IsWindowEnabled(Create()));
  EXPECT_FALSE(::IsWindowEnabled(Apply()));
}

TEST_F(PathEditTest, ShowApplyBtnTakesEffectAtTheNextTextChange) {
  pe->SetShowApplyBtn(true);
  PumpUntilIdle();
  EXPECT_FALSE(::IsWindowVisible(Apply()));
  Type(WindowsFolder());
  EXPECT_TRUE(::IsWindowVisible(Apply()));
  pe->SetShowApplyBtn(false);
  EXPECT_TRUE(::IsWindowVisible(Apply()));
  Type(L"C:\\");
  EXPECT_FALSE(::IsWindowVisible(Apply()));
}

TEST_F(PathEditTest, ShowCreateAndLocateHideTheirButtonsAtOnce) {
  pe->SetShowCreateBtn(false);
  EXPECT_FALSE(::IsWindowVisible(Create()));
  pe->SetShowOpenSrc(false);
  EXPECT_FALSE(::IsWindowVisible(Locate()));
  // The field takes the room.
  RECT client{};
  ::GetClientRect(pe->Handle(), &client);
  EXPECT_EQ(BoundsInFrame(EditHwnd()).right, client.right - 3);
  pe->SetShowOpenSrc(true);
  EXPECT_TRUE(::IsWindowVisible(Locate()));
}

// --- layout, pictures, screenshot ---

TEST_F(PathEditTest, ButtonsStandAtTheRightLocateCreateApplyAndTheFieldTakesTheRest) {
  pe->SetShowApplyBtn(true);
  Type(WindowsFolder());
  RECT client{};
  ::GetClientRect(pe->Handle(), &client);
  const RECT locate = BoundsInFrame(Locate());
  const RECT create = BoundsInFrame(Create());
  const RECT apply = BoundsInFrame(Apply());
  const RECT field = BoundsInFrame(EditHwnd());
  // Frame of 2 and margin of 1 at the right edge, margins of 1 between the buttons.
  EXPECT_EQ(locate.right, client.right - 3);
  EXPECT_EQ(locate.right - locate.left, 28);
  EXPECT_EQ(create.right, locate.left - 2);
  EXPECT_EQ(create.right - create.left, 48);
  EXPECT_EQ(apply.right, create.left - 2);
  EXPECT_EQ(apply.right - apply.left, 48);
  EXPECT_EQ(field.left, 3);
  EXPECT_EQ(field.right, apply.left - 2);
  // Below the caption, inside the frame.
  EXPECT_GT(field.top, 10);
  EXPECT_EQ(field.bottom, client.bottom - 3);
  EXPECT_EQ(locate.bottom, client.bottom - 3);

  // Shot of the whole form for a person to look at.
  auto* file = new TOrvexPathEdit(form.get());
  file->SetBounds(8, 60, 400, 41);
  file->SetParent(form.get());
  file->SetInputType(itFile);
  file->SetPath(L"C:\\no such file.txt");
  PumpUntilIdle();
  PaintAndWaitUntilStill(form->Handle(), 10s);
  EXPECT_TRUE(SaveWindowPng(form->Handle(), SandboxDir() + L"\\state\\pathedit.png"));
}

// The colour that the screen shows at a point of a window's client area.
COLORREF ScreenPixel(HWND window, int x, int y) {
  POINT p{x, y};
  ::ClientToScreen(window, &p);
  HDC screen = ::GetDC(nullptr);
  const COLORREF color = ::GetPixel(screen, p.x, p.y);
  ::ReleaseDC(nullptr, screen);
  return color;
}

TEST_F(PathEditTest, BrowseButtonShowsTheOpenFolderWhileHovered) {
  tk::TEditButton& browse = Edit()->RightButton();
  ASSERT_TRUE(browse.HandleAllocated());
  EXPECT_TRUE(::IsWindowVisible(browse.Handle()));
  EXPECT_EQ(browse.ImageIndex(), 0);
  EXPECT_EQ(browse.HotImageIndex(), 1);
  Type(WindowsFolder());
  RECT rc{};
  ::GetClientRect(browse.Handle(), &rc);
  // Column 15, row 9 of the closed folder is its dark outline; the open folder leaves it empty.
  const int x = (rc.right - 16) / 2 + 15;
  const int y = (rc.bottom - 16) / 2 + 9;
  ::SetCursorPos(5, 5);
  ASSERT_TRUE(WaitUntil([&] { return !browse.Hot(); }, kPatience));
  PaintAndWaitUntilStill(browse.Handle(), kPatience);
  const COLORREF closed = ScreenPixel(browse.Handle(), x, y);
  EXPECT_LT(GetRValue(closed) + GetGValue(closed) + GetBValue(closed), 300);

  POINT centre{rc.right / 2, rc.bottom / 2};
  ::ClientToScreen(browse.Handle(), &centre);
  ::SetCursorPos(centre.x, centre.y);
  ASSERT_TRUE(WaitUntil([&] { return browse.Hot(); }, kPatience));
  EXPECT_EQ(browse.ShownImageIndex(), 1);
  PumpUntilIdle();
  PaintAndWaitUntilStill(browse.Handle(), kPatience);
  EXPECT_EQ(ScreenPixel(browse.Handle(), x, y), kLightGreen);

  ::SetCursorPos(5, 5);
  ASSERT_TRUE(WaitUntil([&] { return !browse.Hot(); }, kPatience));
  EXPECT_EQ(browse.ShownImageIndex(), 0);
}

TEST_F(PathEditTest, TextStopsShortOfTheBrowseButton) {
  const LRESULT margins = ::SendMessageW(EditHwnd(), EM_GETMARGINS, 0, 0);
  RECT button{};
  ::GetClientRect(Edit()->RightButton().Handle(), &button);
  EXPECT_GE(HIWORD(margins), button.right);
  RECT field{};
  ::GetClientRect(EditHwnd(), &field);
  POINT origin{0, 0};
  ::MapWindowPoints(Edit()->RightButton().Handle(), EditHwnd(), &origin, 1);
  EXPECT_EQ(origin.x + button.right, field.right);
}

TEST_F(PathEditTest, BrowseButtonOpensTheFolderPickerWithTheTitle) {
  pe->SetOpenDlgTitle(L"Pick the product folder");
  Type(WindowsFolder());
  auto dialog = std::async(std::launch::async, [] {
    return AnswerBox(kPatience, L"Cancel", BoxFilter{::GetCurrentProcessId(), L"Pick the product"});
  });
  // A real press and release on the button; the picker runs inside the release.
  HWND browse = Edit()->RightButton().Handle();
  ::SendMessageW(browse, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  ::SendMessageW(browse, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  auto info = dialog.get();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->caption, L"Pick the product folder");
  // Cancelled: the text stays as it was.
  EXPECT_EQ(WindowText(EditHwnd()), WindowsFolder());
}

// --- partner list boxes ---

TEST_F(PathEditTest, DirectoryPartnerFollowsATypedExistingFolderWithItsOwnEventQuiet) {
  MakeDirs(folder + L"\\alpha\\one");
  MakeDirs(folder + L"\\alpha\\two");
  auto* dirs = NewList<tk::TDirectoryListBox>();
  int partnerChanges = 0;
  dirs->OnChange = [&](tk::TObject*) { ++partnerChanges; };
  pe->SetDirectory(dirs);
  EXPECT_EQ(pe->Directory(), dirs);
  std::wstring shownAtEvent;
  pe->OnPathChanged = [&](tk::TObject*) { shownAtEvent = dirs->Directory(); };

  Type(folder + L"\\alpha");
  EXPECT_EQ(dirs->Directory(), folder + L"\\alpha\\");
  EXPECT_EQ(shownAtEvent, folder + L"\\alpha\\") << "the handler finds the partner up to date";
  EXPECT_EQ(ListRows(dirs->Handle()), (Names{L"one", L"two"}));
  EXPECT_EQ(partnerChanges, 0);

  // A folder that is not there leaves the partner where it was.
  Type(folder + L"\\alpha\\missing");
  EXPECT_EQ(dirs->Directory(), folder + L"\\alpha\\");

  // The partner's own event is back for changes of its own.
  dirs->SetDirectory(folder);
  EXPECT_EQ(partnerChanges, 1);
}

TEST_F(PathEditTest, DirectoryPartnerStaysWithoutAnOnPathChangedHandler) {
  MakeDirs(folder + L"\\alpha\\one");
  auto* dirs = NewList<tk::TDirectoryListBox>();
  pe->SetDirectory(dirs);
  pe->OnPathChanged = nullptr;
  Type(folder + L"\\alpha");
  EXPECT_EQ(dirs->Directory(), L"");
  EXPECT_TRUE(ListRows(dirs->Handle()).empty());
}

TEST_F(PathEditTest, FileListPartnerShowsAValidFoldersFilesElseTheDocuments) {
  WriteFileBytes(folder + L"\\a.txt", "a");
  WriteFileBytes(folder + L"\\b.rtf", "b");
  MakeDirs(folder + L"\\sub");
  const std::wstring markerName = L"pathedit partner marker.txt";
  const std::wstring marker = ShellFolder(CSIDL_PERSONAL) + L"\\" + markerName;
  WriteFileBytes(marker, "m");
  tk::ScopeExit removeMarker([&] { ::DeleteFileW(marker.c_str()); });
  auto* files = NewList<tk::TFileListBox>();
  pe->SetFileListBox(files);
  EXPECT_EQ(pe->FileListBox(), files);
  // The file list follows whether or not anyone listens to the path.
  pe->OnPathChanged = nullptr;

  Type(folder);
  EXPECT_EQ(files->Directory(), folder + L"\\");
  EXPECT_EQ(ListRows(files->Handle()), (Names{L"a.txt", L"b.rtf"}));

  for (const std::wstring& invalid :
       {folder + L"\\nothing-here", std::wstring(L"C:\\a|b"), std::wstring()}) {
    Type(folder);
    ASSERT_EQ(files->Directory(), folder + L"\\");
    Type(invalid);
    EXPECT_EQ(files->Directory(), GetMyDocuments()) << Wide2Utf8(invalid);
    const Names rows = ListRows(files->Handle());
    EXPECT_NE(std::find(rows.begin(), rows.end(), markerName), rows.end()) << Wide2Utf8(invalid);
  }
}

TEST_F(PathEditTest, FileModeLeavesTheFileListPartnerAlone) {
  const std::wstring elsewhere = folder + L"\\elsewhere";
  WriteFileBytes(elsewhere + L"\\keep.txt", "k");
  WriteFileBytes(folder + L"\\a.txt", "a");
  auto* files = NewList<tk::TFileListBox>();
  files->SetDirectory(elsewhere);
  pe->SetFileListBox(files);
  pe->SetInputType(itFile);
  for (const std::wstring& text : {folder + L"\\a.txt", folder, folder + L"\\missing.txt"}) {
    Type(text);
    EXPECT_EQ(files->Directory(), elsewhere) << Wide2Utf8(text);
    EXPECT_EQ(ListRows(files->Handle()), Names{L"keep.txt"}) << Wide2Utf8(text);
  }
}

TEST_F(PathEditTest, FileModeBrowseOpensTheDialogForATextTheSystemTakesNoFolderFrom) {
  pe->SetInputType(itFile);
  pe->SetOpenDlgTitle(L"Pick the log file");
  for (const std::wstring& typed :
       {folder + L"\\" + std::wstring(300, L'n') + L".txt", folder + L"\\a\tb\\log.txt"}) {
    Type(typed);
    auto dialog = std::async(std::launch::async, [] {
      return AnswerBox(kPatience, L"Cancel", BoxFilter{::GetCurrentProcessId(), L"Pick the log"});
    });
    HWND browse = Edit()->RightButton().Handle();
    ::SendMessageW(browse, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    ::SendMessageW(browse, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    auto info = dialog.get();
    ASSERT_TRUE(info) << Wide2Utf8(typed);
    EXPECT_EQ(info->caption, L"Pick the log file");
    EXPECT_EQ(WindowText(EditHwnd()), typed);
  }
}

}  // namespace

// --- the folder list boxes on their own ---

namespace {

class FolderListBoxes : public PathEditTest {};

TEST_F(FolderListBoxes, DirectoryListShowsTheFoldersBelowItsDirectoryByName) {
  for (const wchar_t* name : {L"Beta", L"alpha", L"gamma.d"}) MakeDirs(folder + L"\\" + name);
  WriteFileBytes(folder + L"\\file.txt", "not a folder");
  auto* dirs = new tk::TDirectoryListBox(form.get());
  std::vector<tk::TObject*> senders;
  dirs->OnChange = [&](tk::TObject* sender) { senders.push_back(sender); };
  // Rows read before the window exists go into it.
  dirs->SetDirectory(folder);
  ASSERT_FALSE(dirs->HandleAllocated());
  dirs->SetParent(form.get());
  EXPECT_EQ(ListRows(dirs->Handle()), (Names{L"alpha", L"Beta", L"gamma.d"}));
  ASSERT_EQ(senders.size(), 1u);
  EXPECT_EQ(senders[0], dirs);

  // The same folder again is read afresh but is no change; Update reads it as well.
  MakeDirs(folder + L"\\delta");
  dirs->SetDirectory(folder);
  EXPECT_EQ(ListRows(dirs->Handle()), (Names{L"alpha", L"Beta", L"delta", L"gamma.d"}));
  EXPECT_EQ(senders.size(), 1u);
  ::RemoveDirectoryW((folder + L"\\delta").c_str());
  dirs->Update();
  EXPECT_EQ(dirs->Items(), (Names{L"alpha", L"Beta", L"gamma.d"}));

  dirs->SetDirectory(folder + L"\\missing");
  EXPECT_TRUE(ListRows(dirs->Handle()).empty());
  EXPECT_EQ(senders.size(), 2u);
}

TEST_F(FolderListBoxes, DoubleClickOpensTheFolderOfTheRow) {
  MakeDirs(folder + L"\\alpha\\inner");
  MakeDirs(folder + L"\\beta");
  auto* dirs = NewList<tk::TDirectoryListBox>();
  dirs->SetDirectory(folder);
  std::vector<tk::TObject*> senders;
  dirs->OnChange = [&](tk::TObject* sender) { senders.push_back(sender); };
  // Press, release, second press, release on the first row, as the mouse gives them.
  RECT row{};
  ::SendMessageW(dirs->Handle(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
  const LPARAM at = MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2);
  for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    ::SendMessageW(dirs->Handle(), msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
  EXPECT_EQ(dirs->Directory(), folder + L"\\alpha");
  EXPECT_EQ(ListRows(dirs->Handle()), Names{L"inner"});
  ASSERT_EQ(senders.size(), 1u);
  EXPECT_EQ(senders[0], dirs);
}

TEST_F(FolderListBoxes, FileListShowsTheFilesThatMatchItsMask) {
  for (const wchar_t* name : {L"c.log", L"B.rtf", L"a.txt"})
    WriteFileBytes(folder + L"\\" + name, "x");
  MakeDirs(folder + L"\\d.txt");  // a folder is never listed, whatever its name
  auto* files = NewList<tk::TFileListBox>();
  EXPECT_EQ(files->Mask(), L"*.*");
  files->SetDirectory(folder);
  EXPECT_EQ(ListRows(files->Handle()), (Names{L"a.txt", L"B.rtf", L"c.log"}));
  files->SetMask(L"*.txt;*.rtf");
  EXPECT_EQ(ListRows(files->Handle()), (Names{L"a.txt", L"B.rtf"}));
  files->SetMask(L"*.txt;a*");
  EXPECT_EQ(ListRows(files->Handle()), Names{L"a.txt"}) << "a file two patterns match is one row";
  WriteFileBytes(folder + L"\\later.txt", "x");
  files->Update();
  EXPECT_EQ(ListRows(files->Handle()), (Names{L"a.txt", L"later.txt"}));
  files->SetDirectory(folder + L"\\missing");
  EXPECT_TRUE(ListRows(files->Handle()).empty());
}

}  // namespace

// --- the image list behind the browse button ---

TEST(ImageList, IconsComeFromTheModuleResources) {
  tk::TImageList list(nullptr, 16, 16);
  EXPECT_EQ(list.AddResourceIcon(::GetModuleHandleW(nullptr), L"xFOLDER"), 0);
  EXPECT_EQ(list.AddResourceIcon(::GetModuleHandleW(nullptr), L"xFOLDER_OPEN"), 1);
  EXPECT_EQ(list.Count(), 2);
}

// The image `index` of the list as ImageList draws it over white, and the icon as the system
// draws it at the list's size over white: equal when the list holds the icon's own image.
bool ListShowsIcon(const tk::TImageList& list, int index, HICON icon) {
  const int size = list.Width();
  auto draw = [size](const std::function<void(HDC)>& paint) {
    void* bits = nullptr;
    tk::UniqueHBITMAP bitmap = tk::TopDownBitmap(size, size, bits);
    tk::UniqueMemDC dc(::CreateCompatibleDC(nullptr));
    std::vector<BYTE> pixels;
    if (!bitmap || !bits) return pixels;
    tk::UniqueSelectObject on(dc.get(), bitmap.get());
    RECT all{0, 0, size, size};
    ::FillRect(dc.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    paint(dc.get());
    ::GdiFlush();
    const auto* begin = static_cast<const BYTE*>(bits);
    pixels.assign(begin, begin + static_cast<size_t>(size) * size * 4);
    return pixels;
  };
  const auto listed = draw([&](HDC dc) { list.Draw(dc, index, 0, 0); });
  const auto own =
      draw([&](HDC dc) { ::DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL); });
  if (listed.empty() || listed.size() != own.size()) return false;
  for (size_t i = 0; i < listed.size(); ++i)
    if ((i % 4) != 3 && std::abs(listed[i] - own[i]) > 2) return false;
  return true;
}

TEST(ImageList, ANewSizeEmptiesTheListAndTakesEachIconAtItsOwnImageOfThatSize) {
  const HINSTANCE module = ::GetModuleHandleW(nullptr);
  tk::TImageList list(nullptr, 16, 16);
  ASSERT_EQ(list.AddResourceIcon(module, L"xFOLDER"), 0);
  for (int size : {20, 24, 32}) {
    list.SetSize(size, size);
    EXPECT_EQ(list.Count(), 0) << size;
    EXPECT_EQ(list.Width(), size);
    EXPECT_EQ(list.Height(), size);
    ASSERT_EQ(list.AddResourceIcon(module, L"xFOLDER"), 0) << size;
    int width = 0, height = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(list.Handle(), &width, &height));
    EXPECT_EQ(width, size);
    EXPECT_EQ(height, size);
    tk::UniqueHICON own(
        static_cast<HICON>(::LoadImageW(module, L"xFOLDER", IMAGE_ICON, size, size, 0)));
    ASSERT_TRUE(own);
    EXPECT_TRUE(ListShowsIcon(list, 0, own.get())) << "the icon file's " << size << "-pixel image";
  }
  // The 16-pixel image enlarged is not what the list shows at 32.
  tk::UniqueHICON small(
      static_cast<HICON>(::LoadImageW(module, L"xFOLDER", IMAGE_ICON, 16, 16, 0)));
  ASSERT_TRUE(small);
  EXPECT_FALSE(ListShowsIcon(list, 0, small.get()));
}

TEST(ImageList, StockIconsComeAtTheListsSize) {
  tk::TImageList list(nullptr, 24, 24);
  ASSERT_EQ(list.AddStockIcon(SIID_FOLDER), 0) << "the shell has a folder icon";
  SHSTOCKICONINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(SUCCEEDED(::SHGetStockIconInfo(SIID_FOLDER, SHGSI_ICONLOCATION, &info)));
  tk::UniqueHICON own;
  ASSERT_EQ(::SHDefExtractIconW(info.szPath, info.iIcon, 0, own.put(), nullptr, MAKELONG(24, 24)),
            S_OK);
  EXPECT_TRUE(ListShowsIcon(list, 0, own.get()));
}

TEST(ImageList, MissingResourceAddsNothingAndStockIconOrBlankKeepsTheIndex) {
  tk::TImageList list(nullptr, 16, 16);
  EXPECT_EQ(list.AddResourceIcon(::GetModuleHandleW(L"kernel32.dll"), L"xFOLDER"), -1);
  EXPECT_EQ(list.Count(), 0);
  const int stock = list.AddStockIcon(SIID_FOLDER);
  const int blank = list.AddBlank();
  EXPECT_EQ(blank, stock < 0 ? 0 : 1);
  EXPECT_EQ(list.Count(), stock < 0 ? 1 : 2);
}
