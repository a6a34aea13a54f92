// Every exception that reaches the message-dispatch boundary is shown with its text; the handler
// is left and the window keeps working.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <thread>

#include "toolkit/Application.h"
#include "tests/support/BoxDriver.h"
#include "toolkit/Errors.h"
#include "toolkit/Form.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "toolkit/Timer.h"

using namespace testing_support;

namespace {

class HostForm : public tk::TForm {
 public:
  HostForm() : tk::TForm(nullptr, L"TBoundaryHost") {
    SetClientSize(300, 120);
    SetPosition(50, 50);
    SetVisible(true);
  }
  tk::TButton* failing = nullptr;
  tk::TButton* working = nullptr;

 protected:
  void CreateControls() override {
    failing = new tk::TButton(this);
    failing->SetCaption(L"Fail");
    failing->SetBounds(10, 10, 80, 25);
    failing->SetParent(this);
    working = new tk::TButton(this);
    working->SetCaption(L"Work");
    working->SetBounds(100, 10, 80, 25);
    working->SetParent(this);
  }
};

class ExceptionBoundary : public ::testing::Test {
 protected:
  void SetUp() override {
    tk::App().SetTitle(L"Uninstaller");
    form_ = std::make_unique<HostForm>();
    form_->CreateForm(false);
  }
  void TearDown() override { form_.reset(); }

  // Clicks the button as a user would and answers the report box from a second thread.
  std::optional<MessageBoxInfo> ClickAndReadReport(tk::TButton* button) {
    std::optional<MessageBoxInfo> report;
    std::thread driver([&] {
      report = AnswerBox(20s, L"OK", BoxFilter{::GetCurrentProcessId(), L""});
    });
    ::PostMessageW(button->Handle(), BM_CLICK, 0, 0);
    // The click, the report and its box are handled inside one dispatch: once the loop sees the
    // answer, the handler has returned.
    WaitUntil([&] { return report.has_value(); }, 25s);
    driver.join();
    PumpUntilIdle();
    return report;
  }

  std::unique_ptr<HostForm> form_;
};

TEST_F(ExceptionBoundary, AssertionFailureInClickHandlerIsReportedAndWindowGoesOn) {
  int afterThrow = 0;
  form_->failing->OnClick = [&](tk::TObject*) {
    tk::Assert(false, L"ForceDirectories - Parameter is empty!", L"ccIO");
    ++afterThrow;
  };
  bool worked = false;
  form_->working->OnClick = [&](tk::TObject*) { worked = true; };

  auto report = ClickAndReadReport(form_->failing);
  ASSERT_TRUE(report.has_value()) << "the error must be shown, not swallowed";
  EXPECT_NE(report->text.find(L"ForceDirectories - Parameter is empty! (ccIO)"), std::wstring::npos)
      << Wide2Utf8(report->text);
  EXPECT_EQ(report->icon, BoxIcon::Error);
  EXPECT_EQ(afterThrow, 0) << "the handler is left at the exception";

  ::PostMessageW(form_->working->Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return worked; }, 5s)) << "the window still answers";
  EXPECT_TRUE(::IsWindow(form_->Handle()));
}

TEST_F(ExceptionBoundary, StandardExceptionTextIsShown) {
  form_->failing->OnClick = [](tk::TObject*) { throw std::out_of_range("index 7 out of range"); };
  auto report = ClickAndReadReport(form_->failing);
  ASSERT_TRUE(report.has_value());
  EXPECT_NE(report->text.find(L"index 7 out of range"), std::wstring::npos);
}

TEST_F(ExceptionBoundary, NonAsciiMessageSurvivesTheReport) {
  form_->failing->OnClick = [](tk::TObject*) {
    throw tk::Exception(L"Dossier \u00e9t\u00e9 \u4e2d\u6587");
  };
  auto report = ClickAndReadReport(form_->failing);
  ASSERT_TRUE(report.has_value());
  EXPECT_NE(report->text.find(L"Dossier \u00e9t\u00e9 \u4e2d\u6587"), std::wstring::npos);
}

TEST_F(ExceptionBoundary, TimerHandlerExceptionIsReportedAndTimerGoesOn) {
  tk::TTimer timer(nullptr);
  timer.SetInterval(50);
  int ticks = 0;
  timer.OnTimer = [&](tk::TObject*) {
    if (++ticks == 1) throw tk::Exception(L"tick failed");
  };
  std::optional<MessageBoxInfo> report;
  std::thread driver([&] {
    report = AnswerBox(20s, L"OK", BoxFilter{::GetCurrentProcessId(), L""});
  });
  WaitUntil([&] { return report.has_value(); }, 25s);
  driver.join();
  ASSERT_TRUE(report.has_value());
  EXPECT_NE(report->text.find(L"tick failed"), std::wstring::npos);
  EXPECT_TRUE(WaitUntil([&] { return ticks >= 3; }, 5s));
}

TEST_F(ExceptionBoundary, ReportHookReceivesTheMessage) {
  std::wstring seen;
  tk::App().OnException = [&](const std::wstring& message) { seen = message; };
  form_->failing->OnClick = [](tk::TObject*) { throw tk::EFCreateError(L"Cannot create file"); };
  ::PostMessageW(form_->failing->Handle(), BM_CLICK, 0, 0);
  WaitUntil([&] { return !seen.empty(); }, 5s);
  tk::App().OnException = nullptr;
  EXPECT_EQ(seen, L"Cannot create file");
}

}  // namespace
