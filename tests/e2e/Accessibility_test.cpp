// The main window for users of assistive settings, built inside this process as the program
// builds it. What a screen reader is told: every control's accessible object, asked the way a
// reader asks (AccessibleObjectFromWindow, then role, name, value and state through IAccessible),
// read inside this process because Wine cannot hand an accessible object to another one. And
// what a user of a high-contrast scheme sees: the colours each control is painted in, with the
// scheme reported on (Wine keeps it off whatever it is told, so the test reports it itself).
#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>

#include <optional>
#include <string>

#include "OrvexCommonControls/InternetLabel.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/cvPathEdit.h"
#include "OrvexCommonControls/cvRichLog.h"
#include "tests/support/AppDriver.h"
#include "tests/support/ImportTable.h"
#include "tests/support/MainFormHost.h"
#include "tests/support/RtfReader.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "toolkit/Application.h"
#include "toolkit/Image.h"
#include "uninstaller/UninstallerForm.h"

using namespace testing_support;

namespace {

// What a reader is told of one control.
struct Told {
  long role = 0;
  std::wstring name;
  std::optional<std::wstring> value;
  long state = 0;
};

std::optional<Told> Ask(HWND control) {
  IAccessible* object = nullptr;
  if (FAILED(::AccessibleObjectFromWindow(control, OBJID_CLIENT, IID_IAccessible,
                                          reinterpret_cast<void**>(&object))) ||
      !object)
    return std::nullopt;
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  Told told;
  VARIANT role{}, state{};
  if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) told.role = role.lVal;
  if (SUCCEEDED(object->get_accState(self, &state)) && state.vt == VT_I4) told.state = state.lVal;
  BSTR name = nullptr, value = nullptr;
  if (SUCCEEDED(object->get_accName(self, &name)) && name) told.name = name;
  if (SUCCEEDED(object->get_accValue(self, &value)) && value) told.value = std::wstring(value);
  ::SysFreeString(name);
  ::SysFreeString(value);
  object->Release();
  return told;
}

class Accessibility : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    folder_ = FreshFolder(L"accessibility\\Pelmor Wallpaper");
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kProductKey, L"Install path", REG_SZ, folder_.c_str(),
                      static_cast<DWORD>((folder_.size() + 1) * sizeof(wchar_t)));
    tk::App().OnException = [this](const std::wstring& message) { reported_.push_back(message); };
    OpenMainForm();
    PumpUntilIdle();
  }
  void TearDown() override {
    CloseMainForm();
    tk::App().OnException = nullptr;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
    RemoveTree(L"C:\\orvex-tests\\accessibility");
    EXPECT_TRUE(reported_.empty());
  }

  static HWND ChildOfClass(HWND root, const std::wstring& className) {
    return FindDescendant(root, className);
  }

  std::wstring folder_;
  std::vector<std::wstring> reported_;
};

TEST_F(Accessibility, ButtonsAreNamedByTheirCaptions) {
  const struct {
    tk::TButton* button;
    const wchar_t* name;
  } buttons[] = {{frmMain->btnUninstall, L"Uninstall"},
                 {frmMain->btnResetIni, L"How to reset program to factory default?"},
                 {frmMain->btnFeedback, L"Send feedback"}};
  for (const auto& b : buttons) {
    const auto told = Ask(b.button->Handle());
    ASSERT_TRUE(told) << Wide2Utf8(b.name);
    EXPECT_EQ(told->role, ROLE_SYSTEM_PUSHBUTTON) << Wide2Utf8(b.name);
    EXPECT_EQ(told->name, b.name);
  }
  // Held back by the countdown: a reader says so.
  EXPECT_TRUE(Ask(frmMain->btnUninstall->Handle())->state & STATE_SYSTEM_UNAVAILABLE);
  EXPECT_FALSE(Ask(frmMain->btnResetIni->Handle())->state & STATE_SYSTEM_UNAVAILABLE);
  // Enter presses it.
  EXPECT_TRUE(Ask(frmMain->btnFeedback->Handle())->state & STATE_SYSTEM_DEFAULT);
}

TEST_F(Accessibility, PathFieldAndItsButtonsSayWhatTheyAreAndDo) {
  HWND field = ChildOfClass(frmMain->edtPath->Handle(), L"Edit");
  const auto told = Ask(field);
  ASSERT_TRUE(told);
  EXPECT_EQ(told->role, ROLE_SYSTEM_TEXT);
  EXPECT_EQ(told->name, L"Folder");
  EXPECT_EQ(told->value, folder_ + L"\\");
  // The picture buttons are named by what they do, as their hints say it.
  const auto browse = Ask(ChildOfClass(frmMain->edtPath->Handle(), L"TEditButton"));
  ASSERT_TRUE(browse);
  EXPECT_EQ(browse->role, ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(browse->name, L"Browse for a folder");
  const auto locate = Ask(FindButton(frmMain->edtPath->Handle(), L"^"));
  ASSERT_TRUE(locate);
  EXPECT_EQ(locate->role, ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(locate->name, L"Locate this folder in Windows Explorer");
}

TEST_F(Accessibility, LogPaneIsReadOnlyTextWhoseValueIsItsRows) {
  frmMain->mmoLog->Clear();
  frmMain->mmoLog->AddInfo(L"Uninstall process started...");
  frmMain->mmoLog->AddWarn(L"careful");
  const auto told = Ask(frmMain->mmoLog->Handle());
  ASSERT_TRUE(told);
  EXPECT_EQ(told->role, ROLE_SYSTEM_TEXT);
  EXPECT_TRUE(told->state & STATE_SYSTEM_READONLY);
  EXPECT_EQ(told->value,
            std::optional<std::wstring>(L"Uninstall process started...\r\ncareful\r\n"));
  EXPECT_FALSE(told->name.empty()) << "a reader names the pane";
}

TEST_F(Accessibility, LogoIsAGraphicNamedAfterTheProduct) {
  const auto told = Ask(frmMain->imgLogo->Handle());
  ASSERT_TRUE(told);
  EXPECT_EQ(told->role, ROLE_SYSTEM_GRAPHIC);
  EXPECT_EQ(told->name, L"Pelmor Wallpaper Changer");
}

TEST_F(Accessibility, DiscountIsALinkAndItsHeadlineText) {
  frmMain->lblDiscount->SetVisible(true);
  frmMain->inetDiscount->SetVisible(true);
  const auto link = Ask(frmMain->inetDiscount->Handle());
  ASSERT_TRUE(link);
  EXPECT_EQ(link->role, ROLE_SYSTEM_LINK);
  EXPECT_EQ(link->name, L"Click here");
  EXPECT_TRUE(link->state & STATE_SYSTEM_LINKED);
  const auto headline = Ask(frmMain->lblDiscount->Handle());
  ASSERT_TRUE(headline);
  EXPECT_EQ(headline->role, ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(headline->name, L"Huge discount for you!");
}

// --- high contrast ---

// Reports the high-contrast scheme as on to this program's own calls while it lives; every other
// question goes to the system.
class HighContrastOn {
 public:
  HighContrastOn()
      : patch_("user32.dll", "SystemParametersInfoW", reinterpret_cast<void*>(&Answer)) {
    original_ = reinterpret_cast<decltype(&Answer)>(patch_.Original());
  }
  bool Installed() const { return patch_.Installed(); }

 private:
  static BOOL WINAPI Answer(UINT action, UINT size, void* data, UINT flags) {
    if (action != SPI_GETHIGHCONTRAST) return original_(action, size, data, flags);
    auto* scheme = static_cast<HIGHCONTRASTW*>(data);
    scheme->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
    scheme->lpszDefaultScheme = nullptr;
    return TRUE;
  }
  ImportPatch patch_;
  static inline decltype(&Answer) original_ = nullptr;
};

// The text and background colours that the parent gives a control when asked to colour it.
struct Painted {
  COLORREF text;
  COLORREF background;
};

Painted ColoursOf(HWND control, UINT message) {
  HDC dc = ::CreateCompatibleDC(nullptr);
  ::SendMessageW(::GetParent(control), message, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(control));
  const Painted painted{::GetTextColor(dc), ::GetBkColor(dc)};
  ::DeleteDC(dc);
  return painted;
}

COLORREF LastRowColour(tk::TRichEdit& log) {
  const int end = log.TextLength();
  log.SetSel(end - 2, end - 1);
  return tk::ColorToRGB(log.SelColor());
}

TEST_F(Accessibility, HighContrastTakesTheSystemColoursInPlaceOfFixedOnes) {
  frmMain->lblDiscount->SetVisible(true);
  frmMain->inetDiscount->SetVisible(true);
  HWND field = ChildOfClass(frmMain->edtPath->Handle(), L"Edit");
  // With the scheme off, the colours the window is designed with.
  EXPECT_EQ(ColoursOf(frmMain->lblDiscount->Handle(), WM_CTLCOLORSTATIC).background, 8388863u);
  EXPECT_EQ(ColoursOf(frmMain->lblVersion->Handle(), WM_CTLCOLORSTATIC).text, tk::clSilver);
  EXPECT_EQ(ColoursOf(frmMain->inetDiscount->Handle(), WM_CTLCOLORSTATIC).text, tk::clBlue);
  EXPECT_EQ(ColoursOf(field, WM_CTLCOLOREDIT).background, clPathExists);
  frmMain->mmoLog->AddWarn(L"careful");
  EXPECT_EQ(LastRowColour(*frmMain->mmoLog), clLogWarning);

  HighContrastOn scheme;
  ASSERT_TRUE(scheme.Installed());
  ASSERT_TRUE(tk::HighContrast());
  const Painted discount = ColoursOf(frmMain->lblDiscount->Handle(), WM_CTLCOLORSTATIC);
  EXPECT_EQ(discount.background, ::GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(discount.text, ::GetSysColor(COLOR_BTNTEXT));
  EXPECT_EQ(ColoursOf(frmMain->lblVersion->Handle(), WM_CTLCOLORSTATIC).text,
            ::GetSysColor(COLOR_BTNTEXT));
  EXPECT_EQ(ColoursOf(frmMain->inetDiscount->Handle(), WM_CTLCOLORSTATIC).text,
            ::GetSysColor(COLOR_HOTLIGHT));
  const Painted path = ColoursOf(field, WM_CTLCOLOREDIT);
  EXPECT_EQ(path.background, ::GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(path.text, ::GetSysColor(COLOR_WINDOWTEXT));
  frmMain->mmoLog->AddWarn(L"careful");
  frmMain->mmoLog->AddError(L"failed");
  EXPECT_EQ(LastRowColour(*frmMain->mmoLog), ::GetSysColor(COLOR_WINDOWTEXT));
  // The saved log keeps every row's own colour: a dark scheme's white would not show on paper.
  const std::wstring folder = FreshFolder(L"contrast");
  frmMain->mmoLog->SaveAsRtf(folder + L"\\log.rtf");
  const std::vector<RtfParagraph> rows = ReadRtfRows(ReadFileBytes(folder + L"\\log.rtf"));
  RemoveTree(folder);
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(rows[rows.size() - 2].color, clLogWarning);
  EXPECT_EQ(rows.back().color, clLogError);
}

}  // namespace
