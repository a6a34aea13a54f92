// The services that start-up needs before anything else exists: the copy of a file into a folder,
// and the start of a program through the shell with its failure told in the system's own words.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/support/BoxAnswerer.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/cExecuteShell.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"

using namespace testing_support;

namespace {

// The system's message for an error code, without the blanks, line breaks and full stop it ends in.
std::wstring SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  return text;
}

class StartupServices : public ::testing::Test {
 protected:
  void SetUp() override {
    AppName = L"Uninstaller";
    root_ = FreshFolder(L"startup-services-" + std::to_wstring(::GetCurrentProcessId()));
    source_ = root_ + L"\\from\\Uninstaller.exe";
    WriteFileBytes(source_, "new copy");
  }
  void TearDown() override {
    AppName = kInitialAppName;
    RemoveTree(root_);
  }

  std::wstring root_, source_;
};

}  // namespace

TEST_F(StartupServices, CopyWithoutOverwriteLeavesAnExistingFileAsItWas) {
  const std::wstring target = root_ + L"\\temp\\Uninstaller.exe";
  WriteFileBytes(target, "copy from an earlier run");
  EXPECT_FALSE(FileCopyTo(source_, root_ + L"\\temp\\", false));
  EXPECT_EQ(ReadFileBytes(target), "copy from an earlier run");

  EXPECT_TRUE(FileCopyTo(source_, root_ + L"\\temp\\", true));
  EXPECT_EQ(ReadFileBytes(target), "new copy");
}

TEST_F(StartupServices, CopyIntoAFolderNamedWithoutBackslashLandsBesideIt) {
  MakeDirs(root_ + L"\\temp");
  EXPECT_TRUE(FileCopyTo(source_, root_ + L"\\temp", false));
  ASSERT_TRUE(FileExists(root_ + L"\\tempUninstaller.exe"));
  EXPECT_EQ(ReadFileBytes(root_ + L"\\tempUninstaller.exe"), "new copy");
  EXPECT_FALSE(FileExists(root_ + L"\\temp\\Uninstaller.exe"));
  for (const std::wstring& name : FilesMatching(root_ + L"\\temp\\*"))
    EXPECT_TRUE(name == L"." || name == L"..") << Wide2Utf8(name);
}

TEST_F(StartupServices, ProgramThatIsMissingIsToldInTheSystemsWordsOnce) {
  const std::wstring missing = root_ + L"\\no such copy.exe";
  const std::wstring expected = SystemMessage(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(expected.empty());
  bool started = true;
  const auto boxes = BoxesDuring(
      [&] { started = ExecuteProgram(missing, L"uninstall", true, SW_SHOWNORMAL); }, L"OK");

  EXPECT_FALSE(started);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Uninstaller");
  EXPECT_EQ(boxes[0].text, expected);
  EXPECT_EQ(boxes[0].icon, BoxIcon::Information);
  EXPECT_EQ(boxes[0].ButtonList(), L"OK");
}

TEST_F(StartupServices, ProgramThatIsMissingWithoutErrorsShowsNothing) {
  bool started = true;
  const auto boxes = BoxesDuring(
      [&] { started = ExecuteProgram(root_ + L"\\no such copy.exe", L"uninstall", false, 1); },
      L"OK");
  EXPECT_FALSE(started);
  EXPECT_TRUE(boxes.empty()) << Wide2Utf8(boxes.front().caption) << ": "
                             << Wide2Utf8(boxes.front().text);
}

TEST_F(StartupServices, ProgramStartsWithItsParameters) {
  const std::wstring out = root_ + L"\\out.txt";
  bool started = false;
  const auto boxes = BoxesDuring(
      [&] {
        started = ExecuteProgram(FixtureExe(L"selfreport"), L"shortname " + QuoteArg(out), true,
                                 SW_SHOWNORMAL);
      },
      L"OK");
  EXPECT_TRUE(started);
  EXPECT_TRUE(boxes.empty());
  ASSERT_TRUE(
      WaitUntil([&] { return FileExists(out) && ProcessesNamed(L"selfreport.exe").empty(); }, 60s));
  EXPECT_EQ(ReadFileBytes(out), "selfreport");
}
