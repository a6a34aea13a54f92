// Window helpers and the running-product check, against a stand-in of the product running in a
// process of its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <future>

#include "toolkit/Errors.h"
#include "uninstaller/SharedUninstaller.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/cWindow.h"
#include "OrvexCommonControls/ccCore.h"

using namespace testing_support;

namespace {

const std::wstring kProductClass = L"Pelmor.SingleInstanceMutex";

class ProductWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    KillStandIns();
    record_ = FreshFolder(L"window") + L"\\activations.txt";
    InstanceMutexName = kProductClass;
  }
  void TearDown() override {
    KillStandIns();
    InstanceMutexName.clear();
  }

  // Starts the stand-in and waits for its window.
  HWND StartProduct(const std::wstring& args) {
    product_ = std::make_unique<Process>(
        Start(FixtureExe(L"pelmor_product"), args + L" --record \"" + record_ + L"\""));
    HWND window = nullptr;
    WaitUntil(
        [&] {
          window = FindWindowByClass(kProductClass);
          return window != nullptr;
        },
        30s);
    return window;
  }
  int Activations() const {
    if (!FileExists(record_)) return 0;
    const std::string text = ReadFileBytes(record_);
    int count = 0;
    for (size_t at = text.find("activated"); at != std::string::npos;
         at = text.find("activated", at + 1))
      ++count;
    return count;
  }
  static void KillStandIns() {
    for (DWORD pid : ProcessesNamed(L"pelmor_product.exe")) {
      if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        ::TerminateProcess(h, 1);
        ::WaitForSingleObject(h, 5000);
        ::CloseHandle(h);
      }
    }
  }
  static std::wstring Title(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
  }

  std::wstring record_;
  std::unique_ptr<Process> product_;
};

TEST_F(ProductWindow, NoProductWindowMeansFalseAndNothingSent) {
  EXPECT_EQ(FindWindowByClass(kProductClass), nullptr);
  EXPECT_FALSE(ActivateRunningInstance());
  EXPECT_EQ(Activations(), 0);
}

TEST_F(ProductWindow, FindsTheProductWindowByItsClassAlone) {
  HWND window = StartProduct(L"--state normal");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(FindWindowByClass(kProductClass), window);
  EXPECT_EQ(FindWindowByClass(L"Pelmor.NoSuchClass"), nullptr);
}

TEST_F(ProductWindow, MinimisedAfterMaximisedComesBackMaximisedAndInFront) {
  HWND window = StartProduct(L"--state max-min");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(window) != FALSE; }, 10s));
  EXPECT_TRUE(ActivateRunningInstance());
  EXPECT_EQ(Activations(), 1) << "the product was told once to come forward";
  EXPECT_EQ(Title(window), L"Pelmor Wallpaper Changer - activated 1");
  EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(window) && ::IsZoomed(window); }, 10s));
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window; }, 10s));
}

TEST_F(ProductWindow, HiddenWindowIsShownAgain) {
  HWND window = StartProduct(L"--state hidden");
  ASSERT_NE(window, nullptr);
  ASSERT_FALSE(::IsWindowVisible(window));
  EXPECT_TRUE(ActivateRunningInstance());
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }, 10s));
  EXPECT_EQ(Activations(), 1);
}

TEST_F(ProductWindow, MaximisedOpenWindowReturnsToNormalSize) {
  HWND window = StartProduct(L"--state max");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ::IsZoomed(window) != FALSE; }, 10s));
  EXPECT_TRUE(RestoreWindow(window));
  EXPECT_TRUE(WaitUntil([&] { return !::IsZoomed(window) && !::IsIconic(window); }, 10s));
}

TEST_F(ProductWindow, WindowThatNeverAnswersDoesNotHoldTheCallerForever) {
  HWND window = StartProduct(L"--state min --hang");
  ASSERT_NE(window, nullptr);
  // Run on a thread of its own so that a hang shows as a failed wait, not as a stuck test.
  auto call = std::async(std::launch::async, [] { return ActivateRunningInstance(); });
  ASSERT_EQ(call.wait_for(60s), std::future_status::ready) << "the caller is stuck";
  EXPECT_TRUE(call.get()) << "the window exists, so the product counts as running";
  // A second round finds the product hung and goes on as well.
  auto again = std::async(std::launch::async, [] { return ActivateRunningInstance(); });
  ASSERT_EQ(again.wait_for(60s), std::future_status::ready);
  EXPECT_TRUE(again.get());
  product_->Kill();
  ASSERT_TRUE(product_->WaitExit(10s));
  EXPECT_TRUE(WaitUntil([] { return !ActivateRunningInstance(); }, 10s))
      << "once the product is gone it is no longer found";
}

TEST_F(ProductWindow, RestoreAndForegroundOfAWindowOfThisThread) {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"own", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                  nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ::ShowWindow(window, SW_SHOWMAXIMIZED);
  ::ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(window) != FALSE; }, 10s));
  EXPECT_TRUE(RestoreWindow(window));
  EXPECT_TRUE(::IsZoomed(window));
  EXPECT_TRUE(ForceForeground(window));
  EXPECT_EQ(::GetForegroundWindow(), window);
  EXPECT_TRUE(ForceForeground(window)) << "already in front";
  ::DestroyWindow(window);
  EXPECT_FALSE(RestoreWindow(window)) << "a window that is gone has no placement";
}

TEST(Window, ActivatingNoWindowIsAProgrammingError) {
  try {
    ActivateWindow(nullptr);
    FAIL() << "no assertion";
  } catch (const tk::EAssertionFailed& e) {
    EXPECT_NE(e.Message().find(L"cWindow"), std::wstring::npos) << Wide2Utf8(e.Message());
  }
}

}  // namespace
