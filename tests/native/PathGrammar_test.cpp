// The portable path vocabulary of ccIO, natively: how folder paths are spelled and compared,
// which paths are acceptable, and the path grammar behind the directory-name and create-directory
// steps (root, directory name, the create step's checks, the chain of folders to create).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/Errors.h"
#include "OrvexCommonControls/ccIO.h"

namespace {

using W = std::vector<std::wstring>;

template <class F>
std::wstring ArgumentError(F action) {
  try {
    action();
  } catch (const tk::EArgumentException& e) {
    return e.Message();
  }
  return L"<nothing thrown>";
}

}  // namespace

// --- spelling and comparison ---

TEST(FolderSpelling, TrailAddsExactlyOneBackslash) {
  EXPECT_EQ(Trail(L"D:\\Pelmor"), L"D:\\Pelmor\\");
  EXPECT_EQ(Trail(L"D:\\Pelmor\\"), L"D:\\Pelmor\\");
  EXPECT_EQ(Trail(L"\\\\server\\share"), L"\\\\server\\share\\");
  EXPECT_EQ(Trail(L"relative"), L"relative\\");
  EXPECT_EQ(Trail(L""), L"");  // no folder stays no folder
}

TEST(FolderSpelling, SameFolderFoldsOnlyAsciiLettersAndTheTrail) {
  EXPECT_TRUE(SameFolder(L"D:\\PELMOR\\Data", L"d:\\pelmor\\data\\"));
  EXPECT_TRUE(SameFolder(L"\\\\?\\c:\\x", L"\\\\?\\C:\\X\\"));
  EXPECT_FALSE(SameFolder(L"D:\\\u00C9t\u00E9", L"D:\\\u00E9t\u00E9"));
  EXPECT_FALSE(SameFolder(L"D:\\a\\b", L"D:\\a/b"));
  EXPECT_FALSE(SameFolder(L"D:\\[", L"D:\\{"));  // '{' is '[' + 32, yet no letter
  EXPECT_FALSE(SameFolder(L"D:\\Pelmor", L"D:\\Pelmor Wallpaper Changer"));
  EXPECT_FALSE(SameFolder(L"", L"\\"));
}

// --- validity ---

TEST(PathValidity, LongPrefixesAreRecognisedUncFirst) {
  EXPECT_EQ(PathStartPos(L"\\\\?\\UNC\\srv\\share\\x"), 9);
  EXPECT_EQ(PathStartPos(L"\\\\?\\D:\\x"), 5);
  EXPECT_EQ(PathStartPos(L"\\\\?"), 1);
  EXPECT_EQ(PathStartPos(L"\\\\srv\\share"), 1);
}

TEST(PathValidity, DriveRootedAfterAnyPrefix) {
  EXPECT_TRUE(IsDriveRooted(L"d:"));
  EXPECT_TRUE(IsDriveRooted(L"Z:\\x"));
  EXPECT_TRUE(IsDriveRooted(L"\\\\?\\C:\\x"));
  EXPECT_FALSE(IsDriveRooted(L"1:\\x"));
  EXPECT_FALSE(IsDriveRooted(L"\u00C4:\\x"));
  EXPECT_FALSE(IsDriveRooted(L"C"));
  EXPECT_FALSE(IsDriveRooted(L"\\\\?\\"));
  EXPECT_FALSE(IsDriveRooted(L"\\\\srv\\C:"));
}

TEST(PathValidity, ForbiddenCharactersAreExactlySeven) {
  const std::wstring forbidden = L"\"*/<>?|";
  for (wchar_t c = 1; c < 0x100; ++c) {
    const std::wstring path = std::wstring(L"D:\\a") + c + L"b";
    EXPECT_EQ(HasValidPathChars(path), forbidden.find(c) == std::wstring::npos) << int(c);
  }
  EXPECT_TRUE(HasValidPathChars(L"\uFF1F\uFF0A"));  // full-width look-alikes are letters here
}

TEST(PathValidity, StrayColonAfterPrefixesAndDrives) {
  EXPECT_TRUE(HasNoStrayColon(L"\\\\?\\D:"));
  EXPECT_TRUE(HasNoStrayColon(L"\\\\srv\\share\\x"));
  EXPECT_FALSE(HasNoStrayColon(L"\\\\?\\D:\\x:"));
  EXPECT_FALSE(HasNoStrayColon(L":"));
  EXPECT_FALSE(HasNoStrayColon(L"D::"));  // right after the drive's own
  EXPECT_FALSE(HasNoStrayColon(L"\\\\?\\D::x"));
  EXPECT_FALSE(HasNoStrayColon(L" D:\\x"));  // a blank first: the colon is no drive's
  EXPECT_FALSE(HasNoStrayColon(L"D:\\x\\stream:$DATA"));
}

// --- file name parts ---

TEST(FileNameParts, NameWithoutFolderAndLastExtension) {
  EXPECT_EQ(ExtractOnlyName(L"D:\\T\\Uninstaller.exe"), L"Uninstaller");
  EXPECT_EQ(ExtractOnlyName(L"\\\\srv\\share\\a.b.exe"), L"a.b");
  EXPECT_EQ(ExtractOnlyName(L"D:\\T\\.hidden"), L"");
  EXPECT_EQ(ExtractOnlyName(L"D:\\T.d\\name"), L"name");  // a dot in the folder is no extension
  EXPECT_EQ(ExtractOnlyName(L"D:x.txt"), L"x");
}

TEST(FileNameParts, DriveLettersCountFromOne) {
  EXPECT_EQ(DriveLetterToNumber(L'A'), 1);
  EXPECT_EQ(DriveLetterToNumber(L'd'), 4);
  EXPECT_EQ(DriveLetterToNumber(L'Z'), 26);
  EXPECT_EQ(DriveLetterToNumber(L'z'), 26);
}

TEST(FileNameParts, TimeStampIsTwoDigitsEachJoinedByDots) {
  EXPECT_EQ(TimeToFileNameStr({7, 3, 0}), L"07.03.00");
  EXPECT_EQ(TimeToFileNameStr({23, 59, 59}), L"23.59.59");
  const std::wstring stamp = TimeToFileNameStr({12, 34, 56});
  EXPECT_TRUE(HasValidPathChars(stamp));
  EXPECT_TRUE(HasNoStrayColon(stamp));  // usable in a file name, unlike hh:mm:ss
}

// --- the root ---

TEST(PathRoot, DriveRootWithOrWithoutBackslash) {
  EXPECT_EQ(PathRootLength(L"D:\\x\\y"), 3u);
  EXPECT_EQ(PathRootLength(L"D:x"), 2u);
  EXPECT_EQ(PathRootLength(L"D:"), 2u);
  EXPECT_EQ(PathRootLength(L"\\\\?\\D:\\x"), 7u);
  EXPECT_EQ(PathRootLength(L"\\\\?\\D:"), 6u);
}

TEST(PathRoot, NetworkRootHoldsServerAndShare) {
  EXPECT_EQ(PathRootLength(L"\\\\srv\\share\\x\\y"), 12u);
  EXPECT_EQ(PathRootLength(L"\\\\srv\\share"), 11u);
  EXPECT_EQ(PathRootLength(L"\\\\srv"), 5u);
  EXPECT_EQ(PathRootLength(L"\\\\?\\UNC\\srv\\share\\x"), 18u);
  EXPECT_EQ(PathRootLength(L"\\\\?\\UNC\\srv\\share"), 17u);
}

TEST(PathRoot, LoneBackslashAndRelativePaths) {
  EXPECT_EQ(PathRootLength(L"\\x\\y"), 1u);
  EXPECT_EQ(PathRootLength(L"x\\y"), 0u);
  EXPECT_EQ(PathRootLength(L""), 0u);
  EXPECT_EQ(PathRootLength(L"\\\\?\\x"), 4u);  // a prefix without a drive: just the prefix
}

// --- the directory-name step ---

TEST(DirectoryName, TextBeforeTheLastBackslash) {
  EXPECT_EQ(PathDirectoryName(L"D:\\a\\b\\f.txt"), L"D:\\a\\b");
  EXPECT_EQ(PathDirectoryName(L"D:\\a\\b\\"), L"D:\\a\\b");
  EXPECT_EQ(PathDirectoryName(L"rel\\f.txt"), L"rel");
  EXPECT_EQ(PathDirectoryName(L"f.txt"), L"");
}

TEST(DirectoryName, FileInARootGivesTheRoot) {
  EXPECT_EQ(PathDirectoryName(L"D:\\f.txt"), L"D:\\");
  EXPECT_EQ(PathDirectoryName(L"D:f.txt"), L"D:");
  EXPECT_EQ(PathDirectoryName(L"\\f.txt"), L"\\");
  EXPECT_EQ(PathDirectoryName(L"\\\\srv\\share\\f.txt"), L"\\\\srv\\share\\");
  EXPECT_EQ(PathDirectoryName(L"\\\\?\\D:\\f.txt"), L"\\\\?\\D:\\");
}

TEST(DirectoryName, BareRootHasNone) {
  EXPECT_EQ(PathDirectoryName(L"D:\\"), L"");
  EXPECT_EQ(PathDirectoryName(L"D:"), L"");
  EXPECT_EQ(PathDirectoryName(L"\\\\srv\\share"), L"");
  EXPECT_EQ(PathDirectoryName(L"\\\\srv\\share\\"), L"");
}

TEST(DirectoryName, BlanksTrimmedBeforeTheLimits) {
  EXPECT_EQ(PathDirectoryName(L"   D:\\a\\f.txt  "), L"D:\\a");
  const std::wstring at259 = L"D:\\" + std::wstring(256, L'n');
  EXPECT_EQ(PathDirectoryName(L"  " + at259 + L"  "), L"D:\\");
  EXPECT_EQ(ArgumentError([&] { PathDirectoryName(at259 + L"n"); }),
            L"The specified path is too long");
}

TEST(DirectoryName, BlankOrControlCharacterIsRefused) {
  for (const std::wstring& path : {std::wstring(), std::wstring(L"    "), std::wstring(L"D:\\a\tb"),
                                   std::wstring(L"D:\\a\x1F"), std::wstring(L"D:\\a\0b", 6)})
    EXPECT_EQ(ArgumentError([&] { PathDirectoryName(path); }), L"Invalid characters in file name")
        << path.size();
  // Characters other steps refuse are this one's to pass on.
  EXPECT_EQ(PathDirectoryName(L"D:\\a|b\\c:d"), L"D:\\a|b");
}

// --- the create step's checks ---

TEST(CreateStepChecks, InvalidCharactersComeBeforeTheFormat) {
  for (const std::wstring& path :
       {std::wstring(L""), std::wstring(L"  "), std::wstring(L"D:\\a\"b"), std::wstring(L"D:\\a<b"),
        std::wstring(L"D:\\a>b"), std::wstring(L"D:\\a|b"), std::wstring(L"D:\\a\nb"),
        std::wstring(L"x:\\a|b:c")})
    EXPECT_EQ(ArgumentError([&] { CheckFolderPathSyntax(path); }), L"Invalid characters in path")
        << path.size();
}

TEST(CreateStepChecks, OnlyTheDrivesColonIsSupported) {
  EXPECT_EQ(ArgumentError([] { CheckFolderPathSyntax(L"D:\\a:b"); }),
            L"The path format is not supported");
  EXPECT_EQ(ArgumentError([] { CheckFolderPathSyntax(L"\\\\?\\D:\\a:b"); }),
            L"The path format is not supported");
  EXPECT_NO_THROW(CheckFolderPathSyntax(L"D:\\Program Files\\Pelmor*?"));  // wildcards pass
  EXPECT_NO_THROW(CheckFolderPathSyntax(L"\\\\?\\D:\\x"));
  EXPECT_NO_THROW(CheckFolderPathSyntax(L"rel\\x"));
}

TEST(CreateStepChecks, FolderLengthLimitIs248WithoutItsTrailingBackslashes) {
  const std::wstring at247 = L"D:\\" + std::wstring(244, L'd');
  ASSERT_EQ(at247.size(), 247u);
  EXPECT_NO_THROW(CheckFolderPathLength(at247));
  EXPECT_NO_THROW(CheckFolderPathLength(at247 + L"\\\\\\"));
  EXPECT_EQ(ArgumentError([&] { CheckFolderPathLength(at247 + L"d"); }),
            L"The specified path is too long");
  EXPECT_EQ(ArgumentError([&] { CheckFolderPathLength(at247 + L"d\\"); }),
            L"The specified path is too long");
  EXPECT_NO_THROW(CheckFolderPathLength(L"\\\\?\\" + at247 + std::wstring(500, L'd')));
}

// --- the chain of folders to create ---

TEST(FolderChain, EveryFolderBelowTheRootInCreationOrder) {
  EXPECT_EQ(FolderChain(L"D:\\a\\b\\c"), (W{L"D:\\a", L"D:\\a\\b", L"D:\\a\\b\\c"}));
  EXPECT_EQ(FolderChain(L"D:\\a\\b\\"), (W{L"D:\\a", L"D:\\a\\b"}));
  EXPECT_EQ(FolderChain(L"\\\\srv\\share\\a\\b"),
            (W{L"\\\\srv\\share\\a", L"\\\\srv\\share\\a\\b"}));
  EXPECT_EQ(FolderChain(L"\\\\?\\D:\\a"), (W{L"\\\\?\\D:\\a"}));
}

TEST(FolderChain, RootsAndDoubledBackslashesAddNoFolder) {
  EXPECT_EQ(FolderChain(L"D:\\"), W{});
  EXPECT_EQ(FolderChain(L"\\\\srv\\share\\"), W{});
  EXPECT_EQ(FolderChain(L"D:\\a\\\\b"), (W{L"D:\\a", L"D:\\a\\\\b"}));
}
