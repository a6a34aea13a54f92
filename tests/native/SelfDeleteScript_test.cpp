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

}  // namespace

TEST(SelfDeleteScript, RetriesOncePerSecondAtMostSixtyTimesThenDeletesItself) {
  const std::vector<std::wstring> lines =
      Lines(SelfDeleteScriptText(L"D:\\Tmp\\Uninstaller.exe", L"D:\\Tmp\\Uninstaller.BAT"));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], L"@echo off");
  EXPECT_EQ(lines[2], L":delete_exe");
  EXPECT_EQ(lines[3], L"del /f /q \"D:\\Tmp\\Uninstaller.exe\" >nul 2>&1");
  EXPECT_EQ(lines[4], L"if not exist \"D:\\Tmp\\Uninstaller.exe\" goto delete_script");
  EXPECT_EQ(lines[6], L"if %tries% geq 60 goto delete_script");
  EXPECT_EQ(lines[7], L"ping -n 2 127.0.0.1 >nul 2>&1");
  EXPECT_EQ(lines[8], L"goto delete_exe");
  EXPECT_EQ(lines[9], L":delete_script");
  EXPECT_EQ(lines[10], L"del /f /q \"D:\\Tmp\\Uninstaller.BAT\"");
}

TEST(SelfDeleteScript, PercentSignsInPathsAreDoubledSoNothingExpands) {
  const std::wstring text = SelfDeleteScriptText(L"D:\\%TEMP%\\100%.exe", L"D:\\%~dp0\\%1.BAT");
  EXPECT_NE(text.find(L"del /f /q \"D:\\%%TEMP%%\\100%%.exe\" >nul 2>&1\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"del /f /q \"D:\\%%~dp0\\%%1.BAT\"\r\n"), std::wstring::npos);
}

TEST(SelfDeleteScript, BlanksAmpersandsAndCaretsStayInsideTheQuotes) {
  const std::vector<std::wstring> lines =
      Lines(SelfDeleteScriptText(L"D:\\a b&c^d(e)!f\\x.exe", L"D:\\a b&c^d(e)!f\\x.BAT"));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[3], L"del /f /q \"D:\\a b&c^d(e)!f\\x.exe\" >nul 2>&1");
  EXPECT_EQ(lines[4], L"if not exist \"D:\\a b&c^d(e)!f\\x.exe\" goto delete_script");
  EXPECT_EQ(lines[10], L"del /f /q \"D:\\a b&c^d(e)!f\\x.BAT\"");
}

TEST(SelfDeleteScript, WideAndSurrogatePairCharactersArePassedThrough) {
  const std::wstring exe = L"D:\\\u4E2D\u6587\\\xD83D\xDE00\\x.exe";
  const std::vector<std::wstring> lines = Lines(SelfDeleteScriptText(exe, L"D:\\s.BAT"));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[3], L"del /f /q \"" + exe + L"\" >nul 2>&1");
}
