#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "toolkit/BufferText.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "uninstaller/SharedUninstaller.h"
#include "OrvexCommonControls/cWindow.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/ccRegistry.h"
#include "OrvexCommonControls/ccStringList.h"

namespace {

constexpr wchar_t kShellFoldersKey[] =
    L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer"
    L"\\"
    L"Shell Folders";

bool DeleteShortcutFile(const std::wstring& path) {
  return ::DeleteFileW(path.c_str()) != FALSE;
}

// Folders of the user's that have no CSIDL number, so the special-folder list does not hold them.
const KNOWNFOLDERID* const kUnlistedFolders[] = {
    &FOLDERID_Profile,         &FOLDERID_Downloads,      &FOLDERID_UserProfiles, &FOLDERID_Public,
    &FOLDERID_PublicDownloads, &FOLDERID_SavedGames,     &FOLDERID_Links,        &FOLDERID_Contacts,
    &FOLDERID_SavedSearches,   &FOLDERID_LocalAppDataLow};

std::wstring KnownFolder(const KNOWNFOLDERID& id) {
  tk::UniqueCoTaskString path;
  if (FAILED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, path.put())) || !path.get())
    return {};
  return path.get();
}

std::wstring Upper(const std::wstring& text) {
  std::wstring upper = text;
  if (!upper.empty()) ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

std::wstring WithoutLongPrefix(const std::wstring& path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
  return path;
}

// The folder as the file system resolves it: links followed, short names made long.
std::wstring ResolvedPath(const std::wstring& path) {
  tk::UniqueFile folder(::CreateFileW(path.c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder) return {};
  return WithoutLongPrefix(tk::SizedBufferText([&](wchar_t* buffer, DWORD size) {
    return ::GetFinalPathNameByHandleW(folder.get(), buffer, size, FILE_NAME_NORMALIZED);
  }));
}

// The spellings of one folder that the protected list is compared with.
std::vector<std::wstring> Spellings(const std::wstring& path) {
  std::vector<std::wstring> spellings{path};
  const std::wstring full = tk::SizedBufferText([&](wchar_t* buffer, DWORD size) {
    return ::GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
  if (!full.empty()) spellings.push_back(full);
  const std::wstring longForm = tk::SizedBufferText(
      [&](wchar_t* buffer, DWORD size) { return ::GetLongPathNameW(path.c_str(), buffer, size); });
  if (!longForm.empty()) spellings.push_back(longForm);
  if (std::wstring resolved = ResolvedPath(path); !resolved.empty()) spellings.push_back(resolved);
  return spellings;
}

bool IsLink(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(WithoutTrailingBackslash(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

bool ActivateRunningInstance() {
  const HWND window = FindWindowByClass(InstanceMutexName);
  if (!window) return false;
  ActivateWindow(window);
  return true;
}

bool DeleteDesktopShortcut(const std::wstring& name) {
  return DeleteShortcutFile(GetDesktopFolder() + name + L".lnk");
}

bool DeleteStartMenuShortcut(const std::wstring& name) {
  std::wstring startMenu;
  try {
    startMenu = RegReadString(HKEY_CURRENT_USER, kShellFoldersKey, L"Start Menu");
  } catch (const tk::ERegistryException&) {
    // A value of the wrong type names no folder: there is no shortcut to look for.
    return false;
  }
  if (startMenu.empty()) return false;
  return DeleteShortcutFile(startMenu + L"\\" + name + L".lnk");
}

ProtectedFolders ProtectedFolders::Read() {
  ProtectedFolders folders;
  std::unique_ptr<TTSL> special(GetSpecialFolders());
  for (int i = 0; i < special->Count(); ++i)
    if (!special->Strings(i).empty()) folders.special_.push_back(special->Strings(i));
  for (const KNOWNFOLDERID* id : kUnlistedFolders)
    if (std::wstring folder = KnownFolder(*id); !folder.empty())
      folders.contained_.push_back(folder);
  // Shared by every program of the user, and where the running uninstaller lives.
  folders.contained_.push_back(GetTempFolder());
  return folders;
}

bool ProtectedFolders::Protect(const std::wstring& path) const {
  for (const std::wstring& folder : special_)
    if (SameFolder(path, folder)) return true;
  // A long-path prefix turns off the rules by which the text was read, and the shell's file
  // operation does not take it; wildcards name no one folder.
  if (!HasValidPathChars(path)) return true;
  if (!IsFullFolderPath(path) || IsRootFolder(path) || HasAmbiguousParts(path)) return true;
  if (IsLink(path)) return true;
  for (const std::wstring& spelling : Spellings(path)) {
    if (IsRootFolder(spelling)) return true;
    const std::wstring candidate = Upper(spelling);
    for (const auto* list : {&special_, &contained_})
      for (const std::wstring& folder : *list)
        if (FolderIsOrContains(candidate, Upper(folder))) return true;
  }
  return false;
}

bool IsProtectedFolder(const std::wstring& path) {
  return ProtectedFolders::Read().Protect(path);
}
