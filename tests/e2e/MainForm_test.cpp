// The main window built inside this test process, exactly as the program builds it: its layout,
// its start-up from the product's registry values, the path field and the countdown, the
// feedback and help actions, and the uninstall up to the points where the user says No (or where
// the procedure stops by itself). Complete uninstalls run on the real exe (Uninstall_test).
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <richedit.h>
#include <shlobj.h>

#include <algorithm>
#include <optional>

#include "toolkit/Image.h"
#include "tests/support/AppDriver.h"
#include "toolkit/Application.h"
#include "tests/support/BoxAnswerer.h"
#include "toolkit/Handles.h"
#include "tests/support/ImportTable.h"
#include "tests/support/MainFormHost.h"
#include "toolkit/Errors.h"
#include "OrvexCommonControls/InternetLabel.h"
#include "tests/support/RtfReader.h"
#include "tests/support/SandboxGuard.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "uninstaller/UninstallerForm.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/cvCountDown.h"
#include "OrvexCommonControls/cvPathEdit.h"
#include "OrvexCommonControls/cvRichLog.h"

using namespace testing_support;

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kOrange = RGB(223, 88, 0);
const std::wstring kFeedbackPage =
    L"https://www.example.com/help/install/uninstall-reason.html#soft";

const std::vector<std::wstring> kDisclaimerRows = {
    L"",
    L"Please tell us why you want to uninstall the program.",
    L"Any constructive critics will help us to improve the program so you can enjoy it.",
    L"",
    L"",
    L"Disclaimer ",
    L"",
    L"This program is provided \"AS IS\" without warranty of any kind, either express or implied,",
    L"including but not limited to the implied warranties of merchantability and/or fitness for a "
    L"particular purpose.",
    L"By using the software you TOTALLY agree with the conditions.",
};

using Row = RichRow;

void StoreValue(const wchar_t* name, const std::optional<std::wstring>& value) {
  StoreProductValue(name, value ? REG_SZ : REG_NONE, value.value_or(L""));
}

RECT BoundsInParent(HWND window) {
  RECT rc{};
  ::GetWindowRect(window, &rc);
  ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rc), 2);
  return RECT{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

LOGFONTW FontOf(HWND window) {
  LOGFONTW font{};
  auto handle = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  ::GetObjectW(handle, sizeof(font), &font);
  return font;
}

std::wstring HintShownFor(HWND control) {
  HWND root = ::GetAncestor(control, GA_ROOT);
  auto tooltip = static_cast<HWND>(::GetPropW(root, L"tk.tooltip"));
  if (!tooltip) return L"(no tooltip)";
  wchar_t text[1024] = {};
  TTTOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.hwnd = root;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = text;
  ::SendMessageW(tooltip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&info));
  return text;
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
    ::DeleteFileW(DebugModeFile().c_str());
    installDir_ = FreshFolder(L"mainform\\Pelmor Wallpaper");
    dataDir_ = FreshFolder(L"mainform\\Pelmor data");
    WriteFileBytes(installDir_ + L"\\readme.txt", "keep me");
    WriteFileBytes(dataDir_ + L"\\settings.ini", "[a]");
    tk::App().OnException = [this](const std::wstring& message) { reported_.push_back(message); };
  }

  void TearDown() override {
    CloseMainForm();
    tk::App().OnException = nullptr;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
    ::DeleteFileW(DebugModeFile().c_str());
    RemoveTree(L"C:\\orvex-tests\\mainform");
  }

  static std::wstring DebugModeFile() { return AppFolder() + L"DebugMode"; }

  void Install(const std::optional<std::wstring>& install,
               const std::optional<std::wstring>& data) {
    StoreValue(L"Install path", install);
    StoreValue(L"App data path", data);
  }

  // Creates the main window as the program does; boxes it shows on the way are answered by the
  // given script, whose boxes are returned.
  std::vector<MessageBoxInfo> OpenForm(std::vector<std::wstring> answers = {}) {
    BoxAnswerer script(std::move(answers), std::nullopt);
    OpenMainForm();
    auto boxes = script.Finish(15s);
    PumpUntilIdle();
    return boxes;
  }

  // Clicks Uninstall as a person would once the button is usable, answering the boxes.
  // A box beyond those expected is given perBox to show up.
  std::vector<MessageBoxInfo> Uninstall(std::vector<std::wstring> answers,
                                        std::chrono::milliseconds perBox = 30s) {
    frmMain->CountDownTimesUp(frmMain->CountDown);
    EXPECT_TRUE(frmMain->btnUninstall->Enabled());
    BoxAnswerer script(std::move(answers), std::nullopt);
    ::SendMessageW(frmMain->btnUninstall->Handle(), BM_CLICK, 0, 0);
    auto boxes = script.Finish(perBox);
    PumpUntilIdle();
    return boxes;
  }

  std::vector<Row> LogRows() const {
    std::vector<Row> rows;
    for (const RtfParagraph& p : ReadRtfRows(frmMain->mmoLog->SaveRtfToString()))
      rows.push_back(Row{p.text, p.color});
    return rows;
  }
  std::vector<std::wstring> LogTexts() const {
    std::vector<std::wstring> texts;
    for (int i = 0; i < frmMain->mmoLog->Lines().Count(); ++i)
      texts.push_back(frmMain->mmoLog->Lines()[i]);
    return texts;
  }

  std::wstring installDir_, dataDir_;
  std::vector<std::wstring> reported_;
};

// --- layout ---

TEST_F(MainFormTest, WindowLayoutAt96Dpi) {
  Install(installDir_, dataDir_);
  OpenForm();
  HWND form = frmMain->Handle();
  ASSERT_NE(form, nullptr);
  if (::GetDpiForWindow(form) != 96) GTEST_SKIP() << "the sizes below are those of 96 DPI";

  RECT client{};
  ::GetClientRect(form, &client);
  EXPECT_EQ(client.right, 682);
  EXPECT_EQ(client.bottom, 314);
  RECT window{};
  ::GetWindowRect(form, &window);
  EXPECT_EQ(window.left, 346);
  EXPECT_EQ(window.top, 310);
  wchar_t className[64] = {};
  ::GetClassNameW(form, className, 64);
  EXPECT_STREQ(className, L"TfrmMain");
  const LONG_PTR style = ::GetWindowLongPtrW(form, GWL_STYLE);
  const LONG_PTR exStyle = ::GetWindowLongPtrW(form, GWL_EXSTYLE);
  EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW) << "small caption bar";
  EXPECT_FALSE(style & WS_THICKFRAME) << "not resizable";
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(::GetLayeredWindowAttributes(form, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 245);
  EXPECT_TRUE(flags & LWA_ALPHA);
  EXPECT_EQ(frmMain->Caption(),
            L"Pelmor Wallpaper Changer uninstaller - This program is provided \"as is\"");
  EXPECT_TRUE(::IsWindowVisible(form));
  EXPECT_EQ(FontOf(frmMain->btnUninstall->Handle()).lfFaceName, std::wstring(L"Arial"));
  EXPECT_EQ(FontOf(frmMain->btnUninstall->Handle()).lfHeight, -11);

  struct Expected {
    tk::TWinControl* control;
    RECT bounds;  // left, top, width, height
  };
  const Expected expected[] = {
      {frmMain->imgLogo, {0, 0, 196, 314}},       {frmMain->Panel1, {196, 0, 486, 314}},
      {frmMain->lblDiscount, {4, 4, 478, 24}},    {frmMain->inetDiscount, {4, 31, 478, 13}},
      {frmMain->mmoLog, {4, 50, 478, 167}},       {frmMain->edtPath, {4, 223, 478, 41}},
      {frmMain->btnUninstall, {4, 280, 68, 25}},  {frmMain->btnResetIni, {80, 280, 214, 25}},
      {frmMain->btnFeedback, {386, 272, 94, 37}},
  };
  for (const Expected& e : expected) {
    const RECT b = BoundsInParent(e.control->Handle());
    EXPECT_EQ(b.left, e.bounds.left) << Wide2Utf8(e.control->Name);
    EXPECT_EQ(b.top, e.bounds.top) << Wide2Utf8(e.control->Name);
    EXPECT_EQ(b.right, e.bounds.right) << Wide2Utf8(e.control->Name);
    EXPECT_EQ(b.bottom, e.bounds.bottom) << Wide2Utf8(e.control->Name);
  }
  // The version label grows with its text from its designed place; it never shrinks.
  const RECT version = BoundsInParent(frmMain->lblVersion->Handle());
  EXPECT_EQ(version.left, 29);
  EXPECT_EQ(version.top, 299);
  EXPECT_GE(version.right, 122);
  EXPECT_EQ(version.bottom, 13);

  // Z-order and tab order of the right-hand area: the order of creation.
  std::vector<HWND> order;
  for (HWND w = ::GetWindow(frmMain->Panel1->Handle(), GW_CHILD); w;
       w = ::GetWindow(w, GW_HWNDNEXT))
    order.push_back(w);
  const std::vector<HWND> designed = {
      frmMain->lblDiscount->Handle(),  frmMain->inetDiscount->Handle(),
      frmMain->mmoLog->Handle(),       frmMain->edtPath->Handle(),
      frmMain->btnUninstall->Handle(), frmMain->btnResetIni->Handle(),
      frmMain->btnFeedback->Handle()};
  EXPECT_EQ(order, designed);
  for (tk::TWinControl* stop : std::initializer_list<tk::TWinControl*>{
           frmMain->mmoLog, frmMain->btnUninstall, frmMain->btnResetIni, frmMain->btnFeedback})
    EXPECT_TRUE(::GetWindowLongPtrW(stop->Handle(), GWL_STYLE) & WS_TABSTOP)
        << Wide2Utf8(stop->Name);
  // The version text lies over the logo's column and stays above the picture.
  HWND above = frmMain->lblVersion->Handle();
  bool versionAboveLogo = false;
  for (HWND w = ::GetWindow(form, GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
    if (w == above) versionAboveLogo = true;
    if (w == frmMain->imgLogo->Handle()) break;
  }
  EXPECT_TRUE(versionAboveLogo);

  // Discount labels: hidden, centred, their fonts and colours.
  EXPECT_FALSE(::IsWindowVisible(frmMain->lblDiscount->Handle()));
  EXPECT_FALSE(::IsWindowVisible(frmMain->inetDiscount->Handle()));
  EXPECT_EQ(frmMain->lblDiscount->Caption(), L"Huge discount for you!");
  EXPECT_TRUE(::GetWindowLongPtrW(frmMain->lblDiscount->Handle(), GWL_STYLE) & SS_CENTER);
  const LOGFONTW discountFont = FontOf(frmMain->lblDiscount->Handle());
  EXPECT_EQ(discountFont.lfFaceName, std::wstring(L"Arial"));
  EXPECT_EQ(discountFont.lfHeight, -21);
  EXPECT_EQ(discountFont.lfWeight, FW_BOLD);
  EXPECT_EQ(frmMain->lblDiscount->Color(), 8388863u);
  EXPECT_EQ(frmMain->inetDiscount->Caption(), L"Click here");
  EXPECT_TRUE(::GetWindowLongPtrW(frmMain->inetDiscount->Handle(), GWL_STYLE) & SS_CENTER);
  EXPECT_EQ(FontOf(frmMain->inetDiscount->Handle()).lfFaceName, std::wstring(L"Tahoma"));
  EXPECT_EQ(FontOf(frmMain->inetDiscount->Handle()).lfHeight, -11);
  EXPECT_EQ(frmMain->inetDiscount->Font().Color, tk::clBlue);
  EXPECT_EQ(frmMain->inetDiscount->VisitedColor(), tk::clPurple);
  EXPECT_EQ(frmMain->inetDiscount->OverColor(), tk::clRed);
  EXPECT_FALSE(frmMain->inetDiscount->LinkHint());
  EXPECT_EQ(frmMain->inetDiscount->Link(),
            L"https://www.example.com/order/uninstall_discount.html");
  EXPECT_EQ(HintShownFor(frmMain->inetDiscount->Handle()), L"");

  // Version label.
  EXPECT_EQ(FontOf(frmMain->lblVersion->Handle()).lfFaceName, std::wstring(L"MS Sans Serif"));
  EXPECT_EQ(FontOf(frmMain->lblVersion->Handle()).lfHeight, -11);
  EXPECT_EQ(frmMain->lblVersion->Font().Color, tk::clSilver);

  // Buttons, their captions and hints as the tooltip shows them.
  EXPECT_EQ(frmMain->btnUninstall->Caption(), L"Uninstall");
  EXPECT_EQ(frmMain->btnResetIni->Caption(), L"How to reset program to factory default?");
  EXPECT_EQ(frmMain->btnFeedback->Caption(), L"Send feedback");
  EXPECT_FALSE(::IsWindowEnabled(frmMain->btnUninstall->Handle()));
  const LONG_PTR feedbackStyle = ::GetWindowLongPtrW(frmMain->btnFeedback->Handle(), GWL_STYLE);
  EXPECT_TRUE(feedbackStyle & BS_MULTILINE) << "word-wrapped";
  EXPECT_EQ(feedbackStyle & 0xF, BS_DEFPUSHBUTTON) << "the default button";
  EXPECT_EQ(HintShownFor(frmMain->btnUninstall->Handle()),
            L"When possible the application will send the files to RecycleBin");
  EXPECT_EQ(HintShownFor(frmMain->btnResetIni->Handle()),
            L"If you have problems with the program, reinstalling to fix the problem is not "
            L"necessary. \r\nInstead to we recommend to follow the 'Reset program to factory "
            L"default' procedure.");
  EXPECT_EQ(HintShownFor(frmMain->btnFeedback->Handle()),
            L"It is important for us to understand why you don't like the program so we can "
            L"fix/improve it!\r\nYou will benefit from this too.");

  // Path field.
  EXPECT_EQ(frmMain->edtPath->Caption(), L"Folder");
  EXPECT_EQ(frmMain->edtPath->InputType(), itFolder);
  EXPECT_FALSE(frmMain->edtPath->ShowCreateBtn());

  // Log pane: vertical scroll bar only, no wrapping, the full length.
  HWND log = frmMain->mmoLog->Handle();
  const LONG_PTR logStyle = ::GetWindowLongPtrW(log, GWL_STYLE);
  // The control shows its vertical bar once the rows need it; a horizontal one never.
  EXPECT_EQ(frmMain->mmoLog->ScrollBars(), tk::ssVertical);
  EXPECT_FALSE(logStyle & WS_HSCROLL);
  EXPECT_EQ(::SendMessageW(log, EM_GETLIMITTEXT, 0, 0), 2147483632);
  EXPECT_EQ(frmMain->mmoLog->Lines().Count(), 11) << "a long row would wrap into two";
  EXPECT_EQ(frmMain->CountDown->StartValue(), 7000u);
}

TEST_F(MainFormTest, DisclaimerRowsAndTheBlankRowOfStartUp) {
  Install(installDir_, dataDir_);
  EXPECT_TRUE(OpenForm().empty()) << "no message with a stored, existing folder";
  std::vector<std::wstring> expected = kDisclaimerRows;
  expected.push_back(L" ");
  EXPECT_EQ(LogTexts(), expected);
  // Written before the pane had its window, the rows are as regular as any other.
  const std::vector<RichRow> shown = RichEditRows(frmMain->mmoLog->Handle());
  ASSERT_EQ(shown.size(), expected.size());
  for (const RichRow& row : shown) EXPECT_FALSE(row.bold) << Wide2Utf8(row.text);
  POINT scroll{};
  ::SendMessageW(frmMain->mmoLog->Handle(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
  EXPECT_EQ(scroll.x, 0) << "the rows are read from their first character";
  EXPECT_TRUE(reported_.empty());
}

TEST_F(MainFormTest, LogoIsBlendedAndCentredInItsColumn) {
  Install(installDir_, dataDir_);
  OpenForm();
  tk::TImage* logo = frmMain->imgLogo;
  ASSERT_FALSE(logo->Empty()) << "the LOGO resource was decoded";
  EXPECT_EQ(logo->PictureWidth(), 193);
  EXPECT_EQ(logo->PictureHeight(), 246);
  const RECT at = logo->PictureRect();
  EXPECT_EQ(at.left, (196 - 193) / 2);
  EXPECT_EQ(at.top, (314 - 246) / 2);

  // What the control paints: the picture's opaque part (columns 8..186, rows 13..234 of its
  // design size) lands centred; its transparent corners show the form's colour.
  RECT client{};
  ::GetClientRect(logo->Handle(), &client);
  HDC screen = ::GetDC(logo->Handle());
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP canvas = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = ::SelectObject(memory, canvas);
  ::SendMessageW(logo->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
  const COLORREF background = ::GetSysColor(COLOR_BTNFACE);
  int left = client.right, top = client.bottom, right = -1, bottom = -1;
  for (int y = 0; y < client.bottom; ++y)
    for (int x = 0; x < client.right; ++x) {
      const COLORREF c = ::GetPixel(memory, x, y);
      const int diff = std::abs(GetRValue(c) - GetRValue(background)) +
                       std::abs(GetGValue(c) - GetGValue(background)) +
                       std::abs(GetBValue(c) - GetBValue(background));
      if (diff > 24) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  EXPECT_EQ(::GetPixel(memory, at.left, at.top), background);
  EXPECT_EQ(::GetPixel(memory, at.right - 1, at.bottom - 1), background);
  ::SelectObject(memory, old);
  ::DeleteObject(canvas);
  ::DeleteDC(memory);
  ::ReleaseDC(logo->Handle(), screen);
  EXPECT_NEAR(left, at.left + 8, 3);
  EXPECT_NEAR(right, at.left + 186, 3);
  EXPECT_NEAR(top, at.top + 13, 3);
  EXPECT_NEAR(bottom, at.top + 234, 3);
}

TEST_F(MainFormTest, VersionLabelShowsThreeNumbersInFull) {
  Install(installDir_, dataDir_);
  OpenForm();
  EXPECT_EQ(frmMain->lblVersion->Caption(), L"Uninstaller version: 5.0.0");
  HWND label = frmMain->lblVersion->Handle();
  HDC dc = ::GetDC(label);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)));
  SIZE text{};
  const std::wstring caption = frmMain->lblVersion->Caption();
  ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
  ::SelectObject(dc, old);
  ::ReleaseDC(label, dc);
  RECT rc{};
  ::GetClientRect(label, &rc);
  EXPECT_GE(rc.right, text.cx) << "the whole version text is shown";
}

TEST_F(MainFormTest, DebugModeFileMakesTheExePathTheCaption) {
  Install(installDir_, dataDir_);
  WriteFileBytes(DebugModeFile(), "");
  OpenForm();
  EXPECT_EQ(frmMain->Caption(), AppExeName());
}

TEST_F(MainFormTest, StartUpNamesTheApplicationAndTheProductWindowClass) {
  Install(installDir_, dataDir_);
  OpenForm();
  EXPECT_EQ(AppName, L"Uninstaller");
  EXPECT_EQ(InstanceMutexName, L"Pelmor.SingleInstanceMutex");
}

// --- installation folder and the Uninstall button ---

TEST_F(MainFormTest, StoredFolderIsShownAndTheCountdownEnablesTheButton) {
  Install(installDir_, dataDir_);
  const auto beforeStart = std::chrono::steady_clock::now();
  EXPECT_TRUE(OpenForm().empty());
  EXPECT_EQ(frmMain->edtPath->Path(), installDir_ + L"\\");
  EXPECT_EQ(frmMain->edtPath->Caption(), L"Folder");
  EXPECT_FALSE(frmMain->btnUninstall->Enabled()) << "held back at first";
  EXPECT_TRUE(frmMain->CountDown->Enabled());
  // The moment the button is enabled, taken inside the time-up itself.
  std::optional<std::chrono::steady_clock::time_point> enabledAt;
  frmMain->CountDown->OnTimesUp = [&](tk::TObject* Sender) {
    frmMain->CountDownTimesUp(Sender);
    if (!enabledAt && frmMain->btnUninstall->Enabled())
      enabledAt = std::chrono::steady_clock::now();
  };
  ASSERT_TRUE(WaitUntil([&] { return enabledAt.has_value(); }, 20s))
      << "the countdown enables it after 7 seconds";
  EXPECT_GE(*enabledAt - beforeStart, 6s) << "still disabled at 6 seconds";
  EXPECT_LE(*enabledAt - beforeStart, 8s) << "enabled by 8 seconds";
  EXPECT_TRUE(reported_.empty());
}

TEST_F(MainFormTest, EditingThePathEnablesOrDisablesTheButtonAtOnce) {
  Install(installDir_, dataDir_);
  OpenForm();
  HWND field = FindWindowExW(frmMain->edtPath->Handle(), nullptr, L"Edit", nullptr);
  ASSERT_NE(field, nullptr);
  ::SetWindowTextW(field, dataDir_.c_str());
  EXPECT_TRUE(frmMain->btnUninstall->Enabled()) << "an existing folder, before the countdown ends";
  ::SetWindowTextW(field, (installDir_ + L"\\missing").c_str());
  EXPECT_FALSE(frmMain->btnUninstall->Enabled());
  // The countdown keeps running and enables the button regardless of the path.
  EXPECT_TRUE(WaitUntil([] { return frmMain->btnUninstall->Enabled(); }, 20s));
}

TEST_F(MainFormTest, NoStoredFolderAsksForOneAndWarns) {
  Install(std::nullopt, dataDir_);
  EXPECT_TRUE(OpenForm().empty());
  EXPECT_EQ(frmMain->edtPath->Path(),
            L"Cannot detect installation folder! Please enter the path here manually.\\");
  EXPECT_FALSE(frmMain->btnUninstall->Enabled());
  EXPECT_FALSE(frmMain->CountDown->Enabled()) << "no countdown without a stored folder";
  const std::vector<Row> rows = LogRows();
  ASSERT_GE(rows.size(), 14u);
  const std::vector<Row> tail(rows.begin() + 10, rows.begin() + 14);
  const std::vector<Row> expected = {
      {L" ", kBlack},
      {L" ", kBlack},
      {L"Cannot detect installation folder!", kOrange},
      {L"Unless changed by user, the default path should be \"C:\\Pelmor Wallpaper\\\"", kOrange}};
  EXPECT_EQ(tail, expected);
  EXPECT_EQ(frmMain->mmoLog->Lines().Count(), 14);
  HWND field = FindWindowExW(frmMain->edtPath->Handle(), nullptr, L"Edit", nullptr);
  ::SetWindowTextW(field, installDir_.c_str());
  EXPECT_TRUE(frmMain->btnUninstall->Enabled()) << "a real folder typed in";
}

TEST_F(MainFormTest, MissingStoredFolderIsReportedAndStillCountedDown) {
  const std::wstring missing = installDir_ + L"\\gone";
  Install(missing, dataDir_);
  const auto boxes = OpenForm({L"OK"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Uninstaller - Error");
  EXPECT_EQ(boxes[0].icon, BoxIcon::Error);
  EXPECT_EQ(boxes[0].text,
            L"Original installation folder does not exist.\r\nProbably moved or "
            L"deleted manually.\r\nFolder: " +
                missing);
  const std::vector<Row> rows = LogRows();
  ASSERT_GE(rows.size(), 13u);
  const std::vector<Row> tail(rows.begin() + 10, rows.begin() + 13);
  const std::vector<Row> expected = {
      {L" ", kBlack}, {L" ", kBlack}, {L"Folder to be entered manually by user.", kOrange}};
  EXPECT_EQ(tail, expected);
  EXPECT_EQ(frmMain->edtPath->Path(), missing + L"\\");
  EXPECT_FALSE(frmMain->btnUninstall->Enabled());
  EXPECT_TRUE(frmMain->CountDown->Enabled());
}

TEST(ProductName, OnlyFileNameCharactersPass) {
  EXPECT_NO_THROW(CheckProductName());
  EXPECT_NO_THROW(CheckFileName(L"Pelmor Wallpaper Changer"));
  for (const wchar_t* name :
       {L"a*b", L"a?b", L"a/b", L"a\\b", L"a:b", L"a<b", L"a>b", L"a|b", L"a\"b", L"a\tb"}) {
    try {
      CheckFileName(name);
      ADD_FAILURE() << "accepted " << Wide2Utf8(name);
    } catch (const tk::Exception& e) {
      EXPECT_EQ(e.Message(), std::wstring(name) + L" filename is invalid!");
    }
  }
}

TEST(ProductName, LogFileNameCarriesTheTime) {
  EXPECT_EQ(UninstallLogName(L"C:\\Users\\me\\Desktop\\", L"14.03.59"),
            L"C:\\Users\\me\\Desktop\\Pelmor Wallpaper Changer - uninstall confirmation "
            L"14.03.59.RTF");
}

// --- feedback and help ---

TEST_F(MainFormTest, SendFeedbackOpensTheMailAndThePage) {
  Install(installDir_, dataDir_);
  OpenForm();
  ClearRecordedOpens();
  // What the shell is handed, in the order it is handed over.
  ShellExecuteRecorder handed;
  ASSERT_TRUE(handed.Installed());
  BoxAnswerer anyBox({L"OK"});
  frmMain->btnFeedback->Click();
  EXPECT_FALSE(anyBox.StopAtFirst().has_value()) << "no box";
  EXPECT_EQ(handed.Files(),
            (std::vector<std::wstring>{L"mailto:support@example.com", kFeedbackPage}))
      << "the mail first, then the page";
  EXPECT_TRUE(WaitUntil(
      [] { return TimesRecorded(L"xdg-email", L"mailto:support@example.com") > 0; }, 20s));
  EXPECT_TRUE(WaitUntil([] { return TimesRecorded(L"xdg-open", kFeedbackPage) > 0; }, 20s));
}

// Without a mail program for mail links the shell's failure is told in its own words, and the
// feedback page opens all the same.
TEST_F(MainFormTest, WithoutAMailProgramTheFailureIsShownAndThePageStillOpens) {
  Install(installDir_, dataDir_);
  OpenForm();
  ClearRecordedOpens();
  // The mail links' association is moved away for the test and put back after it.
  constexpr wchar_t kMailto[] = L"Software\\Classes\\mailto";
  constexpr wchar_t kKept[] = L"Software\\Classes\\orvex-kept-mailto";
  HKEY classes = HKEY_LOCAL_MACHINE;
  HKEY kept = nullptr;
  ASSERT_EQ(
      ::RegCreateKeyExW(classes, kKept, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &kept, nullptr),
      ERROR_SUCCESS);
  ASSERT_EQ(::RegCopyTreeW(classes, kMailto, kept), ERROR_SUCCESS);
  ::RegCloseKey(kept);
  ASSERT_EQ(::RegDeleteTreeW(classes, kMailto), ERROR_SUCCESS);
  tk::ScopeExit restore([&] {
    HKEY mailto = nullptr;
    ::RegCreateKeyExW(classes, kMailto, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &mailto, nullptr);
    ::RegCopyTreeW(classes, kKept, mailto);
    ::RegCloseKey(mailto);
    ::RegDeleteTreeW(classes, kKept);
  });
  BoxAnswerer script({L"OK"}, std::nullopt);
  frmMain->btnFeedback->Click();
  const auto boxes = script.Finish();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Uninstaller - Error");
  EXPECT_EQ(boxes[0].text,
            L"There is no application associated with the given file name extension!");
  EXPECT_TRUE(WaitUntil([] { return TimesRecorded(L"xdg-open", kFeedbackPage) > 0; }, 20s));
  ASSERT_TRUE(WaitForHandOvers(20s));
  EXPECT_TRUE(RecordedOpens(L"xdg-email").empty());
}

TEST_F(MainFormTest, LogoAndResetButtonOpenTheirPages) {
  Install(installDir_, dataDir_);
  OpenForm();
  ClearRecordedOpens();
  RECT logo{};
  ::GetClientRect(frmMain->imgLogo->Handle(), &logo);
  const LPARAM middle = MAKELPARAM(logo.right / 2, logo.bottom / 2);
  ::SendMessageW(frmMain->imgLogo->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, middle);
  ::SendMessageW(frmMain->imgLogo->Handle(), WM_LBUTTONUP, 0, middle);
  EXPECT_TRUE(WaitUntil([] { return TimesRecorded(L"xdg-open", kFeedbackPage) > 0; }, 20s));
  ::SendMessageW(frmMain->btnResetIni->Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil(
      [] {
        return TimesRecorded(L"xdg-open",
                             L"https://www.example.com/help/support-advanced_topics/index.html") >
               0;
      },
      20s));
  ASSERT_TRUE(WaitForHandOvers(20s));
  EXPECT_EQ(TimesRecorded(L"xdg-open", kFeedbackPage), 1u);
  EXPECT_TRUE(RecordedOpens(L"xdg-email").empty());
}

// --- the uninstall up to the user's No ---

TEST_F(MainFormTest, MissingFolderGivesOneBoxAndExactlyThreeRows) {
  Install(installDir_, dataDir_);
  OpenForm();
  const std::wstring missing = installDir_ + L"\\gone";
  frmMain->edtPath->SetPath(missing);
  const auto boxes = Uninstall({L"OK", L"OK"}, 5s);
  ASSERT_EQ(boxes.size(), 1u) << "only the existence check speaks";
  EXPECT_EQ(boxes[0].text, L"Folder does not exist:\r\n" + missing + L"\\");
  const std::vector<Row> expected = {{L"Uninstall process started...", kBlack},
                                     {L"Folder does not exist: " + missing + L"\\", kOrange},
                                     {L"Uninstall process aborted.", kBlack}};
  EXPECT_EQ(LogRows(), expected);
  EXPECT_EQ(frmMain->mmoLog->Lines().Count(), 3);
  EXPECT_TRUE(frmMain->btnUninstall->Enabled()) << "the user may try again";
  EXPECT_TRUE(::IsWindow(frmMain->Handle()));
}

TEST_F(MainFormTest, NoToTheFirstQuestionIsLoggedAtInfoLevel) {
  Install(installDir_, dataDir_);
  OpenForm();
  const auto boxes = Uninstall({L"No"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Uninstaller");
  EXPECT_EQ(boxes[0].text, L"Are you sure you want to uninstall Pelmor Wallpaper Changer?");
  EXPECT_EQ(boxes[0].icon, BoxIcon::Question);
  EXPECT_EQ(boxes[0].ButtonList(), L"Yes,No");
  const std::vector<Row> expected = {{L"Uninstall process started...", kBlack},
                                     {L"Uninstall process aborted by user.", kBlack}};
  EXPECT_EQ(LogRows(), expected);
  EXPECT_FALSE(::IsWindowVisible(frmMain->lblDiscount->Handle())) << "no discount before a Yes";
  // Info rows are those a higher threshold drops.
  frmMain->mmoLog->SetVerbosity(lvWarnings);
  Uninstall({L"No"});
  EXPECT_TRUE(LogTexts().empty());
  EXPECT_EQ(TreeListing(installDir_).size(), 1u);
  EXPECT_EQ(TreeListing(dataDir_).size(), 1u);
}

TEST_F(MainFormTest, NoToTheSecondQuestionIsAPlainRowAndTheDiscountStays) {
  Install(installDir_, dataDir_);
  OpenForm();
  const auto boxes = Uninstall({L"Yes", L"No"});
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].caption, L"Uninstaller");
  EXPECT_EQ(boxes[1].icon, BoxIcon::Question);
  EXPECT_EQ(boxes[1].text, L"Do you approve deletion of the following items?\r\n " + installDir_ +
                               L"\\\r\n " + dataDir_ +
                               L"\r\n  Desktop icon\r\n  Start menu icon\r\n\r\nIf you are not "
                               L"sure, you can also delete them manually.");
  const std::vector<Row> expected = {{L"Uninstall process started...", kBlack},
                                     {L"User confirmation obtained.", kBlack},
                                     {L"Uninstall process aborted by user.", kBlack}};
  EXPECT_EQ(LogRows(), expected);
  EXPECT_TRUE(::IsWindowVisible(frmMain->lblDiscount->Handle()));
  EXPECT_TRUE(::IsWindowVisible(frmMain->inetDiscount->Handle()));
  // A plain row passes any threshold; the info rows do not.
  frmMain->mmoLog->SetVerbosity(lvErrors);
  Uninstall({L"Yes", L"No"});
  EXPECT_EQ(LogTexts(), std::vector<std::wstring>{L"Uninstall process aborted by user."});
  EXPECT_EQ(TreeListing(installDir_).size(), 1u);
  EXPECT_EQ(TreeListing(dataDir_).size(), 1u);
}

TEST_F(MainFormTest, SecondQuestionListsABlankForNoDataFolderAndTheDebugText) {
  Install(installDir_, std::nullopt);
  OpenForm();
  auto boxes = Uninstall({L"Yes", L"No"});
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, L"Do you approve deletion of the following items?\r\n " + installDir_ +
                               L"\\\r\n \r\n  Desktop icon\r\n  Start menu icon\r\n\r\nIf you are "
                               L"not sure, you can also delete them manually.");
  StoreValue(L"App data path", dataDir_);
  WriteFileBytes(DebugModeFile(), "");
  boxes = Uninstall({L"Yes", L"No"});
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[1].text.find(L"\r\n Protected while uninstaller running in debugg mode\r\n"),
            std::wstring::npos)
      << Wide2Utf8(boxes[1].text);
}

TEST_F(MainFormTest, EmptyProductWindowClassIsAProgrammingError) {
  Install(installDir_, dataDir_);
  OpenForm();
  InstanceMutexName.clear();
  const auto boxes = Uninstall({L"Yes", L"No"}, 8s);
  EXPECT_EQ(boxes.size(), 1u) << "the procedure stops before the second question";
  ASSERT_EQ(reported_.size(), 1u);
  EXPECT_NE(reported_[0].find(L"UninstallerForm"), std::wstring::npos) << Wide2Utf8(reported_[0]);
  EXPECT_EQ(LogTexts().back(), L"User confirmation obtained.");
  EXPECT_EQ(TreeListing(installDir_).size(), 1u);
}

// Every route by which the window calls its handlers stops an exception, reports it and goes
// on: the next event of the same control, and of any other, still arrives.
TEST_F(MainFormTest, ExceptionInEveryHandlerIsReportedAndTheWindowGoesOn) {
  Install(installDir_, dataDir_);
  OpenForm();
  const SandboxGuard guard;
  auto thrower = [](const wchar_t* where) {
    return [where](tk::TObject*) { throw tk::Exception(std::wstring(L"failure in ") + where); };
  };
  frmMain->btnUninstall->OnClick = thrower(L"btnUninstallClick");
  frmMain->btnFeedback->OnClick = thrower(L"btnFeedbackClick");
  frmMain->btnResetIni->OnClick = thrower(L"btnResetIniClick");
  frmMain->imgLogo->OnClick = thrower(L"imgLogoClick");
  frmMain->edtPath->OnPathChanged = thrower(L"edtPathPathChanged");
  frmMain->CountDown->OnTimesUp = thrower(L"CountDownTimesUp");
  frmMain->inetDiscount->OnLinkActivating = [](tk::TObject*, bool&) {
    throw tk::Exception(L"failure in inetDiscount");
  };
  frmMain->inetDiscount->SetVisible(true);
  frmMain->btnUninstall->SetEnabled(true);

  auto clickAt = [](HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(window, WM_LBUTTONUP, 0, at);
  };
  const std::vector<std::pair<std::wstring, std::function<void()>>> events = {
      {L"btnUninstallClick",
       [] { ::PostMessageW(frmMain->btnUninstall->Handle(), BM_CLICK, 0, 0); }},
      {L"btnFeedbackClick", [] { ::PostMessageW(frmMain->btnFeedback->Handle(), BM_CLICK, 0, 0); }},
      {L"btnResetIniClick", [] { ::PostMessageW(frmMain->btnResetIni->Handle(), BM_CLICK, 0, 0); }},
      {L"imgLogoClick", [&] { clickAt(frmMain->imgLogo->Handle()); }},
      // A key typed into the field, as the user changes the path.
      {L"edtPathPathChanged",
       [] {
         ::PostMessageW(FindDescendant(frmMain->edtPath->Handle(), L"Edit"), WM_CHAR, L'x', 1);
       }},
      {L"inetDiscount", [&] { clickAt(frmMain->inetDiscount->Handle()); }},
  };
  for (int round = 0; round < 2; ++round)
    for (const auto& [where, fire] : events) {
      SCOPED_TRACE(Wide2Utf8(where));
      reported_.clear();
      fire();
      EXPECT_TRUE(WaitUntil([&] { return !reported_.empty(); }, 10s)) << "reported";
      ASSERT_FALSE(reported_.empty());
      EXPECT_EQ(reported_[0], L"failure in " + where);
    }
  // The countdown's time-up comes from the timer: a failing handler does not stop the timer.
  frmMain->CountDown->SetResolution(50);
  frmMain->CountDown->SetStartValue(100);
  frmMain->CountDown->Start();
  reported_.clear();
  EXPECT_TRUE(WaitUntil([&] { return reported_.size() >= 2; }, 10s)) << "time-up reported twice";
  ASSERT_FALSE(reported_.empty());
  EXPECT_EQ(reported_[0], L"failure in CountDownTimesUp");
  DWORD_PTR answer = 0;
  EXPECT_TRUE(
      ::SendMessageTimeoutW(frmMain->Handle(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
      << "the window still answers";
  EXPECT_EQ(TreeListing(installDir_).size(), 1u) << "nothing was deleted on the way";
  const GuardReport report = guard.Check();
  EXPECT_TRUE(report.Clean()) << report.Describe();
  for (const auto& event : events)
    RecordFigure("fault", "exception in " + Wide2Utf8(event.first), report);
  RecordFigure("fault", "exception in CountDownTimesUp", report);
}

}  // namespace
