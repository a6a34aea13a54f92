// The uninstaller's own helpers: which folders it refuses to send to the Recycle Bin, and the
// product's desktop and Start-menu shortcuts.
#include <gtest/gtest.h>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "toolkit/Handles.h"
#include "uninstaller/SharedUninstaller.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"

using namespace testing_support;

namespace {

std::wstring Known(const KNOWNFOLDERID& id) {
  tk::UniqueCoTaskString path;
  EXPECT_TRUE(SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, path.put())));
  return path.get() ? path.get() : L"";
}

std::wstring Flipped(const std::wstring& text) {
  std::wstring out = text;
  bool upper = true;
  for (wchar_t& c : out) {
    if (iswalpha(c)) {
      c = upper ? towupper(c) : towlower(c);
      upper = !upper;
    }
  }
  return out;
}

std::wstring Parent(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\'));
}

// --- spelling tests (no file system) ---

TEST(ProtectedFolder, FullPathsStartAtADriveRootOrAShare) {
  EXPECT_TRUE(IsFullFolderPath(L"C:\\Program Files\\Pelmor"));
  EXPECT_TRUE(IsFullFolderPath(L"d:\\"));
  EXPECT_TRUE(IsFullFolderPath(L"\\\\server\\share\\Pelmor"));
  EXPECT_TRUE(IsFullFolderPath(L"\\\\?\\C:\\Pelmor"));
  EXPECT_TRUE(IsFullFolderPath(L"\\\\?\\UNC\\server\\share\\Pelmor"));
  EXPECT_FALSE(IsFullFolderPath(L"Pelmor"));
  EXPECT_FALSE(IsFullFolderPath(L"C:Pelmor"));
  EXPECT_FALSE(IsFullFolderPath(L"\\Pelmor"));
  EXPECT_FALSE(IsFullFolderPath(L"\\\\server"));
  EXPECT_FALSE(IsFullFolderPath(L"\\\\server\\"));
  EXPECT_FALSE(IsFullFolderPath(L""));
}

TEST(ProtectedFolder, RootsAreDrivesAndSharesThemselves) {
  for (const wchar_t* root : {L"C:\\", L"c:", L"D:\\", L"\\\\server\\share", L"\\\\server\\share\\",
                              L"\\\\?\\C:\\", L"\\\\?\\UNC\\server\\share\\"})
    EXPECT_TRUE(IsRootFolder(root)) << Wide2Utf8(root);
  for (const wchar_t* folder : {L"C:\\Pelmor", L"D:\\a\\", L"\\\\server\\share\\Pelmor"})
    EXPECT_FALSE(IsRootFolder(folder)) << Wide2Utf8(folder);
}

TEST(ProtectedFolder, DotPartsAndTrailingDotsOrBlanksAreAmbiguous) {
  for (const wchar_t* path : {L"C:\\Pelmor\\..", L"C:\\Pelmor\\..\\Users\\", L"C:\\.\\Pelmor",
                              L"C:\\Users.\\", L"C:\\Users \\Pelmor", L"C:/Pelmor/../Users"})
    EXPECT_TRUE(HasAmbiguousParts(path)) << Wide2Utf8(path);
  for (const wchar_t* path : {L"C:\\Pelmor Wallpaper\\", L"C:\\v1.2\\app", L"\\\\?\\C:\\a"})
    EXPECT_FALSE(HasAmbiguousParts(path)) << Wide2Utf8(path);
}

TEST(ProtectedFolder, ContainmentComparesWholeFolderNames) {
  EXPECT_TRUE(FolderIsOrContains(L"C:\\USERS", L"C:\\USERS\\ME\\DOCUMENTS"));
  EXPECT_TRUE(FolderIsOrContains(L"C:\\USERS\\", L"C:\\USERS"));
  EXPECT_FALSE(FolderIsOrContains(L"C:\\USER", L"C:\\USERS\\ME"));
  EXPECT_FALSE(FolderIsOrContains(L"C:\\USERS\\ME\\DOCUMENTS", L"C:\\USERS\\ME"));
  EXPECT_FALSE(FolderIsOrContains(L"", L"C:\\USERS"));
}

// --- the real folders of the sandbox ---

TEST(ProtectedFolder, SpecialFoldersInAnyCaseWithOrWithoutBackslash) {
  for (int csidl : {CSIDL_PERSONAL, CSIDL_PROGRAM_FILES, CSIDL_WINDOWS, CSIDL_DESKTOPDIRECTORY,
                    CSIDL_APPDATA}) {
    const std::wstring folder = ShellFolder(csidl);
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(IsProtectedFolder(folder)) << Wide2Utf8(folder);
    EXPECT_TRUE(IsProtectedFolder(Flipped(folder) + L"\\")) << Wide2Utf8(folder);
  }
  EXPECT_TRUE(IsProtectedFolder(L""));
}

TEST(ProtectedFolder, DriveRootsAreProtected) {
  EXPECT_TRUE(IsProtectedFolder(L"C:\\"));
  EXPECT_TRUE(IsProtectedFolder(L"c:"));
  EXPECT_TRUE(IsProtectedFolder(L"Z:\\"));
  EXPECT_TRUE(IsProtectedFolder(L"\\\\?\\C:\\"));
}

TEST(ProtectedFolder, FoldersHoldingProtectedFoldersAreProtected) {
  const std::wstring profile = Known(FOLDERID_Profile);
  ASSERT_FALSE(profile.empty());
  EXPECT_TRUE(IsProtectedFolder(profile));
  EXPECT_TRUE(IsProtectedFolder(Flipped(profile) + L"\\"));
  EXPECT_TRUE(IsProtectedFolder(Parent(profile)));                     // C:\users
  EXPECT_TRUE(IsProtectedFolder(Parent(ShellFolder(CSIDL_APPDATA))));  // AppData
  EXPECT_TRUE(IsProtectedFolder(Parent(ShellFolder(CSIDL_STARTMENU))));
}

TEST(ProtectedFolder, DownloadsAndTemporaryFolderAreProtected) {
  const std::wstring downloads = Known(FOLDERID_Downloads);
  ASSERT_FALSE(downloads.empty());
  EXPECT_FALSE(IsSpecialFolder(downloads)) << "no CSIDL names Downloads";
  EXPECT_TRUE(IsProtectedFolder(downloads));
  EXPECT_TRUE(IsProtectedFolder(Flipped(downloads) + L"\\"));
  EXPECT_TRUE(IsProtectedFolder(GetTempFolder()));
}

TEST(ProtectedFolder, RelativeAndDottedPathsAreProtected) {
  const std::wstring base = FreshFolder(L"protected\\Pelmor");
  EXPECT_TRUE(IsProtectedFolder(L"Pelmor"));
  EXPECT_TRUE(IsProtectedFolder(L".\\Pelmor"));
  EXPECT_TRUE(IsProtectedFolder(base + L"\\.."));
  EXPECT_TRUE(IsProtectedFolder(base + L"\\..\\..\\..\\users"));
  EXPECT_TRUE(IsProtectedFolder(base + L"."));
  EXPECT_TRUE(IsProtectedFolder(L"C:orvex-tests\\protected\\Pelmor"));
  // The same folder behind a long-path prefix, and a wildcard that could match it.
  EXPECT_TRUE(IsProtectedFolder(L"\\\\?\\" + base + L"\\"));
  EXPECT_TRUE(IsProtectedFolder(base.substr(0, base.size() - 1) + L"?"));
  EXPECT_FALSE(IsProtectedFolder(base + L"\\")) << "the plain spelling is the product's own";
}

TEST(ProtectedFolder, ShortSpellingOfAProtectedFolderIsProtected) {
  const std::wstring savedGames = Known(FOLDERID_SavedGames);
  MakeDirs(savedGames);
  wchar_t shortPath[MAX_PATH] = {};
  ASSERT_NE(::GetShortPathNameW(savedGames.c_str(), shortPath, MAX_PATH), 0u);
  ASSERT_NE(std::wstring(shortPath), savedGames) << "the folder has a short name of its own";
  EXPECT_TRUE(IsProtectedFolder(shortPath)) << Wide2Utf8(shortPath);
}

// A symbolic link to a folder: Wine keeps links on the host's file system, where its own link
// call makes none, so the host's tool makes it there.
bool MakeFolderLink(const std::wstring& folder, const std::wstring& name,
                    const std::wstring& target) {
  if (::CreateSymbolicLinkW((folder + L"\\" + name).c_str(), (folder + L"\\" + target).c_str(),
                            SYMBOLIC_LINK_FLAG_DIRECTORY) &&
      DirExists(folder + L"\\" + name))
    return true;
  return MakeHostLink(folder, name, target) && DirExists(folder + L"\\" + name);
}

// Removes the links themselves, never what they lead to.
void RemoveFolderLinks(const std::wstring& folder) {
  for (const wchar_t* name : {L"link", L"people"})
    ::RemoveDirectoryW((folder + L"\\" + name).c_str());
  RunOnLinux("cd " + ShellQuoted(UnixPathOf(folder)) + " && rm -f link people");
}

TEST(ProtectedFolder, LinksAreProtected) {
  const std::wstring base = L"C:\\orvex-tests\\protected\\links";
  MakeDirs(base);
  RemoveFolderLinks(base);
  ASSERT_FALSE(DirExists(base + L"\\people")) << "a link left from an earlier run";
  tk::ScopeExit cleanUp([&] { RemoveFolderLinks(base); });
  MakeDirs(base + L"\\target");
  ASSERT_TRUE(MakeFolderLink(base, L"link", L"target"));
  const std::wstring link = base + L"\\link";
  EXPECT_TRUE(IsProtectedFolder(link));
  EXPECT_TRUE(IsProtectedFolder(link + L"\\"));
  EXPECT_FALSE(IsProtectedFolder(base + L"\\target"))
      << "the real folder itself is an ordinary one";
  // A folder reached through a link into the profile's parent names the profile, whatever the
  // link's own name says. (C:\orvex-tests\protected\links -> C:\users)
  const std::wstring profile = Known(FOLDERID_Profile);
  ASSERT_TRUE(MakeFolderLink(base, L"people", L"..\\..\\..\\users"));
  const std::wstring viaLink = base + L"\\people" + profile.substr(Parent(profile).size());
  ASSERT_TRUE(DirExists(viaLink)) << Wide2Utf8(viaLink);
  EXPECT_TRUE(IsProtectedFolder(viaLink)) << Wide2Utf8(viaLink);
}

TEST(ProtectedFolder, OrdinaryProductFoldersAreNotProtected) {
  const std::wstring fresh = FreshFolder(L"protected\\Pelmor Wallpaper");
  const std::wstring inProgramFiles = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Pelmor Wallpaper";
  const std::wstring inAppData = ShellFolder(CSIDL_APPDATA) + L"\\Pelmor Wallpaper Changer";
  const std::wstring inDocuments = ShellFolder(CSIDL_PERSONAL) + L"\\Pelmor";
  for (const std::wstring& folder : {fresh, inProgramFiles, inAppData, inDocuments}) {
    MakeDirs(folder);
    EXPECT_FALSE(IsProtectedFolder(folder)) << Wide2Utf8(folder);
    EXPECT_FALSE(IsProtectedFolder(folder + L"\\")) << Wide2Utf8(folder);
    EXPECT_FALSE(IsProtectedFolder(Flipped(folder))) << Wide2Utf8(folder);
  }
  for (const std::wstring& folder : {inProgramFiles, inAppData, inDocuments}) RemoveTree(folder);
}

// --- shortcuts ---

class Shortcuts : public ::testing::Test {
 protected:
  static constexpr wchar_t kName[] = L"Pelmor Wallpaper Changer (test)";
  static constexpr wchar_t kShellFolders[] =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

  void SetUp() override {
    desktopLink_ = DesktopDir() + L"\\" + kName + L".lnk";
    startMenuLink_ = ShellFolder(CSIDL_STARTMENU) + L"\\" + kName + L".lnk";
    savedStartMenu_ = ReadStartMenuValue();
    ASSERT_FALSE(savedStartMenu_.empty()) << "the sandbox names the Start menu folder";
  }
  void TearDown() override {
    WriteStartMenuValue(REG_SZ, savedStartMenu_);
    for (const std::wstring& file : {desktopLink_, startMenuLink_, RootDecoy()}) {
      ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW(file.c_str());
    }
  }

  static std::wstring ReadStartMenuValue() {
    wchar_t value[MAX_PATH] = {};
    DWORD bytes = sizeof(value);
    ::RegGetValueW(HKEY_CURRENT_USER, kShellFolders, L"Start Menu", RRF_RT_REG_SZ, nullptr, value,
                   &bytes);
    return value;
  }
  static void WriteStartMenuValue(DWORD type, const std::wstring& text) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, L"Start Menu", type, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  static void DeleteStartMenuValue() {
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kShellFolders, L"Start Menu");
  }
  // Where an empty folder value would point the deleter: the root of the current drive.
  // The test runs on drive C: for this, so that the decoy stays inside the sandbox.
  static std::wstring RootDecoy() { return std::wstring(L"C:\\") + kName + L".lnk"; }

  std::wstring desktopLink_, startMenuLink_, savedStartMenu_;
};

TEST_F(Shortcuts, DesktopShortcutIsDeletedOnce) {
  WriteFileBytes(desktopLink_, "L");
  EXPECT_TRUE(DeleteDesktopShortcut(kName));
  EXPECT_FALSE(FileExists(desktopLink_));
  EXPECT_FALSE(DeleteDesktopShortcut(kName)) << "nothing left to delete";
}

TEST_F(Shortcuts, StartMenuShortcutIsDeletedFromTheFolderTheRegistryNames) {
  WriteFileBytes(startMenuLink_, "L");
  EXPECT_TRUE(DeleteStartMenuShortcut(kName));
  EXPECT_FALSE(FileExists(startMenuLink_));
  EXPECT_FALSE(DeleteStartMenuShortcut(kName));

  // The registry, not the shell's own idea of the folder, says where to look.
  const std::wstring other = FreshFolder(L"shortcuts\\menu");
  WriteStartMenuValue(REG_SZ, other);
  WriteFileBytes(other + L"\\" + kName + L".lnk", "L");
  WriteFileBytes(startMenuLink_, "L");
  EXPECT_TRUE(DeleteStartMenuShortcut(kName));
  EXPECT_FALSE(FileExists(other + L"\\" + kName + L".lnk"));
  EXPECT_TRUE(FileExists(startMenuLink_));
}

TEST_F(Shortcuts, StartMenuValueMissingOrEmptyTouchesNothing) {
  WriteFileBytes(startMenuLink_, "L");
  WriteFileBytes(RootDecoy(), "L");
  wchar_t previous[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(FreshFolder(L"shortcuts\\cwd").c_str()));
  tk::ScopeExit back([&] { ::SetCurrentDirectoryW(previous); });
  DeleteStartMenuValue();
  EXPECT_FALSE(DeleteStartMenuShortcut(kName));
  WriteStartMenuValue(REG_SZ, L"");
  EXPECT_FALSE(DeleteStartMenuShortcut(kName));
  EXPECT_TRUE(FileExists(startMenuLink_));
  EXPECT_TRUE(FileExists(RootDecoy()));
}

TEST_F(Shortcuts, StartMenuValueOfAnotherTypeMeansNoShortcut) {
  WriteFileBytes(startMenuLink_, "L");
  const DWORD number = 7;
  ::RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, L"Start Menu", REG_DWORD, &number,
                    sizeof(number));
  EXPECT_FALSE(DeleteStartMenuShortcut(kName));
  EXPECT_TRUE(FileExists(startMenuLink_));
}

TEST_F(Shortcuts, ReadOnlyShortcutStaysAndFalseIsReturned) {
  WriteFileBytes(desktopLink_, "L");
  ASSERT_TRUE(::SetFileAttributesW(desktopLink_.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(DeleteDesktopShortcut(kName));
  EXPECT_TRUE(FileExists(desktopLink_));
}

}  // namespace
