// The protected-folder list, entry by entry against the shell's own answer for each folder number,
// and IsSpecialFolder over every real folder of it.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <iterator>
#include <memory>
#include <string>

#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/ccStringList.h"

using namespace testing_support;

namespace {

struct ShellFolderNumber {
  int csidl;
  const char* name;
};

// The list's fixed order. The Documents alias has the value of Documents itself, and the last six
// are flag bits that the shell reads as the desktop with flags (or refuses).
constexpr ShellFolderNumber kProtected[] = {
    {CSIDL_DESKTOP, "DESKTOP"},
    {CSIDL_INTERNET, "INTERNET"},
    {CSIDL_PROGRAMS, "PROGRAMS"},
    {CSIDL_CONTROLS, "CONTROLS"},
    {CSIDL_PRINTERS, "PRINTERS"},
    {CSIDL_PERSONAL, "PERSONAL"},
    {CSIDL_FAVORITES, "FAVORITES"},
    {CSIDL_STARTUP, "STARTUP"},
    {CSIDL_RECENT, "RECENT"},
    {CSIDL_SENDTO, "SENDTO"},
    {CSIDL_BITBUCKET, "BITBUCKET"},
    {CSIDL_STARTMENU, "STARTMENU"},
    {CSIDL_MYDOCUMENTS, "MYDOCUMENTS"},
    {CSIDL_MYMUSIC, "MYMUSIC"},
    {CSIDL_MYVIDEO, "MYVIDEO"},
    {CSIDL_DESKTOPDIRECTORY, "DESKTOPDIRECTORY"},
    {CSIDL_DRIVES, "DRIVES"},
    {CSIDL_NETWORK, "NETWORK"},
    {CSIDL_NETHOOD, "NETHOOD"},
    {CSIDL_FONTS, "FONTS"},
    {CSIDL_TEMPLATES, "TEMPLATES"},
    {CSIDL_COMMON_STARTMENU, "COMMON_STARTMENU"},
    {CSIDL_COMMON_PROGRAMS, "COMMON_PROGRAMS"},
    {CSIDL_COMMON_STARTUP, "COMMON_STARTUP"},
    {CSIDL_COMMON_DESKTOPDIRECTORY, "COMMON_DESKTOPDIRECTORY"},
    {CSIDL_APPDATA, "APPDATA"},
    {CSIDL_PRINTHOOD, "PRINTHOOD"},
    {CSIDL_LOCAL_APPDATA, "LOCAL_APPDATA"},
    {CSIDL_ALTSTARTUP, "ALTSTARTUP"},
    {CSIDL_COMMON_ALTSTARTUP, "COMMON_ALTSTARTUP"},
    {CSIDL_COMMON_FAVORITES, "COMMON_FAVORITES"},
    {CSIDL_INTERNET_CACHE, "INTERNET_CACHE"},
    {CSIDL_COOKIES, "COOKIES"},
    {CSIDL_HISTORY, "HISTORY"},
    {CSIDL_COMMON_APPDATA, "COMMON_APPDATA"},
    {CSIDL_WINDOWS, "WINDOWS"},
    {CSIDL_SYSTEM, "SYSTEM"},
    {CSIDL_PROGRAM_FILES, "PROGRAM_FILES"},
    {CSIDL_MYPICTURES, "MYPICTURES"},
    {CSIDL_PROFILE, "PROFILE"},
    {CSIDL_SYSTEMX86, "SYSTEMX86"},
    {CSIDL_PROGRAM_FILESX86, "PROGRAM_FILESX86"},
    {CSIDL_PROGRAM_FILES_COMMON, "PROGRAM_FILES_COMMON"},
    {CSIDL_PROGRAM_FILES_COMMONX86, "PROGRAM_FILES_COMMONX86"},
    {CSIDL_COMMON_TEMPLATES, "COMMON_TEMPLATES"},
    {CSIDL_COMMON_DOCUMENTS, "COMMON_DOCUMENTS"},
    {CSIDL_COMMON_ADMINTOOLS, "COMMON_ADMINTOOLS"},
    {CSIDL_ADMINTOOLS, "ADMINTOOLS"},
    {CSIDL_CONNECTIONS, "CONNECTIONS"},
    {CSIDL_COMMON_MUSIC, "COMMON_MUSIC"},
    {CSIDL_COMMON_PICTURES, "COMMON_PICTURES"},
    {CSIDL_COMMON_VIDEO, "COMMON_VIDEO"},
    {CSIDL_RESOURCES, "RESOURCES"},
    {CSIDL_RESOURCES_LOCALIZED, "RESOURCES_LOCALIZED"},
    {CSIDL_COMMON_OEM_LINKS, "COMMON_OEM_LINKS"},
    {CSIDL_CDBURN_AREA, "CDBURN_AREA"},
    {CSIDL_COMPUTERSNEARME, "COMPUTERSNEARME"},
    {CSIDL_FLAG_CREATE, "FLAG_CREATE"},
    {CSIDL_FLAG_DONT_VERIFY, "FLAG_DONT_VERIFY"},
    {CSIDL_FLAG_NO_ALIAS, "FLAG_NO_ALIAS"},
    {CSIDL_FLAG_DONT_UNEXPAND, "FLAG_DONT_UNEXPAND"},
    {CSIDL_FLAG_PER_USER_INIT, "FLAG_PER_USER_INIT"},
    {CSIDL_FLAG_MASK, "FLAG_MASK"},
};
static_assert(std::size(kProtected) == 63);
static_assert(CSIDL_MYDOCUMENTS == 5 && CSIDL_FLAG_MASK == 0xFF00);

std::wstring WithoutLastBackslash(std::wstring path) {
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// Every ASCII letter in the other case.
std::wstring OtherCase(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z')
      c = static_cast<wchar_t>(c - L'a' + L'A');
    else if (c >= L'A' && c <= L'Z')
      c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

}  // namespace

TEST(SpecialFolderList, EveryEntryIsTheShellsCurrentPathOfItsFolderInOrder) {
  std::unique_ptr<TTSL> list(GetSpecialFolders());
  ASSERT_EQ(list->Count(), 63);
  int real = 0;
  for (int i = 0; i < 63; ++i) {
    const ShellFolderNumber& folder = kProtected[i];
    // The shell itself reports no file-system folder for a virtual one: an empty entry.
    EXPECT_EQ(list->Strings(i), Trail(ShellFolder(folder.csidl)))
        << "entry " << i << " should be CSIDL_" << folder.name << " (" << folder.csidl << ")";
    if (!list->Strings(i).empty()) ++real;
  }
  // The shell folders that every prefix has, so that the order above is checked on real paths.
  EXPECT_GE(real, 30);
  EXPECT_EQ(list->Strings(12), list->Strings(5));
  EXPECT_EQ(list->Strings(57), list->Strings(0)) << "the create flag alone names the desktop";
}

TEST(SpecialFolderList, EveryRealFolderIsSpecialInTheOtherCaseWithoutItsBackslash) {
  std::unique_ptr<TTSL> list(GetSpecialFolders());
  ASSERT_EQ(list->Count(), 63);
  for (int i = 0; i < list->Count(); ++i) {
    const std::wstring entry = list->Strings(i);
    if (entry.empty()) continue;
    const std::wstring spelled = OtherCase(WithoutLastBackslash(entry));
    ASSERT_NE(spelled, WithoutLastBackslash(entry)) << "entry " << i << " has no letters";
    EXPECT_TRUE(IsSpecialFolder(spelled)) << i << ": " << Wide2Utf8(spelled);
    // A folder below a protected one is not protected by it.
    EXPECT_FALSE(IsSpecialFolder(entry + L"Pelmor Wallpaper Changer")) << i;
  }
}
