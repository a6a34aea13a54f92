// The Windows half of ccIO: existence, creation, shell folders, drives, the Recycle Bin, text
// files, the pickers and the start-up services.
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

void WriteAll(HANDLE file, std::string_view bytes, const std::wstring& fileName) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
      throw tk::EInOutError(tk::FileErrorText(L"Cannot write to file", fileName, ::GetLastError()));
    done += written;
  }
}

std::string ReadAll(const std::wstring& fileName) {
  tk::UniqueFile file(::CreateFileW(fileName.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    throw tk::EFOpenError(tk::FileErrorText(L"Cannot open file", fileName, ::GetLastError()));
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr))
      throw tk::EInOutError(tk::FileErrorText(L"Cannot read file", fileName, ::GetLastError()));
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return bytes;
}

// A name beside the target that a file on its way to the target's name takes first.
std::wstring NameBeside(const std::wstring& target, unsigned attempt) {
  std::wstring name = target + L".~";
  tk::AppendDecimal(name, ::GetCurrentProcessId());
  name += L'-';
  tk::AppendDecimal(name, attempt);
  return name + L".tmp";
}

bool NameTaken(DWORD error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// Moves a finished file onto the target's name: a file or a link there is replaced, and what a
// link leads to is never written. On failure the finished file goes and the error is kept.
bool MoveIntoPlace(const std::wstring& finished, const std::wstring& target) {
  if (::MoveFileExW(finished.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  const DWORD error = ::GetLastError();
  ::DeleteFileW(finished.c_str());
  ::SetLastError(error);
  return false;
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

bool IsLinkAttributes(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Watches the dialogs the shell opens on this thread while it deletes an item. What it asks
// while it is told to ask nothing else (FOF_NOCONFIRMATION) is its offer to delete for good what
// the Recycle Bin cannot take: a box with Yes and No. For an item that holds links the offer is
// declined unseen, since deleting for good walks into links (Wine's shell empties their targets);
// the tree is looked through only when the shell asks, so an item the Recycle Bin takes costs
// nothing.
class DeleteOperationWatch {
 public:
  explicit DeleteOperationWatch(std::wstring item)
      : item_(std::move(item)), previous_(std::exchange(current_, this)) {
    hook_.reset(::SetWindowsHookExW(WH_CBT, Proc, nullptr, ::GetCurrentThreadId()));
  }
  DeleteOperationWatch(const DeleteOperationWatch&) = delete;
  DeleteOperationWatch& operator=(const DeleteOperationWatch&) = delete;
  ~DeleteOperationWatch() {
    hook_.reset();
    current_ = previous_;
  }

  bool Watching() const { return static_cast<bool>(hook_); }
  // An offer to delete for good was shown, or declined unseen.
  bool Offered() const { return offers_ > 0 || declinedUnseen_; }
  // Every dialog the operation showed was such an offer.
  bool OnlyOffers() const { return others_ == 0; }
  bool ShowedNothing() const { return offers_ == 0 && others_ == 0 && !declinedUnseen_; }

 private:
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    if (current_ && code == HCBT_CREATEWND &&
        IsDialogClass(reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->lpszClass) &&
        current_->ItemHoldsLink()) {
      current_->declinedUnseen_ = true;
      return 1;  // the window is not made; the shell takes that as No
    }
    if (current_ && code == HCBT_ACTIVATE) current_->Seen(reinterpret_cast<HWND>(wParam));
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static bool IsDialogClass(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) return name == WC_DIALOG;
    return name && std::wstring_view(name) == L"#32770";
  }
  void Seen(HWND window) {
    if (!seen_.insert(window).second) return;
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wstring_view(name) != L"#32770") return;
    if (::GetDlgItem(window, IDYES) && ::GetDlgItem(window, IDNO))
      ++offers_;
    else
      ++others_;
  }
  bool ItemHoldsLink() {
    if (!holdsLink_) holdsLink_ = HoldsLink(item_);
    return *holdsLink_;
  }

  // The shell runs its operation on the calling thread, and RecycleItem is called on the GUI
  // thread: one watch at a time.
  static inline DeleteOperationWatch* current_ = nullptr;
  std::wstring item_;
  DeleteOperationWatch* previous_;
  std::optional<bool> holdsLink_;
  std::set<HWND> seen_;
  unsigned offers_ = 0, others_ = 0;
  bool declinedUnseen_ = false;
  tk::UniqueHHOOK hook_;
};

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
    WIN32_FIND_DATAW found{};
    tk::UniqueFindHandle search = FirstEntry(folder, found);
    // A folder that cannot be read through may hold anything.
    if (!search) return true;
    do {
      const std::wstring_view name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (IsLinkAttributes(found.dwFileAttributes)) return true;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        folders.push_back(folder + L"\\" + found.cFileName);
    } while (::FindNextFileW(search.get(), &found));
    if (::GetLastError() != ERROR_NO_MORE_FILES) return true;
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

// --- files ---

TRecycleOutcome RecycleItemOutcome(const std::wstring& path, bool allowUndo, bool confirm,
                                   bool silent) {
  // The shell takes a folder named with its trailing backslash as done without touching it.
  const std::wstring item = WithoutTrailingBackslash(path);
  if (item.empty()) return TRecycleOutcome::Failed;
  std::wstring source = item;
  source.push_back(L'\0');  // the list ends with a second NUL

  // Deleting for good goes through links on some systems; without undo there is no other way.
  if (!allowUndo && HoldsLink(item)) return TRecycleOutcome::Declined;

  // A link goes as the entry it is, never as the folder it leads to (where the shell knows how).
  FILEOP_FLAGS flags = FOF_NORECURSEREPARSE;
  if (allowUndo) flags |= FOF_ALLOWUNDO;
  if (silent)
    flags |= FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
  else if (!confirm)
    flags |= FOF_NOCONFIRMATION;
  // Without a question the shell deletes for good what the Recycle Bin cannot take; the user
  // who asked for the Recycle Bin must hear of it first, and an item that holds links must be
  // asked about so that the offer can be declined.
  const bool warned = allowUndo && (!silent || HoldsLink(item));
  if (warned) flags |= FOF_WANTNUKEWARNING;

  DeleteOperationWatch watch(item);
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = tk::App().MainFormHandle();
  operation.wFunc = FO_DELETE;
  operation.pFrom = source.c_str();
  operation.fFlags = flags;
  const int result = ::SHFileOperationW(&operation);
  if (result != 0 || operation.fAnyOperationsAborted || PathExists(item))
    return watch.Offered() ? TRecycleOutcome::Declined : TRecycleOutcome::Failed;
  if (!watch.Watching()) return TRecycleOutcome::Unknown;
  if (!allowUndo) return TRecycleOutcome::DeletedForGood;
  // With the warning asked for, the shell deletes nothing for good unasked: gone without a
  // question is recycled, gone after the offer alone is deleted for good by the user's Yes.
  if (!warned) return TRecycleOutcome::Unknown;
  if (watch.ShowedNothing()) return TRecycleOutcome::Recycled;
  return !confirm && watch.OnlyOffers() ? TRecycleOutcome::DeletedForGood
                                        : TRecycleOutcome::Unknown;
}

bool RecycleItem(const std::wstring& path, bool allowUndo, bool confirm, bool silent) {
  const TRecycleOutcome outcome = RecycleItemOutcome(path, allowUndo, confirm, silent);
  return outcome != TRecycleOutcome::Declined && outcome != TRecycleOutcome::Failed;
}

void WriteFileWhole(const std::wstring& fileName, std::string_view bytes) {
  DWORD error = ERROR_FILE_EXISTS;
  for (unsigned attempt = 0; attempt < 100 && NameTaken(error); ++attempt) {
    const std::wstring beside = NameBeside(fileName, attempt);
    tk::UniqueFile file(::CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      error = ::GetLastError();
      continue;
    }
    try {
      WriteAll(file.get(), bytes, fileName);
      if (!::FlushFileBuffers(file.get()))
        throw tk::EInOutError(tk::FileErrorText(L"Cannot write file", fileName, ::GetLastError()));
    } catch (...) {
      file.reset();
      ::DeleteFileW(beside.c_str());
      throw;
    }
    file.reset();
    if (MoveIntoPlace(beside, fileName)) return;
    error = ::GetLastError();
    break;
  }
  throw tk::EFCreateError(tk::FileErrorText(L"Cannot create file", fileName, error));
}

void StringToFile(const std::wstring& fileName, const std::wstring& text, bool overwrite,
                  bool writeMark) {
  ForceDirectories(ExtractPath(fileName, true));
  if (overwrite || !PathExists(fileName)) {
    const std::string mark = writeMark ? "\xEF\xBB\xBF" : "";
    WriteFileWhole(fileName, mark + tk::ToUtf8(text));
    return;
  }
  tk::UniqueFile file(::CreateFileW(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    throw tk::EFOpenError(tk::FileErrorText(L"Cannot open file", fileName, ::GetLastError()));
  ::SetFilePointer(file.get(), 0, nullptr, FILE_END);
  WriteAll(file.get(), tk::ToUtf8(text), fileName);
}

std::wstring StringFromFile(const std::wstring& fileName) {
  return tk::TextFromBytes(ReadAll(fileName));
}

TTSL* StringFromFileTSL(const std::wstring& fileName) {
  auto list = std::make_unique<TTSL>();
  list->SetText(StringFromFile(fileName));
  return list.release();
}

TLocalTime NowLocal() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return TLocalTime{now.wHour, now.wMinute, now.wSecond};
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

bool FileCopyTo(const std::wstring& source, const std::wstring& destFolder, bool overwrite) {
  const std::wstring target = destFolder + FileNamePart(source, psAll);
  if (!overwrite) return ::CopyFileW(source.c_str(), target.c_str(), TRUE) != FALSE;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring beside = NameBeside(target, attempt);
    if (::CopyFileW(source.c_str(), beside.c_str(), TRUE)) return MoveIntoPlace(beside, target);
    if (!NameTaken(::GetLastError())) return false;
  }
  return false;
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
  WIN32_FIND_DATAW found{};
  tk::UniqueFindHandle search = FirstEntry(folder, found);
  if (!search) return false;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const bool known = std::any_of(names.begin(), names.end(), [&](const std::wstring& own) {
      return ::CompareStringOrdinal(own.c_str(), -1, found.cFileName, -1, TRUE) == CSTR_EQUAL;
    });
    if (!known ||
        (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
      return false;
  } while (::FindNextFileW(search.get(), &found));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace

std::wstring CreateRunFolder(const std::wstring& parent, const std::wstring& prefix) {
  if (parent.empty() || PathRootLength(parent) == 0) return L"";
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring folder = Trail(parent) + prefix + RunFolderDigits(attempt);
    // Made here or not at all: a name that is taken, by a folder, a file or a link, is passed by.
    if (::CreateDirectoryW(folder.c_str(), nullptr)) return folder + L"\\";
    if (!NameTaken(::GetLastError())) return L"";
  }
  return L"";
}

void RemoveLeftRunFolders(const std::wstring& parent, const std::wstring& prefix,
                          const std::vector<std::wstring>& fileNames) {
  if (parent.empty() || PathRootLength(parent) == 0) return;
  const std::wstring root = WithoutTrailingBackslash(parent);
  WIN32_FIND_DATAW found{};
  tk::UniqueFindHandle search = FirstEntry(root, found);
  if (!search) return;
  std::vector<std::wstring> left, scripts;
  do {
    const std::wstring name = found.cFileName;
    if (IsLinkAttributes(found.dwFileAttributes)) continue;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsRunFolderName(name, prefix))
      left.push_back(root + L"\\" + name);
    else if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > 4 &&
             IsRunFolderName(name.substr(0, name.size() - 4), prefix) &&
             RunFolderScript(name.substr(0, name.size() - 4)) == name)
      scripts.push_back(root + L"\\" + name);
  } while (::FindNextFileW(search.get(), &found));
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
  for (const std::wstring& script : scripts)
    if (!PathExists(script.substr(0, script.size() - 4))) ::DeleteFileW(script.c_str());
}

// --- pickers ---

namespace {

// The drive part of a path: "C:" or "\\server\share"; empty when it has none.
std::wstring DrivePart(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  if (path.rfind(L"\\\\", 0) == 0) {
    std::wstring root = path.substr(0, PathRootLength(path));
    while (!root.empty() && root.back() == L'\\') root.pop_back();
    return root;
  }
  return L"";
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data) ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

// The dialogs move the process into the folder the user browsed to, and a process's working
// folder cannot be deleted; the uninstaller must never hold the folder it is about to remove.
class KeepWorkingFolder {
 public:
  KeepWorkingFolder() {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    saved_.resize(needed);
    saved_.resize(::GetCurrentDirectoryW(needed, saved_.data()));
  }
  KeepWorkingFolder(const KeepWorkingFolder&) = delete;
  KeepWorkingFolder& operator=(const KeepWorkingFolder&) = delete;
  ~KeepWorkingFolder() {
    if (!saved_.empty()) ::SetCurrentDirectoryW(saved_.c_str());
  }

 private:
  std::wstring saved_;
};

std::wstring FilterBuffer(const std::wstring& filter) {
  std::wstring buffer = filter.empty() ? std::wstring(L"All files (*.*)|*.*") : filter;
  for (wchar_t& c : buffer)
    if (c == L'|') c = L'\0';
  buffer.push_back(L'\0');
  buffer.push_back(L'\0');
  return buffer;
}

}  // namespace

bool SelectAFolderModern(std::wstring& folder, const std::wstring& title, unsigned options) {
  tk::ComInit com;
  KeepWorkingFolder workingFolder;
  tk::ComPtr<IFileOpenDialog> dialog;
  if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(dialog.put()))))
    return false;
  dialog->SetOptions(options);
  if (!folder.empty()) {
    tk::ComPtr<IShellItem> start;
    if (SUCCEEDED(
            ::SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_PPV_ARGS(start.put()))))
      dialog->SetDefaultFolder(start.get());
    dialog->SetFileName(folder.c_str());
  }
  if (!title.empty()) dialog->SetTitle(title.c_str());
  if (FAILED(dialog->Show(tk::App().MainFormHandle()))) return false;
  tk::ComPtr<IShellItem> chosen;
  if (FAILED(dialog->GetResult(chosen.put()))) return false;
  wchar_t* name = nullptr;
  if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &name))) return false;
  tk::UniqueCoTaskString owned(name);
  folder = Trail(name);
  return true;
}

bool SelectAFolderClassic(std::wstring& folder) {
  tk::ComInit com;
  KeepWorkingFolder workingFolder;
  const std::wstring drive = DrivePart(folder);
  if (!FolderExists(folder, true)) folder.clear();
  tk::UniquePIDL root;
  if (!drive.empty()) root.reset(::ILCreateFromPathW(Trail(drive).c_str()));

  BROWSEINFOW info{};
  info.hwndOwner = tk::App().MainFormHandle();
  info.pidlRoot = root.get();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = folder.empty() ? 0 : reinterpret_cast<LPARAM>(folder.c_str());
  tk::UniquePIDL chosen(::SHBrowseForFolderW(&info));
  if (!chosen) return false;
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(chosen.get(), path)) return false;
  folder = Trail(path);
  return true;
}

bool SelectAFolder(std::wstring& folder, const std::wstring& title, unsigned options) {
  if (IsWindowsVistaUp()) return SelectAFolderModern(folder, title, options);
  return SelectAFolderClassic(folder);
}

bool PromptToLoadFile(std::wstring& fileName, const std::wstring& filter, const std::wstring& title,
                      const std::wstring& initialFolder) {
  std::wstring folder = initialFolder;
  if (folder.empty()) folder = IsFolder(fileName) ? fileName : ExtractPath(fileName, true);
  return PromptFileDialog(fileName, false, filter, L"", title, folder);
}

namespace {

// The file dialogs' library is loaded when a dialog is first wanted: linked in, it would be loaded
// with every start, together with the printing libraries it depends on.
BOOL ShowFileDialog(OPENFILENAMEW& ofn, bool save) {
  using Dialog = BOOL(WINAPI*)(OPENFILENAMEW*);
  const auto show =
      tk::SystemFunction<Dialog>(L"comdlg32.dll", save ? "GetSaveFileNameW" : "GetOpenFileNameW");
  if (!show) throw tk::Exception(L"The file dialogs (comdlg32.dll) are not available.");
  return show(&ofn);
}

}  // namespace

bool PromptFileDialog(std::wstring& fileName, bool save, const std::wstring& filter,
                      const std::wstring& defaultExt, const std::wstring& title,
                      const std::wstring& initialFolder) {
  const std::wstring folder = initialFolder.empty() ? AppDataFolder() : initialFolder;
  const std::wstring filters = FilterBuffer(filter);
  // Room for any path the dialog may hand back, long-path prefixed ones included.
  std::wstring buffer(32768, L'\0');
  // A folder in the file-name box would make the dialog open in that folder's parent with the
  // folder offered as a file name; left out, the dialog opens where it should.
  if (!IsFolder(fileName))
    fileName.copy(buffer.data(), std::min(fileName.size(), buffer.size() - 1));
  std::wstring extension = defaultExt;
  if (!extension.empty() && extension[0] == L'.') extension.erase(0, 1);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = tk::App().MainFormHandle();
  ofn.lpstrFilter = filters.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = folder.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_FORCESHOWHIDDEN |
              (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  KeepWorkingFolder workingFolder;
  const BOOL confirmed = ShowFileDialog(ofn, save);
  if (!confirmed) return false;
  fileName = buffer.c_str();
  return true;
}
