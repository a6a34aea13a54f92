// The Windows half of ccIO, by area: here existence, creation, the path's forms and parts, shell
// folders, drives and the start-up services; whole files in ccIO_files_win.cpp, the Recycle Bin in
// ccIO_recycle_win.cpp, the pickers in ccIO_pickers_win.cpp.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/BufferText.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/SysError.h"
#include "toolkit/SystemLibrary.h"
#include "toolkit/Text.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/ccIO_win_shared.h"
#include "OrvexCommonControls/ccStringList.h"
#include "OrvexCommonControls/ccWinVersion.h"

namespace {

const wchar_t kCcIOModule[] = L"ccIO";

// Attributes of what the path names; with followLinks, of a symbolic link's or junction's target.
DWORD Attributes(const std::wstring& path, bool followLinks) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (!followLinks || attributes == INVALID_FILE_ATTRIBUTES ||
      !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return attributes;
  tk::UniqueFile target(::CreateFileW(path.c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!target || !::GetFileInformationByHandle(target.get(), &info)) return INVALID_FILE_ATTRIBUTES;
  return info.dwFileAttributes;
}

bool HasAttributes(const std::wstring& path, bool followLinks, DWORD mask, DWORD wanted) {
  const DWORD attributes = Attributes(path, followLinks);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & mask) == wanted;
}

bool IsDirectory(const std::wstring& path) {
  return HasAttributes(path, true, FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FullPathOf(const std::wstring& path) {
  const std::wstring full = FullPath(path);
  return full.empty() ? path : full;
}

// The folder that GetTempPathW names, by the call's own rule: the first of TMP, TEMP and
// USERPROFILE that is set, else the Windows folder, made absolute.
std::wstring TempFolderByRule() {
  for (const wchar_t* name : {L"TMP", L"TEMP", L"USERPROFILE"}) {
    const std::wstring folder = EnvironmentValue(name);
    if (!folder.empty()) return Trail(FullPathOf(folder));
  }
  return Trail(tk::GrowingBufferText(
      [](wchar_t* buffer, DWORD size) { return ::GetWindowsDirectoryW(buffer, size); }));
}

void CheckDriveExists(const std::wstring& fullPath) {
  if (!IsDriveRooted(fullPath)) return;
  const wchar_t letter = fullPath[static_cast<size_t>(PathStartPos(fullPath)) - 1];
  const int number = DriveLetterToNumber(letter);
  if (!(::GetLogicalDrives() & (1u << (number - 1))))
    throw tk::EArgumentException(L"The drive cannot be found");
}

// The create-directory step: every missing folder from the root down. A folder that cannot be
// made ends the walk quietly; the caller learns of it by testing for the folder afterwards.
void CreateFolderTree(const std::wstring& path) {
  CheckFolderPathSyntax(path);
  const std::wstring full = FullPathOf(path);
  CheckFolderPathLength(full);
  CheckDriveExists(full);
  for (const std::wstring& folder : FolderChain(full)) {
    // An existing parent may refuse creation (a share's root, a protected folder) yet be usable.
    if (IsDirectory(folder)) continue;
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && !IsDirectory(folder)) return;
  }
}

std::wstring DriveRootOf(int driveNumber) {
  return std::wstring(1, static_cast<wchar_t>(L'A' + driveNumber - 1)) + L":\\";
}

// A path that FindFirstFileW reads at any length: drive-rooted paths get the long-path prefix.
std::wstring SearchablePath(const std::wstring& path) {
  if (PathStartPos(path) == 1 && IsDriveRooted(path)) return L"\\\\?\\" + path;
  return path;
}

// The first entry of a folder's listing. The quicker basic listing with large fetches came with
// Windows 7; Vista, which the program supports, refuses both as an invalid parameter and gets the
// standard one.
tk::UniqueFindHandle FirstEntry(const std::wstring& folder, WIN32_FIND_DATAW& found) {
  const std::wstring pattern = folder + L"\\*";
  tk::UniqueFindHandle search(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                                 FindExSearchNameMatch, nullptr,
                                                 FIND_FIRST_EX_LARGE_FETCH));
  if (!search && ::GetLastError() == ERROR_INVALID_PARAMETER)
    search.reset(::FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &found,
                                    FindExSearchNameMatch, nullptr, 0));
  return search;
}

// Hands each entry of a folder's listing but "." and ".." to visit, until it returns false. True
// when the whole listing was read: the folder opened, no visit stopped it and no error cut it
// short.
template <typename Visit>
bool ReadListing(const std::wstring& folder, Visit&& visit) {
  WIN32_FIND_DATAW found{};
  tk::UniqueFindHandle search = FirstEntry(folder, found);
  if (!search) return false;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (!visit(found)) return false;
  } while (::FindNextFileW(search.get(), &found));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

bool IsLinkAttributes(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

// --- existence ---

std::wstring FullPath(const std::wstring& path) {
  return tk::GrowingBufferText([&path](wchar_t* buffer, DWORD size) {
    return ::GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
}

std::wstring LongPath(const std::wstring& path) {
  return tk::GrowingBufferText([&path](wchar_t* buffer, DWORD size) {
    return ::GetLongPathNameW(path.c_str(), buffer, size);
  });
}

std::wstring ShortPath(const std::wstring& path) {
  return tk::GrowingBufferText([&path](wchar_t* buffer, DWORD size) {
    return ::GetShortPathNameW(path.c_str(), buffer, size);
  });
}

bool PathExists(const std::wstring& path) {
  return Attributes(path, false) != INVALID_FILE_ATTRIBUTES;
}

bool FolderExists(const std::wstring& path, bool followLinks) {
  if (!path.empty() && path.back() == L' ') return false;
  return HasAttributes(path, followLinks, FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path, bool followLinks) {
  return HasAttributes(path, followLinks, FILE_ATTRIBUTE_DIRECTORY, 0);
}

bool IsFolder(const std::wstring& path) {
  if (IsFile(path)) return false;
  return FolderExists(path, true);
}

bool IsRegularFile(const std::wstring& path) {
  const DWORD attributes = Attributes(path, false);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

bool HoldsLink(const std::wstring& path) {
  const std::wstring item = WithoutTrailingBackslash(path);
  const DWORD attributes = Attributes(item, false);
  if (IsLinkAttributes(attributes)) return true;
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  std::vector<std::wstring> folders{SearchablePath(item)};
  while (!folders.empty()) {
    const std::wstring folder = std::move(folders.back());
    folders.pop_back();
    // Stopped at a link, or a folder that cannot be read through, which may hold anything.
    const bool readWhole = ReadListing(folder, [&](const WIN32_FIND_DATAW& found) {
      if (IsLinkAttributes(found.dwFileAttributes)) return false;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        folders.push_back(folder + L"\\" + found.cFileName);
      return true;
    });
    if (!readWhole) return true;
  }
  return false;
}

bool DirectoryExistMsg(const std::wstring& path) {
  if (FolderExists(path, true)) return true;
  if (path.empty())
    MesajInfo(L"DirectoryExistMsg: No folder specified!");
  else if (path.find(L':') != std::wstring::npos)
    MesajError(L"Folder does not exist:\r\n" + path);
  else
    MesajError(L"A relative path was provided instead of a full path!\r\n" + path);
  return false;
}

// --- creation ---

bool MakeFolderTree(const std::wstring& path) {
  CreateFolderTree(path);
  return FolderExists(path, true);
}

int ForceDirectories(const std::wstring& path) {
  tk::Assert(!path.empty(), L"ForceDirectories - Parameter is empty!", kCcIOModule);
  if (FolderExists(path, true)) return 0;
  return MakeFolderTree(path) ? 1 : -1;
}

bool ForceDirectoriesMsg(const std::wstring& path) {
  if (ForceDirectories(path) >= 0) return true;
  MesajError(L"Cannot create folder: " + path +
             L"\r\nProbably you are trying to write to a folder to which you don't have write "
             L"permissions, or, the folder you want to create is invalid.");
  return false;
}

// --- path parts ---

std::wstring ExtractPath(const std::wstring& path, bool silent) {
  // Silent spares the caller only the report of an empty or invalid path; what the directory-name
  // step refuses (too long, a control character) reaches the caller either way.
  if (!path.empty() && HasValidPathChars(path)) return Trail(PathDirectoryName(path));
  if (silent) return L"";
  throw tk::EArgumentException(L"The path is invalid!\r\n" + path);
}

std::wstring AppFolder() {
  return ExtractPath(AppExeName(), true);
}

// --- shell folders ---

std::wstring GetSpecialFolder(int csidl, bool create) {
  // The call takes no buffer size and says nothing of the text's length: it writes at most
  // MAX_PATH characters, and the text ends at the first NUL within them.
  wchar_t buffer[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, csidl | (create ? CSIDL_FLAG_CREATE : 0), nullptr, SHGFP_TYPE_CURRENT,
                     buffer);
  const auto length = static_cast<size_t>(std::find(buffer, buffer + MAX_PATH, L'\0') - buffer);
  return Trail(std::wstring(buffer, length));
}

std::wstring GetMyDocuments() {
  return GetSpecialFolder(5, false);
}

std::wstring GetDesktopFolder() {
  return GetSpecialFolder(16, false);
}

std::wstring AppDataFolder() {
  tk::Assert(IsValidFileName(AppName), L"Invalid chars in AppName: " + AppName, kCcIOModule);
  return Trail(Trail(GetSpecialFolder(26, false)) + AppName);
}

TTSL* GetSpecialFolders() {
  // clang-format off
  static const int kFolders[] = {
      0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 5, 13, 14,
      16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32,
      33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49,
      53, 54, 55, 56, 57, 58, 59, 61,
      0x8000, 0x4000, 0x2000, 0x1000, 0x0800, 0xFF00};
  // clang-format on
  static_assert(sizeof(kFolders) / sizeof(kFolders[0]) == 63);
  auto list = std::make_unique<TTSL>();
  for (int csidl : kFolders) list->Add(GetSpecialFolder(csidl, false));
  return list.release();
}

bool IsSpecialFolder(const std::wstring& path) {
  std::unique_ptr<TTSL> folders(GetSpecialFolders());
  for (int i = 0; i < folders->Count(); ++i)
    if (SameFolder(path, folders->Strings(i))) return true;
  return false;
}

// --- drives ---

unsigned DriveType(const std::wstring& path) {
  return ::GetDriveTypeW(Trail(path).c_str());
}

bool DiskInDrive(int driveNumber) {
  if (driveNumber < 0 || driveNumber > 26) return false;
  const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS);
  tk::ScopeExit restore([previous] { ::SetErrorMode(previous); });
  const std::wstring root = driveNumber == 0 ? std::wstring() : DriveRootOf(driveNumber);
  ULARGE_INTEGER total{};
  return ::GetDiskFreeSpaceExW(root.empty() ? nullptr : root.c_str(), nullptr, &total, nullptr) !=
         FALSE;
}

bool DriveIsReady(const std::wstring& path) {
  const unsigned type = DriveType(path);
  if (type < DRIVE_REMOVABLE) return false;
  if (type == DRIVE_REMOTE) return true;
  return DiskInDrive(DriveLetterToNumber(path.empty() ? L'\0' : path[0]));
}

// --- start-up services ---

std::wstring EnvironmentValue(const wchar_t* name) {
  return tk::GrowingBufferText([name](wchar_t* buffer, DWORD size) {
    return ::GetEnvironmentVariableW(name, buffer, size);
  });
}

std::wstring GetTempFolder() {
  DWORD error = ERROR_SUCCESS;
  const std::wstring folder = tk::GrowingBufferText([&error](wchar_t* buffer, DWORD size) {
    const DWORD length = ::GetTempPathW(size, buffer);
    error = length == 0 ? ::GetLastError() : ERROR_SUCCESS;
    return length;
  });
  // Some systems refuse a folder longer than MAX_PATH instead of saying how long it is; the
  // copy made at start-up still needs the user's own temporary folder, not none at all.
  if (folder.empty() && error == ERROR_FILENAME_EXCED_RANGE) return TempFolderByRule();
  return folder;
}

namespace {

// Eight hexadecimal digits that differ from run to run and from try to try.
std::wstring RunFolderDigits(unsigned attempt) {
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  uint32_t mixed = static_cast<uint32_t>(counter.QuadPart) ^
                   static_cast<uint32_t>(counter.QuadPart >> 32) ^ (::GetCurrentProcessId() << 16) ^
                   (attempt * 0x9E3779B9u);
  std::wstring digits(8, L'0');
  for (wchar_t& digit : digits) {
    digit = L"0123456789ABCDEF"[mixed >> 28];
    mixed <<= 4;
  }
  return digits;
}

// A left run folder holds nothing but files of the run's names: no folder, no link, no other name.
bool HoldsOnlyRunFiles(const std::wstring& folder, const std::vector<std::wstring>& names) {
  return ReadListing(folder, [&](const WIN32_FIND_DATAW& found) {
    const bool known = std::any_of(names.begin(), names.end(), [&](const std::wstring& own) {
      return ::CompareStringOrdinal(own.c_str(), -1, found.cFileName, -1, TRUE) == CSTR_EQUAL;
    });
    return known &&
           !(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  });
}

}  // namespace

std::wstring CreateRunFolder(const std::wstring& parent, const std::wstring& prefix) {
  if (parent.empty() || PathRootLength(parent) == 0) return L"";
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring folder = Trail(parent) + prefix + RunFolderDigits(attempt);
    // Made here or not at all: a name that is taken, by a folder, a file or a link, is passed by.
    if (::CreateDirectoryW(folder.c_str(), nullptr)) return folder + L"\\";
    if (!ccio_win::NameTaken(::GetLastError())) return L"";
  }
  return L"";
}

void RemoveLeftRunFolders(const std::wstring& parent, const std::wstring& prefix,
                          const std::vector<std::wstring>& fileNames) {
  if (parent.empty() || PathRootLength(parent) == 0) return;
  const std::wstring root = WithoutTrailingBackslash(parent);
  // The run folders, and the run folders that the scripts left beside them are named after; what
  // the listing holds past an error is left for the next run.
  std::vector<std::wstring> left, scriptFolders;
  ReadListing(root, [&](const WIN32_FIND_DATAW& found) {
    const std::wstring name = found.cFileName;
    if (IsLinkAttributes(found.dwFileAttributes)) return true;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (IsRunFolderName(name, prefix)) left.push_back(root + L"\\" + name);
    } else if (const std::wstring folder = WithoutExtension(name);
               IsRunFolderName(folder, prefix) && RunFolderScript(folder) == name) {
      scriptFolders.push_back(root + L"\\" + folder);
    }
    return true;
  });
  for (const std::wstring& folder : left) {
    if (!HoldsOnlyRunFiles(folder, fileNames)) continue;
    // In the order given, the program first: a file still in use keeps the rest.
    const bool deleted =
        std::all_of(fileNames.begin(), fileNames.end(), [&](const std::wstring& name) {
          const std::wstring file = folder + L"\\" + name;
          return ::DeleteFileW(file.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
        });
    if (deleted) ::RemoveDirectoryW(folder.c_str());
  }
  // A script whose folder is still there may still be running: it stays.
  for (const std::wstring& folder : scriptFolders)
    if (!PathExists(folder)) ::DeleteFileW(RunFolderScript(folder).c_str());
}
