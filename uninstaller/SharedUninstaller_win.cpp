#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "toolkit/BufferText.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/SystemLibrary.h"
#include "toolkit/Text.h"
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

// The spellings of one folder: as given, full, long, short, and as the file system resolves it.
// Both a folder to be removed and every protected folder are compared in all of them.
std::vector<std::wstring> Spellings(const std::wstring& path) {
  std::vector<std::wstring> spellings{path};
  const auto add = [&spellings](std::wstring spelling) {
    if (!spelling.empty()) spellings.push_back(std::move(spelling));
  };
  add(FullPath(path));
  add(LongPath(path));
  add(ShortPath(path));
  add(ResolvedPath(path));
  return spellings;
}

// Under Wine a drive is a link to a Unix folder, and Z: is the Unix root: the folder that holds
// the drive's link, spelled through another drive, holds the drive. Empty elsewhere.
std::string UnixPathOf(const std::wstring& path) {
  using Convert = char*(CDECL*)(const wchar_t*);
  const auto convert = tk::SystemFunction<Convert>(L"kernel32.dll", "wine_get_unix_file_name");
  char* unix = convert ? convert(path.c_str()) : nullptr;
  if (!unix) return {};
  std::string text = unix;
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return text;
}

// What QueryDosDeviceW answers for a drive, read whole however long it is; nothing for a letter
// that names no drive, and no answer at all when it cannot be read whole.
std::optional<std::wstring> DosDeviceTarget(const std::wstring& device) {
  for (DWORD size = 1024; size <= 1 << 20; size *= 4) {
    std::wstring target(size, L'\0');
    if (::QueryDosDeviceW(device.c_str(), target.data(), size)) {
      target.resize(target.find(L'\0'));
      return target;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::wstring();
  }
  return std::nullopt;
}

// The folders where the volume of a drive's root is mounted, read whole; no answer when the
// list cannot be read whole.
std::optional<std::vector<std::wstring>> MountFolders(const std::wstring& root) {
  wchar_t volume[MAX_PATH] = {};
  if (!::GetVolumeNameForVolumeMountPointW(root.c_str(), volume, MAX_PATH))
    return std::vector<std::wstring>{};
  DWORD length = 1024;
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::wstring mounts(length, L'\0');
    if (::GetVolumePathNamesForVolumeNameW(volume, mounts.data(), length, &length)) {
      std::vector<std::wstring> folders;
      for (const wchar_t* mount = mounts.c_str(); *mount; mount += wcslen(mount) + 1)
        folders.emplace_back(mount);
      return folders;
    }
    if (::GetLastError() != ERROR_MORE_DATA) return std::vector<std::wstring>{};
  }
  return std::nullopt;
}

// The other spellings of each drive's root: the folders where its volume is mounted as well, the
// folder a substituted drive stands for, and under Wine the root's Unix location spelled through
// every drive that holds it. No answer when a drive's own answer could not be read whole: a rule
// that cannot know every spelling must not let any folder pass.
std::optional<std::vector<std::wstring>> DriveRootSpellings() {
  struct Drive {
    std::wstring root;
    std::string unix;
  };
  std::vector<Drive> drives;
  std::vector<std::wstring> spellings;
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    const std::wstring device{letter, L':'};
    const std::optional<std::wstring> target = DosDeviceTarget(device);
    if (!target) return std::nullopt;
    if (target->empty()) continue;
    // A substituted drive: "\??\C:\folder".
    if (target->rfind(L"\\??\\", 0) == 0 && IsFullFolderPath(target->substr(4)))
      spellings.push_back(target->substr(4));
    const std::wstring root = device + L"\\";
    const auto mounts = MountFolders(root);
    if (!mounts) return std::nullopt;
    for (const std::wstring& mount : *mounts)
      if (!SameFolder(mount, root)) spellings.push_back(mount);
    drives.push_back({root, UnixPathOf(root)});
  }
  for (const Drive& inner : drives)
    for (const Drive& outer : drives) {
      if (&inner == &outer || outer.unix.empty() || outer.unix.back() != '/' ||
          inner.unix.size() <= outer.unix.size() || inner.unix.rfind(outer.unix, 0) != 0)
        continue;
      std::wstring spelling = outer.root + tk::FromUtf8(inner.unix.substr(outer.unix.size()));
      for (wchar_t& c : spelling)
        if (c == L'/') c = L'\\';
      spellings.push_back(spelling);
    }
  return spellings;
}

// Every spelling of every folder of the list, each once, in upper case for comparing.
std::vector<std::wstring> AllSpellingsUpper(const std::vector<std::wstring>& folders) {
  std::vector<std::wstring> all;
  for (const std::wstring& folder : folders)
    for (const std::wstring& spelling : Spellings(folder)) {
      std::wstring upper = Upper(Trail(spelling));
      if (std::find(all.begin(), all.end(), upper) == all.end()) all.push_back(std::move(upper));
    }
  return all;
}

// Every folder the known-folder manager lists: the system's own and those that other programs
// register, whatever the fixed lists hold. Nothing when the manager cannot be asked.
std::vector<std::wstring> RegisteredKnownFolders() {
  std::vector<std::wstring> folders;
  tk::ComPtr<IKnownFolderManager> manager;
  if (FAILED(::CoCreateInstance(CLSID_KnownFolderManager, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IKnownFolderManager, manager.put_void())))
    return folders;
  KNOWNFOLDERID* ids = nullptr;
  UINT count = 0;
  if (FAILED(manager->GetFolderIds(&ids, &count)) || !ids) return folders;
  for (UINT i = 0; i < count; ++i) {
    tk::ComPtr<IKnownFolder> folder;
    tk::UniqueCoTaskString path;
    if (SUCCEEDED(manager->GetFolder(ids[i], folder.put())) &&
        SUCCEEDED(folder->GetPath(KF_FLAG_DONT_VERIFY, path.put())) && path.get() && *path.get())
      folders.push_back(path.get());
  }
  ::CoTaskMemFree(ids);
  return folders;
}

// Folders that no list names in every process: the 64-bit program folders, which a 32-bit
// program on a 64-bit system can learn only from its environment, and the per-user program
// folder, where per-user installers put other programs (the manager lists it where the system
// knows it, not under Wine).
std::vector<std::wstring> UnlistedProgramFolders() {
  std::vector<std::wstring> folders;
  for (const wchar_t* name : {L"ProgramW6432", L"CommonProgramW6432"})
    if (std::wstring folder = EnvironmentValue(name); !folder.empty()) folders.push_back(folder);
  if (std::wstring local = KnownFolder(FOLDERID_LocalAppData); !local.empty())
    folders.push_back(Trail(local) + L"Programs");
  return folders;
}

// Where the Recycle Bin keeps what it holds: a folder on each drive, and under Wine the desktop's
// trash on the Unix side.
std::vector<std::wstring> RecycleBinStorage() {
  std::vector<std::wstring> folders;
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    const std::wstring root{letter, L':', L'\\'};
    if (::GetDriveTypeW(root.c_str()) <= DRIVE_NO_ROOT_DIR) continue;
    folders.push_back(root + L"$Recycle.Bin");
    folders.push_back(root + L"RECYCLER");
  }
  using ToDos = wchar_t*(CDECL*)(const char*);
  const auto toDos = tk::SystemFunction<ToDos>(L"kernel32.dll", "wine_get_dos_file_name");
  if (!toDos) return folders;
  const std::wstring data = EnvironmentValue(L"XDG_DATA_HOME");
  const std::wstring home = EnvironmentValue(L"HOME");
  const std::wstring trash = !data.empty()   ? data + L"/Trash"
                             : !home.empty() ? home + L"/.local/share/Trash"
                                             : std::wstring();
  if (wchar_t* dos = trash.empty() ? nullptr : toDos(tk::ToUtf8(trash).c_str())) {
    folders.push_back(dos);
    ::HeapFree(::GetProcessHeap(), 0, dos);
  }
  return folders;
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
  // Without a desktop folder the name alone would be looked for in the current folder.
  const std::wstring desktop = GetDesktopFolder();
  if (desktop.empty()) return false;
  return DeleteShortcutFile(desktop + name + L".lnk");
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
  for (std::wstring& folder : RegisteredKnownFolders())
    folders.contained_.push_back(std::move(folder));
  for (std::wstring& folder : UnlistedProgramFolders())
    folders.contained_.push_back(std::move(folder));
  // Shared by every program of the user, and where the running uninstaller lives.
  folders.contained_.push_back(GetTempFolder());
  folders.bin_ = AllSpellingsUpper(RecycleBinStorage());
  if (auto roots = DriveRootSpellings())
    for (std::wstring& root : *roots) folders.contained_.push_back(std::move(root));
  else
    folders.complete_ = false;
  folders.special_ = AllSpellingsUpper(folders.special_);
  folders.contained_ = AllSpellingsUpper(folders.contained_);
  return folders;
}

bool ProtectedFolders::Protect(const std::wstring& path) const {
  if (!complete_) return true;
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
        if (FolderIsOrContains(candidate, folder)) return true;
    for (const std::wstring& bin : bin_)
      if (FolderIsOrContains(candidate, bin) || FolderIsOrContains(bin, candidate)) return true;
  }
  return false;
}

bool IsProtectedFolder(const std::wstring& path) {
  return ProtectedFolders::Read().Protect(path);
}

std::wstring OwnRunFolder() {
  const std::wstring folder = AppFolder();
  const std::wstring own = WithoutTrailingBackslash(folder);
  if (!IsRunFolderName(FileNamePart(own, psBackslash), kRunFolderPrefix)) return L"";
  // The temporary folder may be set in its short form, and the program's path comes in its long.
  const std::wstring parent = LongPath(FolderPart(own, psBackslash));
  return !parent.empty() && SameFolder(parent, LongPath(GetTempFolder())) ? folder : L"";
}

std::vector<std::wstring> RunFolderFileNames() {
  return {FileNamePart(AppExeName(), psAll), kDebugModeFile};
}

std::wstring PrepareRunFolderRemoval() {
  const std::wstring folder = OwnRunFolder();
  if (!folder.empty()) ::DeleteFileW((folder + kDebugModeFile).c_str());
  return folder;
}
