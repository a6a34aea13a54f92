// The portable half of ccIO: spelling and comparing folder paths, validity tests, the path
// grammar behind the directory-name and create-directory steps, and small text formats.
#include "OrvexCommonControls/ccIO.h"

#include <algorithm>

#include "toolkit/Errors.h"
#include "toolkit/Text.h"

namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

constexpr const wchar_t* kSeparatorSets[] = {L"\\", L"\\:", L"\\/:"};

size_t NameStart(const std::wstring& path, TPathSeparators separators) {
  const size_t separator = path.find_last_of(kSeparatorSets[separators]);
  return separator == std::wstring::npos ? 0 : separator + 1;
}

std::wstring TwoDigits(int value) {
  std::wstring text = tk::DecimalText(value);
  return text.size() < 2 ? L"0" + text : text;
}

}  // namespace

std::wstring Trail(const std::wstring& path) {
  if (path.empty() || path.back() == L'\\') return path;
  return path + L'\\';
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  const std::wstring left = Trail(a);
  const std::wstring right = Trail(b);
  return tk::SameTextAscii(left, right);
}

bool HasValidPathChars(const std::wstring& path) {
  if (path.empty()) return false;
  return path.find_first_of(L"\"*/<>?|") == std::wstring::npos;
}

int PathStartPos(const std::wstring& path) {
  if (StartsWith(path, kLongUncPrefix)) return 9;
  if (StartsWith(path, kLongPrefix)) return 5;
  return 1;
}

bool IsDriveRooted(const std::wstring& path) {
  const size_t start = static_cast<size_t>(PathStartPos(path)) - 1;
  return path.size() >= start + 2 && tk::IsAsciiLetter(path[start]) && path[start + 1] == L':';
}

bool HasNoStrayColon(const std::wstring& path) {
  if (path.find_first_not_of(L' ') == std::wstring::npos) return true;
  size_t from = static_cast<size_t>(PathStartPos(path)) - 1;
  if (IsDriveRooted(path)) from += 2;
  return from >= path.size() || path.find(L':', from) == std::wstring::npos;
}

std::wstring ExtractOnlyName(const std::wstring& path) {
  return WithoutExtension(FileNamePart(path, psBackslashColon));
}

bool IsRunFolderName(const std::wstring& name, const std::wstring& prefix) {
  constexpr size_t kDigits = 8;
  if (prefix.empty() || name.size() != prefix.size() + kDigits ||
      !tk::SameTextAscii(std::wstring_view(name).substr(0, prefix.size()), prefix))
    return false;
  return std::all_of(
      name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
      [](wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'); });
}

std::wstring RunFolderScript(const std::wstring& runFolder) {
  return WithoutTrailingBackslash(runFolder) + L".BAT";
}

std::wstring FileNamePart(const std::wstring& path, TPathSeparators separators) {
  return path.substr(NameStart(path, separators));
}

std::wstring FolderPart(const std::wstring& path, TPathSeparators separators) {
  return path.substr(0, NameStart(path, separators));
}

std::wstring WithoutExtension(const std::wstring& name) {
  return name.substr(0, name.find_last_of(L'.'));
}

std::wstring WithoutTrailingBackslash(const std::wstring& path) {
  std::wstring folder = path;
  while (folder.size() > PathRootLength(folder) && folder.back() == L'\\') folder.pop_back();
  return folder;
}

bool IsFileNameChar(wchar_t c) {
  return !tk::IsControlChar(c) &&
         std::wstring_view(L"\"*/:<>?\\|").find(c) == std::wstring_view::npos;
}

bool IsValidFileName(const std::wstring& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), IsFileNameChar);
}

int DriveLetterToNumber(wchar_t letter) {
  return static_cast<int>(tk::AsciiUpper(letter)) - 64;
}

std::wstring TimeToFileNameStr(const TLocalTime& time) {
  return TwoDigits(time.Hour) + L"." + TwoDigits(time.Minute) + L"." + TwoDigits(time.Second);
}

// --- the platform's path steps, written here ---

std::wstring PathRoot(const std::wstring& path) {
  const size_t length = PathRootLength(path);
  return length == 0 ? L"" : Trail(path.substr(0, length));
}

size_t PathRootLength(const std::wstring& path) {
  const size_t start = static_cast<size_t>(PathStartPos(path)) - 1;
  if (IsDriveRooted(path)) {
    const size_t afterColon = start + 2;
    return (afterColon < path.size() && path[afterColon] == L'\\') ? afterColon + 1 : afterColon;
  }
  // A network path: the server and the share belong to the root.
  const bool unc = start == 8 || (start == 0 && StartsWith(path, L"\\\\"));
  if (unc) {
    size_t pos = start == 8 ? start : 2;
    for (int part = 0; part < 2 && pos < path.size(); ++part) {
      const size_t slash = path.find(L'\\', pos);
      if (slash == std::wstring::npos) return path.size();
      pos = slash + 1;
    }
    return pos;
  }
  if (start == 0 && !path.empty() && path[0] == L'\\') return 1;
  return start;
}

std::wstring PathDirectoryName(const std::wstring& path) {
  const std::wstring trimmed = tk::Trim(path, tk::TrimOpt::Spaces);
  if (trimmed.empty() || tk::HasControlChar(trimmed))
    throw tk::EArgumentException(L"Invalid characters in file name");
  if (trimmed.size() >= 260) throw tk::EArgumentException(L"The specified path is too long");
  const size_t root = PathRootLength(trimmed);
  if (trimmed.size() <= root) return L"";
  const size_t slash = trimmed.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash < root) return trimmed.substr(0, root);
  return trimmed.substr(0, slash);
}

void CheckFolderPathSyntax(const std::wstring& path) {
  if (tk::Trim(path, tk::TrimOpt::Spaces).empty() || tk::HasControlChar(path) ||
      path.find_first_of(L"\"<>|") != std::wstring::npos)
    throw tk::EArgumentException(L"Invalid characters in path");
  if (!HasNoStrayColon(path)) throw tk::EArgumentException(L"The path format is not supported");
}

void CheckFolderPathLength(const std::wstring& fullPath) {
  if (PathStartPos(fullPath) > 1) return;
  if (WithoutTrailingBackslash(fullPath).size() >= 248)
    throw tk::EArgumentException(L"The specified path is too long");
}

std::vector<std::wstring> FolderChain(const std::wstring& fullPath) {
  std::vector<std::wstring> chain;
  const size_t root = PathRootLength(fullPath);
  size_t pos = root;
  while (pos < fullPath.size()) {
    size_t slash = fullPath.find(L'\\', pos);
    if (slash == std::wstring::npos) slash = fullPath.size();
    if (slash > pos) chain.push_back(fullPath.substr(0, slash));
    pos = slash + 1;
  }
  return chain;
}
