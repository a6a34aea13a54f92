// Small text files of ccIO: writing and appending UTF-8 with or without a byte-order mark, and
// reading back by the mark (UTF-8, UTF-16 LE/BE) or, without one, in the ANSI code page.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "toolkit/Errors.h"
#include "tests/support/Files.h"
#include "tests/support/Thrown.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/ccStringList.h"

using namespace testing_support;

namespace {

const std::string kMark = "\xEF\xBB\xBF";
// "Grüße, 中文 Ω" in UTF-16 and in UTF-8.
const std::wstring kText = L"Gr\u00FC\u00DFe, \u4E2D\u6587 \u03A9";
const std::string kTextUtf8 =
    "Gr\xC3\xBC\xC3\x9F"
    "e, \xE4\xB8\xAD\xE6\x96\x87 \xCE\xA9";

class TextFiles : public ::testing::Test {
 protected:
  void SetUp() override { root_ = FreshFolder(L"textfiles-" + Name()); }
  void TearDown() override { RemoveTree(root_); }
  static std::wstring Name() {
    return Narrow2Wide(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  std::wstring root_;
};

}  // namespace

TEST_F(TextFiles, NewFileWithMarkIsMarkThenUtf8) {
  const std::wstring file = root_ + L"\\new.txt";
  StringToFile(file, kText, false, true);
  EXPECT_EQ(ReadFileBytes(file), kMark + kTextUtf8);
}

TEST_F(TextFiles, NewFileWithoutMarkIsPlainUtf8AndNoLineBreakIsAdded) {
  const std::wstring file = root_ + L"\\plain.txt";
  StringToFile(file, kText, false, false);
  EXPECT_EQ(ReadFileBytes(file), kTextUtf8);
}

TEST_F(TextFiles, AppendAddsNoSecondMark) {
  const std::wstring file = root_ + L"\\log.txt";
  StringToFile(file, L"first\r\n", false, true);
  StringToFile(file, L"second", false, true);
  EXPECT_EQ(ReadFileBytes(file), kMark + "first\r\nsecond");
}

TEST_F(TextFiles, AppendKeepsWhatAnotherProgramWrote) {
  const std::wstring file = root_ + L"\\existing.txt";
  WriteFileBytes(file, "kept|");
  StringToFile(file, kText, false, true);
  EXPECT_EQ(ReadFileBytes(file), "kept|" + kTextUtf8);
}

TEST_F(TextFiles, OverwriteTruncatesAndMarksAgain) {
  const std::wstring file = root_ + L"\\over.txt";
  WriteFileBytes(file, "a much longer earlier content that must disappear");
  StringToFile(file, L"short", true, true);
  EXPECT_EQ(ReadFileBytes(file), kMark + "short");
  StringToFile(file, L"", true, false);
  EXPECT_EQ(ReadFileBytes(file), "");
}

TEST_F(TextFiles, MissingFoldersAreCreated) {
  const std::wstring file = root_ + L"\\a\\b\\c.txt";
  StringToFile(file, L"x", false, false);
  EXPECT_EQ(ReadFileBytes(file), "x");
}

TEST_F(TextFiles, FileNameWithoutUsableFolderFailsTheAssertion) {
  for (const std::wstring& name : {std::wstring(L""), root_ + L"\\a?b.txt"}) {
    const std::wstring message =
        ThrownMessage<tk::EAssertionFailed>([&] { StringToFile(name, L"x", false, false); });
    EXPECT_NE(message.find(L"ForceDirectories - Parameter is empty!"), std::wstring::npos)
        << message;
  }
}

TEST_F(TextFiles, NameTheDirectoryNameStepRefusesRaisesItsTextAndWritesNothing) {
  const std::wstring at259 = root_ + L"\\" + std::wstring(259 - root_.size() - 1, L'n');
  ASSERT_EQ(at259.size(), 259u);
  const std::wstring at260 = at259 + L"n";
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([&] { StringToFile(at260, L"x", false, false); }),
            L"The specified path is too long");
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>(
                [&] { StringToFile(root_ + L"\\a\tb\\c.txt", L"x", false, false); }),
            L"Invalid characters in file name");
  EXPECT_TRUE(TreeListing(root_).empty());
  // One character less is a name like any other.
  StringToFile(at259, L"x", false, false);
  EXPECT_EQ(ReadFileBytes(at259), "x");
}

TEST_F(TextFiles, FileHeldByAnotherProgramCannotBeReplacedOrExtended) {
  const std::wstring file = root_ + L"\\held.txt";
  WriteFileBytes(file, "keep");
  HANDLE held = ::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const std::wstring created =
      ThrownMessage<tk::EFCreateError>([&] { StringToFile(file, L"x", true, false); });
  const std::wstring opened =
      ThrownMessage<tk::EFOpenError>([&] { StringToFile(file, L"x", false, false); });
  const std::wstring read = ThrownMessage<tk::EFOpenError>([&] { StringFromFile(file); });
  ::CloseHandle(held);
  EXPECT_NE(created.find(L"Cannot create file \"" + file + L"\""), std::wstring::npos) << created;
  EXPECT_NE(opened.find(L"Cannot open file \"" + file + L"\""), std::wstring::npos) << opened;
  EXPECT_NE(read.find(file), std::wstring::npos) << read;
  EXPECT_EQ(ReadFileBytes(file), "keep");
}

TEST_F(TextFiles, ReadsUtf8ByItsMarkWithoutTheMark) {
  const std::wstring file = root_ + L"\\utf8.txt";
  WriteFileBytes(file, kMark + kTextUtf8);
  EXPECT_EQ(StringFromFile(file), kText);
}

TEST_F(TextFiles, ReadsUtf16LittleEndianByItsMark) {
  const std::wstring file = root_ + L"\\le.txt";
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : kText) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  WriteFileBytes(file, bytes);
  EXPECT_EQ(StringFromFile(file), kText);
}

TEST_F(TextFiles, ReadsUtf16BigEndianByItsMark) {
  const std::wstring file = root_ + L"\\be.txt";
  std::string bytes = "\xFE\xFF";
  for (wchar_t c : kText) {
    bytes += static_cast<char>(c >> 8);
    bytes += static_cast<char>(c & 0xFF);
  }
  WriteFileBytes(file, bytes);
  EXPECT_EQ(StringFromFile(file), kText);
}

TEST_F(TextFiles, WithoutMarkTheAnsiCodePageApplies) {
  const std::wstring file = root_ + L"\\ansi.txt";
  WriteFileBytes(file, "Caf\xE9 \x80 5");
  const UINT codePage = ::GetACP();
  if (codePage != 1252) GTEST_SKIP() << "ANSI code page is " << codePage;
  EXPECT_EQ(StringFromFile(file), L"Caf\u00E9 \u20AC 5");
  // UTF-8 without a mark is read as ANSI too.
  WriteFileBytes(file, "\xC3\xA9");
  EXPECT_EQ(StringFromFile(file), L"\u00C3\u00A9");
}

TEST_F(TextFiles, EmptyAndMarkOnlyFilesAreEmptyText) {
  const std::wstring file = root_ + L"\\empty.txt";
  WriteFileBytes(file, "");
  EXPECT_EQ(StringFromFile(file), L"");
  WriteFileBytes(file, kMark);
  EXPECT_EQ(StringFromFile(file), L"");
  WriteFileBytes(file, "\xFF\xFE");
  EXPECT_EQ(StringFromFile(file), L"");
}

TEST_F(TextFiles, WrittenTextReadsBackTheSame) {
  const std::wstring file = root_ + L"\\round.txt";
  StringToFile(file, kText + L"\r\nline two", true, true);
  EXPECT_EQ(StringFromFile(file), kText + L"\r\nline two");
}

TEST_F(TextFiles, MissingFileRaisesFileOpenErrorNamingIt) {
  const std::wstring file = root_ + L"\\nothing-here.txt";
  const std::wstring message = ThrownMessage<tk::EFOpenError>([&] { StringFromFile(file); });
  EXPECT_NE(message.find(file), std::wstring::npos) << message;
  EXPECT_NE(message.find(L"Cannot open file"), std::wstring::npos) << message;
}

TEST_F(TextFiles, ListSplitsAtEveryKindOfLineBreak) {
  const std::wstring file = root_ + L"\\lines.txt";
  StringToFile(file, L"a\r\nb\rc\nd", true, true);
  std::unique_ptr<TTSL> lines(StringFromFileTSL(file));
  ASSERT_EQ(lines->Count(), 4);
  EXPECT_EQ(lines->Strings(0), L"a");
  EXPECT_EQ(lines->Strings(1), L"b");
  EXPECT_EQ(lines->Strings(2), L"c");
  EXPECT_EQ(lines->Strings(3), L"d");
}

TEST_F(TextFiles, ListOfMissingFileRaises) {
  EXPECT_THROW(delete StringFromFileTSL(root_ + L"\\none.txt"), tk::EFOpenError);
}
