// The folder-path vocabulary of ccIO: spelling, comparison, validity, existence, creation with
// its exception texts and boxes, path parts, shell folders, the protected list and drives.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <optional>
#include <string>

#include "tests/support/BoxAnswerer.h"
#include "toolkit/Errors.h"
#include "tests/support/Files.h"
#include "tests/support/Thrown.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/ccStringList.h"

using namespace testing_support;

namespace {

std::wstring WindowsDir() {
  wchar_t buffer[MAX_PATH] = {};
  ::GetWindowsDirectoryW(buffer, MAX_PATH);
  return buffer;
}

// Upper and lower case in turn, so that no spelling the system gives matches by accident.
std::wstring MixedCase(const std::wstring& path) {
  std::wstring out = path;
  bool upper = true;
  for (wchar_t& c : out) {
    if (!iswalpha(c) || c > 127) continue;
    c = upper ? towupper(c) : towlower(c);
    upper = !upper;
  }
  return out;
}

wchar_t MissingDriveLetter() {
  const DWORD drives = ::GetLogicalDrives();
  for (wchar_t letter = L'Y'; letter > L'D'; --letter)
    if (!(drives & (1u << (letter - L'A')))) return letter;
  return 0;
}

// A folder path of exactly `length` characters below base (no trailing backslash).
std::wstring PathOfLength(const std::wstring& base, size_t length) {
  std::wstring path = base;
  while (path.size() + 1 < length) {
    const size_t part = std::min<size_t>(100, length - path.size() - 1);
    path += L"\\" + std::wstring(part, L'd');
  }
  return path;
}

class PathsWithBoxes : public ::testing::Test {
 protected:
  void SetUp() override { AppName = L"PathsTest"; }
  void TearDown() override { AppName = kInitialAppName; }
};

}  // namespace

// --- form and comparison ---

TEST(Trail, AddsOneBackslashOnlyWhereMissing) {
  EXPECT_EQ(Trail(L""), L"");
  EXPECT_EQ(Trail(L"C:\\x"), L"C:\\x\\");
  EXPECT_EQ(Trail(L"C:\\x\\"), L"C:\\x\\");
  EXPECT_EQ(Trail(L"C:"), L"C:\\");
  EXPECT_EQ(Trail(L"C:\\x/"), L"C:\\x/\\");
}

TEST(SameFolder, IgnoresAsciiCaseAndTrailingBackslash) {
  EXPECT_TRUE(SameFolder(L"c:\\windows", L"C:\\Windows\\"));
  EXPECT_TRUE(SameFolder(L"C:\\PROGRAM FILES\\", L"c:\\program files"));
  EXPECT_TRUE(SameFolder(L"", L""));
}

TEST(SameFolder, EmptyDiffersFromAnyFolder) {
  EXPECT_FALSE(SameFolder(L"", L"C:\\"));
  EXPECT_FALSE(SameFolder(L"C:\\", L""));
}

TEST(SameFolder, NoNormalisationBeyondCaseAndTrail) {
  EXPECT_FALSE(SameFolder(L"C:\\A\\..\\B", L"C:\\B"));
  EXPECT_FALSE(SameFolder(L"C:\\PROGRA~1", L"C:\\Program Files"));
  EXPECT_FALSE(SameFolder(L"C:\\x\\\\", L"C:\\x"));
  EXPECT_FALSE(SameFolder(L"C:\\ab", L"C:\\a"));
  // Only ASCII letters are folded.
  EXPECT_FALSE(SameFolder(L"C:\\\u00C4", L"C:\\\u00E4"));
}

// --- validity ---

TEST(HasValidPathChars, RejectsEmptyAndEachOfTheSevenForbiddenCharacters) {
  EXPECT_FALSE(HasValidPathChars(L""));
  for (wchar_t bad : std::wstring(L"\"*/<>?|"))
    EXPECT_FALSE(HasValidPathChars(std::wstring(L"C:\\a") + bad + L"b")) << int(bad);
  EXPECT_FALSE(HasValidPathChars(L"\\\\?\\C:\\x"));
}

TEST(HasValidPathChars, AcceptsColonsBackslashesControlsAndWideLetters) {
  EXPECT_TRUE(HasValidPathChars(L"C:\\a:b"));
  EXPECT_TRUE(HasValidPathChars(L"C:\\a\tb"));
  EXPECT_TRUE(HasValidPathChars(L"C:\\\u4E2D\u6587\\\u03A9\u03BC\u03AD\u03B3\u03B1"));
  EXPECT_TRUE(HasValidPathChars(L"C:\\Program Files\\Pelmor Wallpaper Changer\\"));
}

TEST(PathStartPos, FindsTheRealPathAfterLongPrefixes) {
  EXPECT_EQ(PathStartPos(L"C:\\x"), 1);
  EXPECT_EQ(PathStartPos(L""), 1);
  EXPECT_EQ(PathStartPos(L"\\\\?\\C:\\x"), 5);
  EXPECT_EQ(PathStartPos(L"\\\\?\\UNC\\server\\share"), 9);
  EXPECT_EQ(PathStartPos(L"\\\\?\\UNC"), 5);
  EXPECT_EQ(PathStartPos(L"\\\\server\\share"), 1);
  EXPECT_EQ(PathStartPos(L"\\\\.\\C:"), 1);
}

TEST(HasNoStrayColon, BlankPathsPass) {
  EXPECT_TRUE(HasNoStrayColon(L""));
  EXPECT_TRUE(HasNoStrayColon(L"   "));
}

TEST(HasNoStrayColon, OnlyTheDrivesOwnColonIsAllowed) {
  EXPECT_TRUE(HasNoStrayColon(L"C:\\data"));
  EXPECT_TRUE(HasNoStrayColon(L"c:"));
  EXPECT_TRUE(HasNoStrayColon(L"\\\\?\\C:\\x"));
  EXPECT_TRUE(HasNoStrayColon(L"\\\\?\\UNC\\server\\share\\x"));
  EXPECT_TRUE(HasNoStrayColon(L"relative\\path"));
  EXPECT_FALSE(HasNoStrayColon(L"C:\\x:y"));
  EXPECT_FALSE(HasNoStrayColon(L"C:\\da:ta"));
  EXPECT_FALSE(HasNoStrayColon(L"data:1"));
  EXPECT_FALSE(HasNoStrayColon(L"\\\\?\\C:\\a:b"));
  EXPECT_FALSE(HasNoStrayColon(L"1:\\x"));
  EXPECT_FALSE(HasNoStrayColon(L"C::"));
  EXPECT_FALSE(HasNoStrayColon(L"\\\\?\\UNC\\server:1\\share"));
}

// --- path parts ---

TEST(ExtractOnlyName, CutsFolderAndLastExtension) {
  EXPECT_EQ(ExtractOnlyName(L"C:\\x\\Uninstaller.exe"), L"Uninstaller");
  EXPECT_EQ(ExtractOnlyName(L"a.b.c"), L"a.b");
  EXPECT_EQ(ExtractOnlyName(L"C:\\dir.d\\noext"), L"noext");
  EXPECT_EQ(ExtractOnlyName(L"C:name.txt"), L"name");
  EXPECT_EQ(ExtractOnlyName(L"plain"), L"plain");
  EXPECT_EQ(ExtractOnlyName(L"C:\\folder\\"), L"");
}

TEST(ExtractPath, FolderPartSpelledWithTrail) {
  EXPECT_EQ(ExtractPath(L"C:\\A\\B\\", false), L"C:\\A\\B\\");
  EXPECT_EQ(ExtractPath(L"C:\\A\\f.txt", false), L"C:\\A\\");
  EXPECT_EQ(ExtractPath(L"C:\\f.txt", false), L"C:\\");
  EXPECT_EQ(ExtractPath(L"\\\\server\\share\\f.txt", false), L"\\\\server\\share\\");
  EXPECT_EQ(ExtractPath(L"f.txt", false), L"");
}

TEST(ExtractPath, BareRootHasNoFolder) {
  EXPECT_EQ(ExtractPath(L"C:\\", true), L"");
  EXPECT_EQ(ExtractPath(L"C:\\", false), L"");
  EXPECT_EQ(ExtractPath(L"\\\\server\\share", false), L"");
}

TEST(ExtractPath, BlanksAroundThePathAreTrimmed) {
  EXPECT_EQ(ExtractPath(L"  C:\\A\\f.txt  ", false), L"C:\\A\\");
}

TEST(ExtractPath, InvalidOrEmptyIsEmptyWhenSilent) {
  EXPECT_EQ(ExtractPath(L"C:\\a?b", true), L"");
  EXPECT_EQ(ExtractPath(L"", true), L"");
  EXPECT_EQ(ExtractPath(L"\\\\?\\C:\\x\\f.txt", true), L"");
}

TEST(ExtractPath, InvalidOrEmptyRaisesWhenNotSilent) {
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([] { ExtractPath(L"C:\\a?b", false); }),
            L"The path is invalid!\r\nC:\\a?b");
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([] { ExtractPath(L"", false); }),
            L"The path is invalid!\r\n");
}

TEST(ExtractPath, DirectoryNameStepLimitsAndCharacters) {
  const std::wstring at259 = L"C:\\" + std::wstring(256, L'n');
  ASSERT_EQ(at259.size(), 259u);
  EXPECT_EQ(ExtractPath(at259, false), L"C:\\");
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([&] { ExtractPath(at259 + L"n", false); }),
            L"The specified path is too long");
  // The limit counts the path after trimming.
  EXPECT_EQ(ExtractPath(L"  " + at259 + L"  ", false), L"C:\\");
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([] { ExtractPath(L"   ", false); }),
            L"Invalid characters in file name");
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([] { ExtractPath(L"C:\\a\tb\\c", false); }),
            L"Invalid characters in file name");
}

TEST(ExtractPath, SilentCallPassesOnWhatTheDirectoryNameStepRefuses) {
  // Silent spares only the report of an empty or invalid path.
  const std::wstring at260 = L"C:\\" + std::wstring(257, L'n');
  ASSERT_EQ(at260.size(), 260u);
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([&] { ExtractPath(at260, true); }),
            L"The specified path is too long");
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([] { ExtractPath(L"   ", true); }),
            L"Invalid characters in file name");
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([] { ExtractPath(L"C:\\a\tb\\c", true); }),
            L"Invalid characters in file name");
  EXPECT_EQ(ExtractPath(at260.substr(0, 259), true), L"C:\\");
}

TEST(AppFolder, IsTheRunningExecutablesFolder) {
  EXPECT_TRUE(SameFolder(AppFolder(), BinDir())) << AppFolder();
  EXPECT_EQ(AppFolder().back(), L'\\');
}

// --- existence ---

TEST(FolderExists, TrailingSpaceIsNotTheFolder) {
  const std::wstring windows = WindowsDir();
  EXPECT_TRUE(DirExists(windows + L" ")) << "the platform alone accepts the trailing space";
  EXPECT_TRUE(FolderExists(windows, true));
  EXPECT_TRUE(FolderExists(Trail(windows), true));
  EXPECT_FALSE(FolderExists(windows + L" ", true));
  EXPECT_FALSE(FolderExists(windows + L" ", false));
}

TEST(FolderExists, FilesAndMissingPathsAreNotFolders) {
  const std::wstring root = FreshFolder(L"paths-exists");
  WriteFileBytes(root + L"\\file.txt", "x");
  EXPECT_FALSE(FolderExists(root + L"\\file.txt", true));
  EXPECT_FALSE(FolderExists(root + L"\\missing", true));
  EXPECT_FALSE(FolderExists(L"", true));
  EXPECT_FALSE(IsFolder(root + L"\\file.txt"));
  EXPECT_FALSE(IsFolder(root + L"\\missing"));
  EXPECT_TRUE(IsFolder(root));
  RemoveTree(root);
}

TEST_F(PathsWithBoxes, DirectoryExistMsgShowsOneBoxThatNamesTheProblem) {
  const struct {
    std::wstring path, text, caption;
    BoxIcon icon;
  } cases[] = {
      {L"", L"DirectoryExistMsg: No folder specified!", L"PathsTest", BoxIcon::Information},
      {L"C:\\orvex-tests\\no such folder",
       L"Folder does not exist:\r\nC:\\orvex-tests\\no such folder", L"PathsTest - Error",
       BoxIcon::Error},
      {L"no\\drive", L"A relative path was provided instead of a full path!\r\nno\\drive",
       L"PathsTest - Error", BoxIcon::Error},
      // The platform alone would find the folder; the trailing blank makes it missing.
      {WindowsDir() + L" ", L"Folder does not exist:\r\n" + WindowsDir() + L" ",
       L"PathsTest - Error", BoxIcon::Error},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Wide2Utf8(c.path));
    BoxAnswerer watch({L"OK"});
    EXPECT_FALSE(DirectoryExistMsg(c.path));
    const auto boxes = watch.Stop();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.text);
    EXPECT_EQ(boxes[0].caption, c.caption);
    EXPECT_EQ(boxes[0].icon, c.icon);
  }
  BoxAnswerer watch({L"OK"});
  EXPECT_TRUE(DirectoryExistMsg(WindowsDir()));
  EXPECT_TRUE(watch.Stop().empty()) << "no box for an existing folder";
}

// --- creation ---

TEST(ForceDirectories, ExistingFolderGivesZeroAndCreatesNothing) {
  const std::wstring root = FreshFolder(L"paths-force-existing");
  MakeDirs(root + L"\\inner");
  const auto before = TreeListing(root);
  EXPECT_EQ(ForceDirectories(root + L"\\inner"), 0);
  EXPECT_EQ(ForceDirectories(root + L"\\inner\\"), 0);
  EXPECT_EQ(TreeListing(root), before);
  RemoveTree(root);
}

TEST(ForceDirectories, NewNestedFolderGivesOne) {
  const std::wstring root = FreshFolder(L"paths-force-new");
  const std::wstring target = root + L"\\one\\two\\three";
  EXPECT_EQ(ForceDirectories(target), 1);
  EXPECT_TRUE(DirExists(target));
  EXPECT_EQ(ForceDirectories(target + L"\\"), 0);
  RemoveTree(root);
}

TEST(ForceDirectories, FailedCreationGivesMinusOne) {
  const std::wstring root = FreshFolder(L"paths-force-fail");
  WriteFileBytes(root + L"\\blocker", "a file where a folder should go");
  EXPECT_EQ(ForceDirectories(root + L"\\blocker\\sub"), -1);
  EXPECT_EQ(ForceDirectories(root + L"\\wild*card"), -1);
  EXPECT_TRUE(FileExists(root + L"\\blocker"));
  RemoveTree(root);
}

TEST(ForceDirectories, EmptyFolderIsAnAssertionFailure) {
  const std::wstring message = ThrownMessage<tk::EAssertionFailed>([] { ForceDirectories(L""); });
  EXPECT_NE(message.find(L"ForceDirectories - Parameter is empty!"), std::wstring::npos) << message;
  EXPECT_NE(message.find(L"ccIO"), std::wstring::npos) << message;
}

TEST(MakeFolderTree, RelativePathIsMadeAbsolute) {
  const std::wstring root = FreshFolder(L"paths-relative");
  wchar_t previous[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(root.c_str()));
  const bool made = MakeFolderTree(L"rel\\sub");
  ::SetCurrentDirectoryW(previous);
  EXPECT_TRUE(made);
  EXPECT_TRUE(DirExists(root + L"\\rel\\sub"));
  RemoveTree(root);
}

TEST(MakeFolderTree, LengthLimitIs248WithoutLongPrefix) {
  const std::wstring root = FreshFolder(L"paths-long");
  const std::wstring at247 = PathOfLength(root, 247);
  ASSERT_EQ(at247.size(), 247u);
  EXPECT_TRUE(MakeFolderTree(at247));
  EXPECT_TRUE(MakeFolderTree(at247 + L"\\")) << "the trailing backslash does not count";
  const std::wstring at248 = PathOfLength(root, 248);
  ASSERT_EQ(at248.size(), 248u);
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([&] { MakeFolderTree(at248); }),
            L"The specified path is too long");
  EXPECT_FALSE(DirExists(at248));
  // The limit is on the absolute path.
  wchar_t previous[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(root.c_str()));
  const std::wstring relative = at248.substr(root.size() + 1);
  const std::wstring thrown =
      ThrownMessage<tk::EArgumentException>([&] { MakeFolderTree(relative); });
  ::SetCurrentDirectoryW(previous);
  EXPECT_EQ(thrown, L"The specified path is too long");
  RemoveTree(root);
}

TEST(MakeFolderTree, LongPrefixLiftsTheLimit) {
  const std::wstring root = FreshFolder(L"paths-prefixed");
  const std::wstring deep = PathOfLength(root, 320);
  EXPECT_TRUE(MakeFolderTree(L"\\\\?\\" + deep));
  EXPECT_TRUE(DirExists(L"\\\\?\\" + deep));
  RemoveTree(root);
}

TEST(MakeFolderTree, MalformedPathsRaiseTheCreateStepTexts) {
  for (const std::wstring& bad :
       {std::wstring(L"   "), std::wstring(L"C:\\a<b"), std::wstring(L"C:\\a>b"),
        std::wstring(L"C:\\a|b"), std::wstring(L"C:\\a\"b"), std::wstring(L"C:\\a\x01") + L"b"})
    EXPECT_EQ(ThrownMessage<tk::EArgumentException>([&] { MakeFolderTree(bad); }),
              L"Invalid characters in path")
        << bad;
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([] { MakeFolderTree(L"C:\\x:y"); }),
            L"The path format is not supported");
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([] { MakeFolderTree(L"data:1"); }),
            L"The path format is not supported");
}

TEST(MakeFolderTree, MissingDriveRaises) {
  const wchar_t letter = MissingDriveLetter();
  ASSERT_NE(letter, 0);
  const std::wstring path = std::wstring(1, letter) + L":\\orvex\\new";
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([&] { MakeFolderTree(path); }),
            L"The drive cannot be found");
  EXPECT_EQ(ThrownMessage<tk::EArgumentException>([&] { ForceDirectories(path); }),
            L"The drive cannot be found");
}

TEST_F(PathsWithBoxes, ForceDirectoriesMsgExplainsAFailure) {
  const std::wstring root = FreshFolder(L"paths-force-msg");
  WriteFileBytes(root + L"\\blocker", "x");
  const std::wstring target = root + L"\\blocker\\sub";
  BoxAnswerer watch({L"OK"});
  EXPECT_FALSE(ForceDirectoriesMsg(target));
  auto box = watch.StopAtFirst();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text,
            L"Cannot create folder: " + target +
                L"\r\nProbably you are trying to write to a folder to which you don't "
                L"have write permissions, or, the folder you want to create is invalid.");
  EXPECT_EQ(box->caption, L"PathsTest - Error");
  EXPECT_EQ(box->icon, BoxIcon::Error);
  RemoveTree(root);
}

TEST_F(PathsWithBoxes, ForceDirectoriesMsgIsQuietOnSuccess) {
  const std::wstring root = FreshFolder(L"paths-force-msg-ok");
  BoxAnswerer watch({L"OK"});
  EXPECT_TRUE(ForceDirectoriesMsg(root + L"\\made"));
  EXPECT_TRUE(ForceDirectoriesMsg(root + L"\\made"));
  EXPECT_FALSE(watch.StopAtFirst().has_value());
  EXPECT_TRUE(DirExists(root + L"\\made"));
  RemoveTree(root);
}

// --- shell folders ---

TEST(GetSpecialFolder, CurrentPathWithTrailingBackslash) {
  EXPECT_TRUE(SameFolder(GetSpecialFolder(CSIDL_WINDOWS), WindowsDir()));
  EXPECT_EQ(GetSpecialFolder(CSIDL_WINDOWS).back(), L'\\');
  EXPECT_EQ(GetDesktopFolder(), Trail(DesktopDir()));
  EXPECT_EQ(GetMyDocuments(), Trail(ShellFolder(CSIDL_PERSONAL)));
}

TEST(GetSpecialFolder, VirtualFoldersAreEmpty) {
  EXPECT_EQ(GetSpecialFolder(CSIDL_INTERNET), L"");
  EXPECT_EQ(GetSpecialFolder(CSIDL_BITBUCKET), L"");
  EXPECT_EQ(GetSpecialFolder(CSIDL_DRIVES), L"");
  EXPECT_EQ(GetSpecialFolder(CSIDL_NETWORK), L"");
}

TEST(GetSpecialFolder, CreateFlagMakesAMissingShellFolder) {
  const std::wstring path = GetSpecialFolder(CSIDL_COMMON_OEM_LINKS, false);
  ASSERT_FALSE(path.empty());
  ::RemoveDirectoryW(path.c_str());
  ASSERT_FALSE(DirExists(path));
  // The folder's place is known (and protected) before it exists.
  EXPECT_EQ(GetSpecialFolder(CSIDL_COMMON_OEM_LINKS, false), path);
  EXPECT_FALSE(DirExists(path));
  EXPECT_EQ(GetSpecialFolder(CSIDL_COMMON_OEM_LINKS, true), path);
  EXPECT_TRUE(DirExists(path));
  ::RemoveDirectoryW(path.c_str());
}

// --- the temporary folder ---

std::optional<std::wstring> Variable(const wchar_t* name) {
  std::wstring value(32767, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name, value.data(), 32767);
  if (length == 0) return std::nullopt;
  value.resize(length);
  return value;
}

// Sets TMP and TEMP of this process (nothing removes one); the destructor puts back the first.
class TempVariables {
 public:
  ~TempVariables() { Set(tmp_, temp_); }
  static void Set(const std::optional<std::wstring>& tmp, const std::optional<std::wstring>& temp) {
    ::SetEnvironmentVariableW(L"TMP", tmp ? tmp->c_str() : nullptr);
    ::SetEnvironmentVariableW(L"TEMP", temp ? temp->c_str() : nullptr);
  }

 private:
  std::optional<std::wstring> tmp_ = Variable(L"TMP"), temp_ = Variable(L"TEMP");
};

TEST(GetTempFolder, WholeFolderWithItsBackslashAtAnyLengthTmpFirst) {
  const TempVariables restore;
  const std::wstring other = L"C:\\orvex-tests\\other temp";
  for (size_t length : {size_t{40}, size_t{MAX_PATH - 2}, size_t{MAX_PATH - 1}, size_t{MAX_PATH},
                        size_t{MAX_PATH + 40}, size_t{1000}}) {
    std::wstring folder = L"C:\\orvex-tests\\temp";
    while (folder.size() < length) folder += folder.size() + 1 < length ? L"\\t" : L"x";
    ASSERT_EQ(folder.size(), length);
    TempVariables::Set(folder, other);
    EXPECT_EQ(GetTempFolder(), folder + L"\\") << length;
    TempVariables::Set(std::nullopt, folder);
    EXPECT_EQ(GetTempFolder(), folder + L"\\") << length << ": TEMP without TMP";
    TempVariables::Set(other, folder);
    EXPECT_EQ(GetTempFolder(), other + L"\\") << length << ": TMP before TEMP";
  }
}

TEST(AppDataFolder, AppNameBecomesASubfolderOfRoamingData) {
  AppName = L"Pelmor Wallpaper Changer";
  const std::wstring folder = AppDataFolder();
  AppName = kInitialAppName;
  EXPECT_EQ(folder, Trail(ShellFolder(CSIDL_APPDATA)) + L"Pelmor Wallpaper Changer\\");
}

TEST(AppDataFolder, AppNameThatIsNoFileNameFailsTheAssertion) {
  AppName = kInitialAppName;
  const std::wstring initial = ThrownMessage<tk::EAssertionFailed>([] { AppDataFolder(); });
  EXPECT_NE(initial.find(L"Invalid chars in AppName: ? Empty AppName"), std::wstring::npos)
      << initial;
  EXPECT_NE(initial.find(L"ccIO"), std::wstring::npos);
  for (wchar_t bad : std::wstring(L"\"*/:<>?\\|\t")) {
    AppName = std::wstring(L"App") + bad + L"Name";
    EXPECT_NE(ThrownMessage<tk::EAssertionFailed>([] {
                AppDataFolder();
              }).find(L"Invalid chars in AppName: "),
              std::wstring::npos)
        << int(bad);
  }
  AppName = L"";
  EXPECT_NE(ThrownMessage<tk::EAssertionFailed>([] { AppDataFolder(); }), L"<nothing thrown>");
  AppName = kInitialAppName;
}

TEST(GetSpecialFolders, SixtyThreeEntriesInTheFixedOrder) {
  std::unique_ptr<TTSL> list(GetSpecialFolders());
  ASSERT_EQ(list->Count(), 63);
  EXPECT_EQ(list->Strings(0), Trail(ShellFolder(CSIDL_DESKTOP)));
  EXPECT_EQ(list->Strings(5), Trail(ShellFolder(CSIDL_PERSONAL)));
  EXPECT_EQ(list->Strings(12), list->Strings(5)) << "the Documents alias stands in 13th place";
  EXPECT_EQ(list->Strings(15), Trail(DesktopDir()));
  EXPECT_EQ(list->Strings(25), Trail(ShellFolder(CSIDL_APPDATA)));
  EXPECT_TRUE(SameFolder(list->Strings(35), WindowsDir()));
  EXPECT_EQ(list->Strings(37), Trail(ShellFolder(CSIDL_PROGRAM_FILES)));
  EXPECT_EQ(list->Strings(49), Trail(ShellFolder(CSIDL_COMMON_MUSIC)));
  EXPECT_EQ(list->Strings(55), Trail(ShellFolder(CSIDL_CDBURN_AREA)));
  // Virtual folders keep their (empty) places.
  EXPECT_EQ(list->Strings(1), L"");
  EXPECT_EQ(list->Strings(10), L"");
  EXPECT_EQ(list->Strings(16), L"");
  EXPECT_EQ(list->Strings(17), L"");
  for (int i = 0; i < list->Count(); ++i)
    if (!list->Strings(i).empty()) {
      EXPECT_EQ(list->Strings(i).back(), L'\\') << i;
    }
}

TEST(IsSpecialFolder, SystemFoldersInAnySpelling) {
  for (const std::wstring& folder :
       {WindowsDir(), DesktopDir(), ShellFolder(CSIDL_PROGRAM_FILES)}) {
    ASSERT_FALSE(folder.empty());
    const std::wstring bare = folder.back() == L'\\' ? folder.substr(0, folder.size() - 1) : folder;
    EXPECT_TRUE(IsSpecialFolder(bare)) << bare;
    EXPECT_TRUE(IsSpecialFolder(bare + L"\\")) << bare;
    EXPECT_TRUE(IsSpecialFolder(MixedCase(bare))) << MixedCase(bare);
    EXPECT_TRUE(IsSpecialFolder(MixedCase(bare) + L"\\")) << MixedCase(bare);
  }
}

TEST(IsSpecialFolder, EmptyPathCountsAsSpecial) {
  EXPECT_TRUE(IsSpecialFolder(L""));
}

TEST(IsSpecialFolder, ProductFolderBelowProgramFilesIsNot) {
  const std::wstring product =
      Trail(ShellFolder(CSIDL_PROGRAM_FILES)) + L"Pelmor Wallpaper Changer";
  EXPECT_FALSE(IsSpecialFolder(product));
  EXPECT_FALSE(IsSpecialFolder(product + L"\\"));
  EXPECT_FALSE(IsSpecialFolder(Trail(ShellFolder(CSIDL_APPDATA)) + L"Pelmor Wallpaper Changer\\"));
}

// --- drives ---

TEST(DriveLetterToNumber, LettersInEitherCase) {
  EXPECT_EQ(DriveLetterToNumber(L'A'), 1);
  EXPECT_EQ(DriveLetterToNumber(L'a'), 1);
  EXPECT_EQ(DriveLetterToNumber(L'C'), 3);
  EXPECT_EQ(DriveLetterToNumber(L'c'), 3);
  EXPECT_EQ(DriveLetterToNumber(L'z'), 26);
}

TEST(Drives, SystemDriveIsFixedAndReady) {
  EXPECT_EQ(DriveType(L"C:"), static_cast<unsigned>(DRIVE_FIXED)) << "Trail makes C: a root";
  EXPECT_EQ(DriveType(L"C:\\"), static_cast<unsigned>(DRIVE_FIXED));
  EXPECT_TRUE(DiskInDrive(3));
  EXPECT_TRUE(DiskInDrive(0)) << "the current drive";
  EXPECT_TRUE(DriveIsReady(L"C:\\windows"));
  EXPECT_TRUE(DriveIsReady(L"c:\\"));
}

TEST(Drives, MissingDriveIsNotReady) {
  const wchar_t letter = MissingDriveLetter();
  ASSERT_NE(letter, 0);
  const std::wstring root = std::wstring(1, letter) + L":\\";
  EXPECT_LT(DriveType(root), static_cast<unsigned>(DRIVE_REMOVABLE));
  EXPECT_FALSE(DriveIsReady(root));
  EXPECT_FALSE(DiskInDrive(DriveLetterToNumber(letter)));
  EXPECT_FALSE(DiskInDrive(-1));
  EXPECT_FALSE(DiskInDrive(27));
}

TEST(Drives, ErrorModeIsRestoredAfterEveryQuery) {
  const UINT mode = SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;
  const UINT previous = ::SetErrorMode(mode);
  const wchar_t letter = MissingDriveLetter();
  DiskInDrive(3);
  const UINT afterSuccess = ::GetErrorMode();
  DiskInDrive(DriveLetterToNumber(letter));
  const UINT afterFailure = ::GetErrorMode();
  ::SetErrorMode(previous);
  EXPECT_EQ(afterSuccess, mode);
  EXPECT_EQ(afterFailure, mode);
}

// --- time in file names ---

TEST(TimeToFileNameStr, TwoDigitsSeparatedByDots) {
  EXPECT_EQ(TimeToFileNameStr({14, 5, 9}), L"14.05.09");
  EXPECT_EQ(TimeToFileNameStr({0, 0, 0}), L"00.00.00");
  EXPECT_EQ(TimeToFileNameStr({23, 59, 59}), L"23.59.59");
  EXPECT_EQ(TimeToFileNameStr({9, 10, 0}), L"09.10.00");
}

TEST(TimeToFileNameStr, NowIsTheLocalClock) {
  SYSTEMTIME before{}, after{};
  ::GetLocalTime(&before);
  const TLocalTime now = NowLocal();
  ::GetLocalTime(&after);
  EXPECT_TRUE(now.Hour == before.wHour || now.Hour == after.wHour);
  EXPECT_TRUE(now.Minute == before.wMinute || now.Minute == after.wMinute);
  const std::wstring text = TimeToFileNameStr(now);
  ASSERT_EQ(text.size(), 8u);
  EXPECT_TRUE(HasValidPathChars(text));
  EXPECT_TRUE(HasNoStrayColon(text));
}
