// TInternetLabel on a real window: the real mouse cursor enters and leaves it, real clicks reach it
// through the message loop, and web links go to the sandbox's browser stand-in.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>

#include "toolkit/Image.h"
#include "toolkit/Application.h"
#include "tests/support/BoxDriver.h"
#include "toolkit/Form.h"
#include "OrvexCommonControls/InternetLabel.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccCore.h"

using namespace testing_support;

namespace {

constexpr tk::TColor kGreen = 0x00FF00;

class InternetLabelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { tk::App().Initialize(); }

  void SetUp() override {
    form = std::make_unique<tk::TForm>(nullptr, L"OrvexInternetLabelTest");
    form->SetClientSize(300, 120);
    form->SetPosition(200, 200);
    form->CreateForm(false);
    form->Show();
    label = new TInternetLabel(form.get());
    label->SetBounds(20, 30, 160, 30);
    label->SetCaption(L"Click here");
    label->SetParent(form.get());
    ::SetForegroundWindow(form->Handle());
    MoveMouseAway();
    PumpUntilIdle();
  }

  void TearDown() override {
    MoveMouseAway();
    form.reset();
  }

  POINT LabelCentre() const {
    RECT rc{};
    ::GetWindowRect(label->Handle(), &rc);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  }

  void MoveMouseOver() {
    POINT p = LabelCentre();
    ::SetCursorPos(p.x, p.y);
  }
  static void MoveMouseAway() { ::SetCursorPos(5, 5); }

  // A left click where the cursor is, delivered as input.
  static void PressMouse() {
    INPUT input[2]{};
    input[0].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].type = INPUT_MOUSE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, input, sizeof(INPUT));
  }

  // The colour the label hands to the control when it paints its text.
  COLORREF PaintedTextColor() const {
    HDC dc = ::GetDC(label->Handle());
    ::SendMessageW(form->Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(label->Handle()));
    COLORREF color = ::GetTextColor(dc);
    ::ReleaseDC(label->Handle(), dc);
    return color;
  }

  // Whether the font that the control draws with is underlined.
  bool DrawnUnderlined() const {
    auto font = reinterpret_cast<HFONT>(::SendMessageW(label->Handle(), WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    if (!font || !::GetObjectW(font, sizeof(lf), &lf)) return false;
    return lf.lfUnderline != 0;
  }

  // Whether the screen shows text pixels of this colour inside the label.
  bool ScreenShows(COLORREF color) const {
    RECT rc{};
    ::GetWindowRect(label->Handle(), &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    tk::UniqueWindowDC screen(nullptr);
    tk::UniqueMemDC memory(::CreateCompatibleDC(screen.get()));
    void* bits = nullptr;
    tk::UniqueHBITMAP bitmap = tk::TopDownBitmap(width, height, bits);
    if (!bitmap) return false;
    tk::UniqueSelectObject on(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), rc.left, rc.top, SRCCOPY);
    ::GdiFlush();
    // DIB pixels are blue-green-red, the reverse of a COLORREF.
    const DWORD wanted = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    const auto* pixels = static_cast<const DWORD*>(bits);
    int found = 0;
    for (int i = 0; i < width * height; ++i) found += (pixels[i] & 0xFFFFFF) == wanted;
    return found >= 3;
  }

  bool ShowsColor(tk::TColor color) {
    return label->Font().Color == color && PaintedTextColor() == color;
  }

  bool Eventually(const std::function<bool()>& done) { return WaitUntil(done, kPatience); }

  std::unique_ptr<tk::TForm> form;
  TInternetLabel* label = nullptr;  // owned by the form
};

bool Recorded(const std::string& link) {
  auto opens = RecordedOpens(L"xdg-open");
  return std::any_of(opens.begin(), opens.end(), [&link](const std::string& line) {
    return line.find(link) != std::string::npos;
  });
}

}  // namespace

// --- construction ---

TEST_F(InternetLabelTest, StartsAsAnUnvisitedBlueLinkWithAHandCursor) {
  EXPECT_FALSE(label->Visited());
  EXPECT_FALSE(label->LinkHint());
  EXPECT_FALSE(label->About());
  EXPECT_TRUE(label->Link().empty());
  EXPECT_EQ(label->VisitedColor(), tk::clPurple);
  EXPECT_EQ(label->NotVisitedColor(), tk::clBlue);
  EXPECT_EQ(label->OverColor(), tk::clRed);
  EXPECT_EQ(label->Font().Style, 0u);
  EXPECT_TRUE(ShowsColor(tk::clBlue));
  EXPECT_FALSE(DrawnUnderlined());
  EXPECT_TRUE(Eventually([&] { return ScreenShows(tk::clBlue); }));

  MoveMouseOver();
  ASSERT_TRUE(Eventually([&] { return label->Font().Color == tk::clRed; }));
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
}

// --- hovering ---

TEST_F(InternetLabelTest, HoverTurnsRedAndUnderlinesUntilTheMouseLeaves) {
  int entered = 0;
  int left = 0;
  label->OnMouseEnter = [&](tk::TObject* Sender) {
    EXPECT_EQ(Sender, label);
    ++entered;
  };
  label->OnMouseLeave = [&](tk::TObject* Sender) {
    EXPECT_EQ(Sender, label);
    ++left;
  };

  MoveMouseOver();
  ASSERT_TRUE(Eventually([&] { return entered == 1; }));
  EXPECT_TRUE(ShowsColor(tk::clRed));
  EXPECT_EQ(label->Font().Style, static_cast<unsigned>(tk::fsUnderline));
  EXPECT_TRUE(DrawnUnderlined());
  EXPECT_TRUE(Eventually([&] { return ScreenShows(tk::clRed); }));
  EXPECT_EQ(left, 0);

  MoveMouseAway();
  ASSERT_TRUE(Eventually([&] { return left == 1; }));
  EXPECT_TRUE(ShowsColor(tk::clBlue));
  EXPECT_EQ(label->Font().Style, 0u);
  EXPECT_FALSE(DrawnUnderlined());
  EXPECT_TRUE(Eventually([&] { return ScreenShows(tk::clBlue) && !ScreenShows(tk::clRed); }));
  EXPECT_EQ(entered, 1);
}

TEST_F(InternetLabelTest, HoverKeepsTheOtherStyleBits) {
  tk::TFontSpec font = label->Font();
  font.Style = tk::fsBold | tk::fsItalic;
  label->SetFont(font);
  MoveMouseOver();
  ASSERT_TRUE(Eventually([&] { return label->Font().Color == tk::clRed; }));
  EXPECT_EQ(label->Font().Style,
            static_cast<unsigned>(tk::fsBold | tk::fsItalic | tk::fsUnderline));
  MoveMouseAway();
  ASSERT_TRUE(Eventually([&] { return label->Font().Color == tk::clBlue; }));
  EXPECT_EQ(label->Font().Style, static_cast<unsigned>(tk::fsBold | tk::fsItalic));
}

TEST_F(InternetLabelTest, LeaveWithoutEnterChangesNothing) {
  int left = 0;
  label->OnMouseLeave = [&](tk::TObject*) { ++left; };
  label->SetVisited(true);
  ::SendMessageW(label->Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(left, 0);
  EXPECT_TRUE(ShowsColor(tk::clPurple));
}

// --- colour setters ---

TEST_F(InternetLabelTest, OverColorWrittenOutsideWaitsForTheNextEnter) {
  label->SetOverColor(kGreen);
  EXPECT_EQ(label->OverColor(), kGreen);
  EXPECT_TRUE(ShowsColor(tk::clBlue));

  MoveMouseOver();
  ASSERT_TRUE(Eventually([&] { return label->Font().Color == kGreen; }));
  EXPECT_TRUE(ShowsColor(kGreen));

  // Written while the mouse is over the label, it applies at once.
  label->SetOverColor(tk::clRed);
  EXPECT_TRUE(ShowsColor(tk::clRed));
}

TEST_F(InternetLabelTest, RestingColoursApplyOnlyToTheMatchingStateOutside) {
  label->SetVisitedColor(kGreen);  // not visited: no change
  EXPECT_TRUE(ShowsColor(tk::clBlue));
  label->SetNotVisitedColor(tk::clBlack);
  EXPECT_TRUE(ShowsColor(tk::clBlack));

  MoveMouseOver();
  ASSERT_TRUE(Eventually([&] { return label->Font().Color == tk::clRed; }));
  label->SetNotVisitedColor(tk::clBlue);  // the hover colour stays
  EXPECT_TRUE(ShowsColor(tk::clRed));

  MoveMouseAway();
  ASSERT_TRUE(Eventually([&] { return label->Font().Color == tk::clBlue; }));
  label->SetVisited(true);
  EXPECT_TRUE(ShowsColor(kGreen));
  label->SetVisitedColor(tk::clPurple);
  EXPECT_TRUE(ShowsColor(tk::clPurple));
  label->SetNotVisitedColor(tk::clBlack);  // visited: no change
  EXPECT_TRUE(ShowsColor(tk::clPurple));
}

TEST_F(InternetLabelTest, WritingVisitedRecoloursEvenUnderTheMouse) {
  MoveMouseOver();
  ASSERT_TRUE(Eventually([&] { return label->Font().Color == tk::clRed; }));
  label->SetVisited(true);
  EXPECT_TRUE(ShowsColor(tk::clPurple));
  label->SetVisited(false);
  EXPECT_TRUE(ShowsColor(tk::clBlue));
  // Underline belongs to the hover and stays.
  EXPECT_TRUE(DrawnUnderlined());
}

// --- clicking ---

TEST_F(InternetLabelTest, WebLinkOpensInTheBrowserAndTurnsPurpleAtOnce) {
  ClearRecordedOpens();
  const std::string link = "http://www.example.com/order/orvex-label-test.html";
  label->SetLink(Narrow2Wide(link));
  std::optional<bool> visitedDuringOnClick;
  label->OnClick = [&](tk::TObject* Sender) {
    EXPECT_EQ(Sender, label);
    visitedDuringOnClick = label->Visited();
  };

  MoveMouseOver();
  ASSERT_TRUE(Eventually([&] { return label->Font().Color == tk::clRed; }));
  PressMouse();
  ASSERT_TRUE(Eventually([&] { return visitedDuringOnClick.has_value(); }));
  // OnClick comes first; the link is opened after it.
  EXPECT_FALSE(*visitedDuringOnClick);
  EXPECT_TRUE(label->Visited());
  EXPECT_TRUE(ShowsColor(tk::clPurple));  // although the mouse is still over it
  EXPECT_TRUE(DrawnUnderlined());
  EXPECT_TRUE(Eventually([&] { return Recorded(link); }));

  MoveMouseAway();
  ASSERT_TRUE(Eventually([&] { return !DrawnUnderlined(); }));
  EXPECT_TRUE(ShowsColor(tk::clPurple));
  MoveMouseOver();
  ASSERT_TRUE(Eventually([&] { return DrawnUnderlined(); }));
  EXPECT_TRUE(ShowsColor(tk::clRed));
}

TEST_F(InternetLabelTest, EmptyLinkOpensNothingAndKeepsVisited) {
  ClearRecordedOpens();
  int clicks = 0;
  label->OnClick = [&](tk::TObject*) { ++clicks; };
  label->SetVisited(true);
  MoveMouseOver();
  ASSERT_TRUE(Eventually([&] { return label->Font().Color == tk::clRed; }));
  PressMouse();
  // The click has been handled whole once its OnClick has run: the opening step comes before
  // the loop runs again. Had the shell been asked, the empty link would have failed there and
  // cleared Visited.
  ASSERT_TRUE(Eventually([&] { return clicks == 1; }));
  EXPECT_TRUE(label->Visited());
  EXPECT_TRUE(ShowsColor(tk::clRed));  // not rewritten, so the hover colour stays
  label->Click();
  EXPECT_TRUE(label->Visited());
  EXPECT_EQ(clicks, 2);
  ASSERT_TRUE(WaitForHandOvers(kPatience));
  EXPECT_TRUE(RecordedOpens(L"xdg-open").empty());
}

TEST_F(InternetLabelTest, LinkTheShellRejectsClearsVisited) {
  label->SetLink(L"C:\\nope\\missing.xyz");
  label->SetVisited(true);
  label->Click();
  EXPECT_FALSE(label->Visited());
  EXPECT_TRUE(ShowsColor(tk::clBlue));
  label->Visit();
  EXPECT_FALSE(label->Visited());
}

TEST_F(InternetLabelTest, VetoKeepsVisitedAndOpensNothing) {
  ClearRecordedOpens();
  label->SetLink(L"http://www.example.com/vetoed.html");
  bool offered = false;
  label->OnLinkActivating = [&](tk::TObject* Sender, bool& CanActivate) {
    EXPECT_EQ(Sender, label);
    offered = CanActivate;
    CanActivate = false;
  };
  for (bool visited : {true, false}) {
    label->SetVisited(visited);
    label->Click();
    EXPECT_EQ(label->Visited(), visited);
    EXPECT_TRUE(offered) << "a non-empty link is offered as openable";
  }
  // Whatever the clicks handed to the shell has arrived by the time Wine's hand-over has ended.
  ASSERT_TRUE(WaitForHandOvers(kPatience));
  EXPECT_TRUE(RecordedOpens(L"xdg-open").empty());
}

TEST_F(InternetLabelTest, CanActivateLinkFollowsTheLinkAndTheHandler) {
  EXPECT_FALSE(label->CanActivateLink());
  label->SetLink(L"http://www.example.com/");
  EXPECT_TRUE(label->CanActivateLink());

  label->SetLink(L"");
  std::optional<bool> offered;
  label->OnLinkActivating = [&](tk::TObject*, bool& CanActivate) {
    offered = CanActivate;
    CanActivate = true;
  };
  EXPECT_TRUE(label->CanActivateLink());
  ASSERT_TRUE(offered.has_value());
  EXPECT_FALSE(*offered);
}

// --- hint and about ---

TEST_F(InternetLabelTest, LinkHintCopiesTheLinkOnlyWhenTheLinkIsWritten) {
  label->SetHint(L"old hint");
  label->SetLink(L"http://www.example.com/a");
  EXPECT_EQ(label->Hint(), L"old hint");  // LinkHint is off by default

  label->SetLinkHint(true);
  EXPECT_EQ(label->Hint(), L"old hint");  // only the next Link write copies it
  label->SetLink(L"http://www.example.com/b");
  EXPECT_EQ(label->Hint(), L"http://www.example.com/b");

  label->SetLinkHint(false);
  label->SetLink(L"http://www.example.com/c");
  EXPECT_EQ(label->Hint(), L"http://www.example.com/b");
}

TEST_F(InternetLabelTest, AboutShowsAPlainBoxAndStaysFalse) {
  AppName = L"InternetLabelTest";
  std::optional<MessageBoxInfo> box;
  std::thread answer([&box] {
    box = AnswerBox(kPatience, L"OK", BoxFilter{::GetCurrentProcessId(), L""});
  });
  label->SetAbout(true);
  answer.join();
  ASSERT_TRUE(box.has_value()) << "no message box appeared";
  EXPECT_EQ(box->caption, L"InternetLabelTest");
  EXPECT_EQ(box->text, L"Internet Label 2.0");
  EXPECT_EQ(box->ButtonList(), L"OK");
  for (BoxIcon stock : {BoxIcon::Information, BoxIcon::Warning, BoxIcon::Error, BoxIcon::Question})
    EXPECT_NE(box->icon, stock) << "a plain box shows no icon";
  EXPECT_FALSE(label->About());
}

TEST_F(InternetLabelTest, WritingAboutFalseShowsNothing) {
  std::optional<MessageBoxInfo> box;
  std::thread watch([&box] {
    box = AnswerBox(2s, L"OK", BoxFilter{::GetCurrentProcessId(), L""});
  });
  label->SetAbout(false);
  watch.join();
  EXPECT_FALSE(box.has_value());
  EXPECT_FALSE(label->About());
}
