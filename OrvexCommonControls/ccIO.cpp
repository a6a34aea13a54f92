// The portable half of ccIO: spelling and comparing folder paths, validity tests, the path
// grammar behind the directory-name and create-directory steps, and small text formats.
#include "ccIO.h"

#include "../toolkit/Errors.h"

namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

wchar_t AsciiUpper(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}

bool IsAsciiLetter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

bool HasControlChar(const std::wstring& text) {
  for (wchar_t c : text)
    if (c < 32) return true;
  return false;
}

std::wstring TrimBlanks(const std::wstring& text) {
  size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return L"";
  size_t last = text.find_last_not_of(L' ');
  return text.substr(first, last - first + 1);
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
  if (left.size() != right.size()) return false;
  for (size_t i = 0; i < left.size(); ++i)
    if (AsciiUpper(left[i]) != AsciiUpper(right[i])) return false;
  return true;
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
  return path.size() >= start + 2 && IsAsciiLetter(path[start]) && path[start + 1] == L':';
}

bool HasNoStrayColon(const std::wstring& path) {
  if (path.find_first_not_of(L' ') == std::wstring::npos) return true;
  size_t from = static_cast<size_t>(PathStartPos(path)) - 1;
  if (IsDriveRooted(path)) from += 2;
  return from >= path.size() || path.find(L':', from) == std::wstring::npos;
}

std::wstring ExtractOnlyName(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\:");
  std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return name;
}

int DriveLetterToNumber(wchar_t letter) {
  return static_cast<int>(AsciiUpper(letter)) - 64;
}

std::wstring TimeToFileNameStr(const TLocalTime& time) {
  return TwoDigits(time.Hour) + L"." + TwoDigits(time.Minute) + L"." + TwoDigits(time.Second);
}

// --- the platform's path steps, written here ---

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
  const std::wstring trimmed = TrimBlanks(path);
  if (trimmed.empty() || HasControlChar(trimmed))
    throw tk::EArgumentException(L"Invalid characters in file name");
  if (trimmed.size() >= 260) throw tk::EArgumentException(L"The specified path is too long");
  const size_t root = PathRootLength(trimmed);
  if (trimmed.size() <= root) return L"";
  const size_t slash = trimmed.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash < root) return trimmed.substr(0, root);
  return trimmed.substr(0, slash);
}

void CheckFolderPathSyntax(const std::wstring& path) {
  if (TrimBlanks(path).empty() || HasControlChar(path) ||
      path.find_first_of(L"\"<>|") != std::wstring::npos)
    throw tk::EArgumentException(L"Invalid characters in path");
  if (!HasNoStrayColon(path)) throw tk::EArgumentException(L"The path format is not supported");
}

void CheckFolderPathLength(const std::wstring& fullPath) {
  if (PathStartPos(fullPath) > 1) return;
  std::wstring folder = fullPath;
  while (folder.size() > PathRootLength(folder) && folder.back() == L'\\') folder.pop_back();
  if (folder.size() >= 248) throw tk::EArgumentException(L"The specified path is too long");
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
