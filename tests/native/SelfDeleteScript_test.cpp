// The self-delete batch script's text, natively: what the command interpreter will run for
// ordinary paths and for paths holding the characters a batch file treats specially.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OrvexCommonControls/ccCore.h"

namespace {

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t from = 0;
  for (size_t end = text.find(L"\r\n"); end != std::wstring::npos; end = text.find(L"\r\n", from)) {
    lines.push_back(text.substr(from, end - from));
    from = end + 2;
  }
  EXPECT_EQ(from, text.size()) << "text after the last CR LF";
  return lines;
}

const std::wstring kPing = L"C:\\Windows\\System32\\ping.exe";

}  // namespace

TEST(SelfDeleteScript, RetriesOncePerSecondAtMostSixtyTimesThenDeletesItself) {
  const std::vector<std::wstring> lines =
      Lines(SelfDeleteScriptText(L"D:\\Tmp\\Uninstaller.exe", L"D:\\Tmp\\Uninstaller.BAT", kPing));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], L"@echo off");
  EXPECT_EQ(lines[2], L":delete_exe");
  EXPECT_EQ(lines[3], L"del /f /q \"D:\\Tmp\\Uninstaller.exe\" >nul 2>&1");
  EXPECT_EQ(lines[4], L"if not exist \"D:\\Tmp\\Uninstaller.exe\" goto delete_script");
  EXPECT_EQ(lines[6], L"if %tries% geq 60 goto delete_script");
  EXPECT_EQ(lines[7], L"\"C:\\Windows\\System32\\ping.exe\" -n 2 127.0.0.1 >nul 2>&1");
  EXPECT_EQ(lines[8], L"goto delete_exe");
  EXPECT_EQ(lines[9], L":delete_script");
  EXPECT_EQ(lines[10], L"del /f /q \"D:\\Tmp\\Uninstaller.BAT\"");
}

TEST(SelfDeleteScript, PercentSignsInPathsAreDoubledSoNothingExpands) {
  const std::wstring text =
      SelfDeleteScriptText(L"D:\\%TEMP%\\100%.exe", L"D:\\%~dp0\\%1.BAT", kPing);
  EXPECT_NE(text.find(L"del /f /q \"D:\\%%TEMP%%\\100%%.exe\" >nul 2>&1\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"del /f /q \"D:\\%%~dp0\\%%1.BAT\"\r\n"), std::wstring::npos);
}

TEST(SelfDeleteScript, BlanksAmpersandsAndCaretsStayInsideTheQuotes) {
  const std::vector<std::wstring> lines =
      Lines(SelfDeleteScriptText(L"D:\\a b&c^d(e)!f\\x.exe", L"D:\\a b&c^d(e)!f\\x.BAT", kPing));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[3], L"del /f /q \"D:\\a b&c^d(e)!f\\x.exe\" >nul 2>&1");
  EXPECT_EQ(lines[4], L"if not exist \"D:\\a b&c^d(e)!f\\x.exe\" goto delete_script");
  EXPECT_EQ(lines[10], L"del /f /q \"D:\\a b&c^d(e)!f\\x.BAT\"");
}

TEST(SelfDeleteScript, PathsItCannotHoldExactlyAreLeftAloneNeverBentIntoOthers) {
  // Converted to a code page, a full-width quote becomes '"', a wide letter '?': another path.
  const std::wstring exe = L"D:\\\uFF02x\uFF02\\\u4E2D\xD83D\xDE00\\x.exe";
  const std::wstring noExe = SelfDeleteScriptText(exe, L"D:\\s.BAT", kPing);
  EXPECT_EQ(Lines(noExe), (std::vector<std::wstring>{L"@echo off", L":delete_script",
                                                     L"del /f /q \"D:\\s.BAT\""}));
  const std::vector<std::wstring> noScript =
      Lines(SelfDeleteScriptText(L"D:\\x.exe", L"D:\\\u00E9\\s.BAT", kPing));
  EXPECT_EQ(noScript.back(), L":delete_script") << "nothing deletes a script it cannot name";
  const std::vector<std::wstring> noPing =
      Lines(SelfDeleteScriptText(L"D:\\x.exe", L"D:\\s.BAT", L"C:\\\u00E9\\ping.exe"));
  EXPECT_EQ(noPing.size(), 10u) << "no pause rather than a program named otherwise";
}
