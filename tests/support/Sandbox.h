// The sandbox a test runs in: its locations, the stand-ins for the host's browser and mail
// program, its temporary folder, and its Linux side.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// The product's key under HKEY_CURRENT_USER, as its installer writes it.
inline constexpr wchar_t kProductKey[] = L"Software\\OrvexDesign\\Pelmor Wallpaper Changer";
// Writes one of the product's values under that key: the text as the given string type (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ), the number 3 for REG_DWORD (a value of the wrong type), or no
// value at all for REG_NONE. False when the key cannot be opened.
bool StoreProductValue(const wchar_t* name, unsigned long type, const std::wstring& text = L"");

// --- locations (Windows paths, ending without a backslash) ---
std::wstring SandboxDir();  // the run's sandbox folder (Z:\\...\\sandbox)
std::wstring TrashDir();    // the XDG trash that Wine's Recycle Bin writes to
std::wstring BinDir();      // the build folder holding Uninstaller.exe and fixtures
// The exe under test: BinDir()\\Uninstaller.exe (the 64-bit twin), or the one named by
// ORVEX_UNINSTALLER_EXE (the shipped 32-bit exe, where 32-bit Wine runs it).
std::wstring UninstallerExe();
std::wstring FixtureExe(const std::wstring& name);  // BinDir()\\name.exe
std::wstring ShellFolder(int csidl);                // a shell folder without trailing backslash
std::wstring DesktopDir();
std::wstring TempDir();  // GetTempPath without trailing backslash
// A new empty folder on drive C: for one test (removed by the caller or left for inspection).
std::wstring FreshFolder(const std::wstring& name);

// Points TMP and TEMP of this process, and so of the programs it starts, at another folder for
// the object's lifetime.
class TempFolderOverride {
 public:
  explicit TempFolderOverride(const std::wstring& folder);
  ~TempFolderOverride();
  TempFolderOverride(const TempFolderOverride&) = delete;
  TempFolderOverride& operator=(const TempFolderOverride&) = delete;

 private:
  std::optional<std::wstring> tmp_, temp_;
};

// --- the stand-ins for the host's browser and mail program ---
// Lines that the stand-in browser / mail program recorded ("xdg-open" or "xdg-email").
std::vector<std::string> RecordedOpens(const std::wstring& tool);
// How many of them are that line.
size_t TimesRecorded(const std::wstring& tool, const std::wstring& line);
void ClearRecordedOpens();
// Waits until every hand-over to the host's browser or mail program has been passed on (Wine's
// winebrowser has ended). Wine does not wait for the host program it starts, so a record may
// still come just after: wait for the records a check expects first, then for this, so that no
// further one can follow.
bool WaitForHandOvers(std::chrono::milliseconds timeout);

// --- the Linux side ---
// The Linux path of a Windows path (Wine's own conversion); empty when there is none.
std::string UnixPathOf(const std::wstring& path);
// Runs a shell command on the Linux side and waits for it; true when it ended with 0.
bool RunOnLinux(const std::string& command);
// Text in single quotes for that shell.
std::string ShellQuoted(const std::string& text);
// A symbolic link named name in folder, leading to target (spelled relative to folder), made by
// the host's own tool: Wine's link call reports success and makes none. True once the link shows
// from this side, which needs a target that exists. Nothing of that name may show there yet; a
// link left dangling by an earlier run, which does not show, is replaced.
bool MakeHostLink(const std::wstring& folder, const std::wstring& name, const std::wstring& target);
// Removes such a link and never what it leads to: Wine's own delete call removes the target. The
// link must show (its target exists), so that its going can be watched.
bool RemoveHostLink(const std::wstring& folder, const std::wstring& name);

}  // namespace testing_support
