// The message-box family: captions, icons, buttons and the CRLF token, read from the real boxes.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <vector>

#include "tests/support/BoxDriver.h"
#include "tests/support/BoxAnswerer.h"
#include "toolkit/Errors.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccCore.h"

using namespace testing_support;

namespace {

// Runs show() on this thread while a second thread reads the box it opens and presses button. A
// call that shows no box, or more than one, is a fault: nothing then, and the test fails on it,
// since every box, one that ignores the button included, is closed for show() to return.
template <typename F>
std::optional<MessageBoxInfo> ShowAndAnswer(F show, const std::wstring& button) {
  const std::vector<MessageBoxInfo> boxes = BoxesDuring(show, button);
  EXPECT_EQ(boxes.size(), 1u) << "boxes shown";
  if (boxes.size() != 1) return std::nullopt;
  return boxes.front();
}

class MessageBoxes : public ::testing::Test {
 protected:
  void SetUp() override { AppName = L"Uninstaller"; }
  void TearDown() override { AppName = kInitialAppName; }
};

TEST_F(MessageBoxes, ErrorBeforeAppNameIsSetCarriesInitialCaption) {
  AppName = kInitialAppName;
  auto box = ShowAndAnswer([] { MesajError(L"Something failed"); }, L"OK");
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, L"? Empty AppName - Error");
  EXPECT_EQ(box->text, L"Something failed");
  EXPECT_EQ(box->icon, BoxIcon::Error);
  EXPECT_EQ(box->ButtonList(), L"OK");
}

TEST_F(MessageBoxes, InfoWarningAndErrorCaptionsAndIcons) {
  auto info = ShowAndAnswer([] { MesajInfo(L"i"); }, L"OK");
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->caption, L"Uninstaller");
  EXPECT_EQ(info->icon, BoxIcon::Information);

  auto named = ShowAndAnswer([] { MesajInfo(L"i", L"Own caption"); }, L"OK");
  ASSERT_TRUE(named.has_value());
  EXPECT_EQ(named->caption, L"Own caption");

  auto warning = ShowAndAnswer([] { MesajWarning(L"w"); }, L"OK");
  ASSERT_TRUE(warning.has_value());
  EXPECT_EQ(warning->caption, L"Uninstaller - Warning");
  EXPECT_EQ(warning->icon, BoxIcon::Warning);
  EXPECT_EQ(warning->ButtonList(), L"OK");

  auto error = ShowAndAnswer([] { MesajError(L"e"); }, L"OK");
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->caption, L"Uninstaller - Error");
  EXPECT_EQ(error->icon, BoxIcon::Error);
}

TEST_F(MessageBoxes, YesNoIsTrueOnlyForYes) {
  bool answer = false;
  auto yes = ShowAndAnswer([&] { answer = MesajYesNo(L"Proceed?"); }, L"Yes");
  ASSERT_TRUE(yes.has_value());
  EXPECT_TRUE(answer);
  EXPECT_EQ(yes->caption, L"Uninstaller");
  EXPECT_EQ(yes->icon, BoxIcon::Question);
  EXPECT_EQ(yes->ButtonList(), L"Yes,No");

  answer = true;
  auto no = ShowAndAnswer([&] { answer = MesajYesNo(L"Proceed?", L"Question"); }, L"No");
  ASSERT_TRUE(no.has_value());
  EXPECT_FALSE(answer);
  EXPECT_EQ(no->caption, L"Question");
}

TEST_F(MessageBoxes, YesNoWithoutTextRaisesItsMessage) {
  try {
    MesajYesNo(L"");
    FAIL() << "expected an exception";
  } catch (const tk::Exception& e) {
    EXPECT_EQ(e.Message(), L"No message provided for MesajYesNo() !");
  }
  EXPECT_TRUE(OpenBoxes(BoxFilter{::GetCurrentProcessId(), L""}).empty());
}

TEST_F(MessageBoxes, EmptyTextShowsNothingAndReturnsZero) {
  EXPECT_EQ(MesajGeneric(L"", L"caption", MB_OK), 0);
  MesajInfo(L"");
  MesajError(L"");
  EXPECT_TRUE(OpenBoxes(BoxFilter{::GetCurrentProcessId(), L""}).empty());
}

TEST_F(MessageBoxes, GenericReturnsThePressedButton) {
  int result = 0;
  auto box = ShowAndAnswer([&] { result = MesajGeneric(L"t", L"", MB_YESNO); }, L"No");
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, L"Uninstaller") << "an empty caption falls back to AppName";
  EXPECT_EQ(result, IDNO);
}

TEST_F(MessageBoxes, GenericShowsTheCallersButtonsAndIconAndReturnsThePressedButton) {
  int result = 0;
  auto cancel = ShowAndAnswer(
      [&] { result = MesajGeneric(L"Go on?", L"Flags", MB_OKCANCEL | MB_ICONWARNING); }, L"Cancel");
  ASSERT_TRUE(cancel.has_value());
  EXPECT_EQ(cancel->ButtonList(), L"OK,Cancel");
  EXPECT_EQ(cancel->icon, BoxIcon::Warning);
  EXPECT_EQ(cancel->caption, L"Flags");
  EXPECT_EQ(cancel->text, L"Go on?");
  EXPECT_EQ(result, 2) << "IDCANCEL";

  auto ok = ShowAndAnswer(
      [&] { result = MesajGeneric(L"Go on?", L"Flags", MB_OKCANCEL | MB_ICONWARNING); }, L"OK");
  ASSERT_TRUE(ok.has_value());
  EXPECT_EQ(result, 1) << "IDOK";

  auto retry = ShowAndAnswer(
      [&] { result = MesajGeneric(L"Try again?", L"", MB_RETRYCANCEL | MB_ICONERROR); }, L"Retry");
  ASSERT_TRUE(retry.has_value());
  EXPECT_EQ(retry->ButtonList(), L"Retry,Cancel");
  EXPECT_EQ(retry->icon, BoxIcon::Error);
  EXPECT_EQ(retry->caption, L"Uninstaller");
  EXPECT_EQ(result, 4) << "IDRETRY";
}

TEST_F(MessageBoxes, CrlfTokenBecomesLineBreakSwallowingOneBlankEachSide) {
  auto box =
      ShowAndAnswer([] { MesajInfo(L"First. CRLF CRLF Second.  CRLF Third CRLFFourth"); }, L"OK");
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, L"First.\r\n\r\nSecond. \r\nThird\r\nFourth");
}

TEST_F(MessageBoxes, CaptionIsNotConverted) {
  auto box = ShowAndAnswer([] { MesajInfo(L"x", L"A CRLF B"); }, L"OK");
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, L"A CRLF B");
}

}  // namespace
