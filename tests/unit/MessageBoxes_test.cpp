// The message-box family: captions, icons, buttons and the CRLF token, read from the real boxes.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "BoxDriver.h"
#include "Errors.h"
#include "TestEnv.h"
#include "ccCore.h"

using namespace testing_support;

namespace {

// Runs show() on this thread while a second thread reads the box it opens and presses button.
template <typename F>
std::optional<MessageBoxInfo> ShowAndAnswer(F show, const std::wstring& button) {
  std::optional<MessageBoxInfo> seen;
  std::thread driver([&] { seen = AnswerBox(20s, button, BoxFilter{::GetCurrentProcessId(), L""}); });
  show();
  driver.join();
  return seen;
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

TEST_F(MessageBoxes, CrlfTokenBecomesLineBreakSwallowingOneBlankEachSide) {
  auto box = ShowAndAnswer(
      [] { MesajInfo(L"First. CRLF CRLF Second.  CRLF Third CRLFFourth"); }, L"OK");
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, L"First.\r\n\r\nSecond. \r\nThird\r\nFourth");
}

TEST_F(MessageBoxes, CaptionIsNotConverted) {
  auto box = ShowAndAnswer([] { MesajInfo(L"x", L"A CRLF B"); }, L"OK");
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, L"A CRLF B");
}

}  // namespace
