// The portable path vocabulary of ccIO: spelling, comparison, validity, the root, the directory
// name, the create step's checks and the chain of folders to create. The only exception allowed
// is the library's EArgumentException, and only with the texts and in the cases the callers
// expect; anything else escaping is a finding too.
// Input: three text fields, the path, a second path and a name.
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/Errors.h"
#include "tests/fuzz/FuzzInput.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"

namespace {

constexpr wchar_t kLong[] = L"\\\\?\\";
constexpr wchar_t kLongUnc[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool IsAsciiLetter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool AllBlanks(const std::wstring& text) {
  return text.find_first_not_of(L' ') == std::wstring::npos;
}

bool HasControl(const std::wstring& text) {
  for (wchar_t c : text)
    if (c < 32) return true;
  return false;
}

std::wstring TrimmedBlanks(const std::wstring& text) {
  size_t first = 0, last = text.size();
  while (first < last && text[first] == L' ') ++first;
  while (last > first && text[last - 1] == L' ') --last;
  return text.substr(first, last - first);
}

// What the call threw: empty when it returned, the message for the library's argument error.
// Any other exception is not caught and so ends the run as a finding.
template <class F>
std::wstring ArgumentError(F call) {
  try {
    call();
  } catch (const tk::EArgumentException& e) {
    return e.Message().empty() ? L"<empty message>" : e.Message();
  }
  return L"";
}

void CheckTrailAndSameFolder(const std::wstring& p, const std::wstring& q) {
  const std::wstring t = Trail(p);
  if (p.empty()) {
    FUZZ_CHECK(t.empty(), p);
  } else {
    FUZZ_CHECK(t.back() == L'\\', p);
    FUZZ_CHECK(t == (p.back() == L'\\' ? p : p + L'\\'), p);
  }
  FUZZ_CHECK(Trail(t) == t, p);

  FUZZ_CHECK(SameFolder(p, p), p);
  FUZZ_CHECK(SameFolder(p, t), p);
  FUZZ_CHECK(SameFolder(p, UpperCaseAscii(p)), p);
  FUZZ_CHECK(SameFolder(p, q) == SameFolder(q, p), p + L" | " + q);
  FUZZ_CHECK(SameFolder(p, q) == (UpperCaseAscii(Trail(p)) == UpperCaseAscii(Trail(q))),
             p + L" | " + q);
  FUZZ_CHECK(SameFolder(L"", q) == q.empty(), q);
  // A folder is never the same as one below it.
  if (!p.empty()) FUZZ_CHECK(!SameFolder(p, t + L"x"), p);
}

void CheckValidity(const std::wstring& p) {
  bool forbidden = false;
  for (wchar_t bad : std::wstring(L"\"*/<>?|")) forbidden = forbidden || p.find(bad) != p.npos;
  FUZZ_CHECK(HasValidPathChars(p) == (!p.empty() && !forbidden), p);

  const int start = PathStartPos(p);
  if (StartsWith(p, kLongUnc)) {
    FUZZ_CHECK(start == 9, p);
  } else if (StartsWith(p, kLong)) {
    FUZZ_CHECK(start == 5, p);
  } else {
    FUZZ_CHECK(start == 1, p);
  }

  const size_t s = static_cast<size_t>(start) - 1;
  const bool driveRooted = p.size() >= s + 2 && IsAsciiLetter(p[s]) && p[s + 1] == L':';
  FUZZ_CHECK(IsDriveRooted(p) == driveRooted, p);

  // Only the drive's own colon may stand in a path.
  bool strayColon = false;
  for (size_t i = 0; i < p.size(); ++i)
    if (p[i] == L':' && !(driveRooted && i == s + 1)) strayColon = true;
  FUZZ_CHECK(HasNoStrayColon(p) == (AllBlanks(p) || !strayColon), p);
}

void CheckNameAndDrive(const std::wstring& p, const std::wstring& folder) {
  const std::wstring name = ExtractOnlyName(p);
  FUZZ_CHECK(name.find_first_of(L"\\:") == std::wstring::npos, p);
  const size_t cut = p.find_last_of(L"\\:");
  const std::wstring tail = cut == std::wstring::npos ? p : p.substr(cut + 1);
  FUZZ_CHECK(StartsWith(tail, name), p);
  if (tail.size() > name.size()) {
    FUZZ_CHECK(tail[name.size()] == L'.', p);
    FUZZ_CHECK(tail.find(L'.', name.size() + 1) == std::wstring::npos, p);
  } else {
    FUZZ_CHECK(tail.find(L'.') == std::wstring::npos, p);
  }
  // The folder a file lies in does not change its name.
  FUZZ_CHECK(ExtractOnlyName(folder + L"\\" + p) == name, folder + L" + " + p);

  if (!p.empty() && IsAsciiLetter(p[0])) {
    const int number = DriveLetterToNumber(p[0]);
    FUZZ_CHECK(number >= 1 && number <= 26, p);
    FUZZ_CHECK(DriveLetterToNumber(UpperCaseAscii(p.substr(0, 1))[0]) == number, p);
  }
}

void CheckRoot(const std::wstring& p) {
  const size_t root = PathRootLength(p);
  const size_t s = static_cast<size_t>(PathStartPos(p)) - 1;
  FUZZ_CHECK(root <= p.size(), p);
  FUZZ_CHECK(root >= s, p);
  if (IsDriveRooted(p)) {
    const bool slash = p.size() > s + 2 && p[s + 2] == L'\\';
    FUZZ_CHECK(root == s + (slash ? 3 : 2), p);
  } else if (s == 8 || (s == 0 && StartsWith(p, L"\\\\"))) {
    // A network root is the server and the share, each closed by its backslash when present.
    const size_t begin = s == 8 ? 8 : 2;
    size_t slashes = 0;
    for (size_t i = begin; i < root; ++i)
      if (p[i] == L'\\') ++slashes;
    FUZZ_CHECK(slashes <= 2, p);
    FUZZ_CHECK(root == p.size() || (slashes == 2 && p[root - 1] == L'\\'), p);
  } else if (s == 0) {
    FUZZ_CHECK(root == (!p.empty() && p[0] == L'\\' ? 1u : 0u), p);
  } else {
    FUZZ_CHECK(root == s, p);
  }
}

void CheckDirectoryName(const std::wstring& p) {
  std::wstring dir;
  const std::wstring error = ArgumentError([&] { dir = PathDirectoryName(p); });
  const std::wstring trimmed = TrimmedBlanks(p);
  if (trimmed.empty() || HasControl(trimmed)) {
    FUZZ_CHECK(error == L"Invalid characters in file name", p);
    return;
  }
  if (trimmed.size() >= 260) {
    FUZZ_CHECK(error == L"The specified path is too long", p);
    return;
  }
  FUZZ_CHECK(error.empty(), p);
  const size_t root = PathRootLength(trimmed);
  if (trimmed.size() <= root) {
    FUZZ_CHECK(dir.empty(), p);  // a bare root has no directory name
    return;
  }
  // The text before the last backslash, but never less than the root.
  FUZZ_CHECK(StartsWith(trimmed, dir), p);
  FUZZ_CHECK(dir.size() >= root && dir.size() < trimmed.size(), p);
  const size_t lastSlash = trimmed.find_last_of(L'\\');
  if (dir.size() > root) {
    FUZZ_CHECK(lastSlash == dir.size(), p);
  } else {
    FUZZ_CHECK(lastSlash == std::wstring::npos || lastSlash <= root, p);
  }
}

void CheckCreateStepChecks(const std::wstring& p) {
  const std::wstring syntax = ArgumentError([&] { CheckFolderPathSyntax(p); });
  if (AllBlanks(p) || HasControl(p) || p.find_first_of(L"\"<>|") != std::wstring::npos) {
    FUZZ_CHECK(syntax == L"Invalid characters in path", p);
  } else if (!HasNoStrayColon(p)) {
    FUZZ_CHECK(syntax == L"The path format is not supported", p);
  } else {
    FUZZ_CHECK(syntax.empty(), p);
  }

  // 248 characters without the trailing backslashes, unless the long-path prefix lifts it.
  const std::wstring length = ArgumentError([&] { CheckFolderPathLength(p); });
  FUZZ_CHECK(length.empty() || length == L"The specified path is too long", p);
  if (PathStartPos(p) > 1 || p.size() < 248) FUZZ_CHECK(length.empty(), p);
  if (PathStartPos(p) == 1 && p.size() >= 248 && p.back() != L'\\') FUZZ_CHECK(!length.empty(), p);
  const std::wstring withSlash = ArgumentError([&] { CheckFolderPathLength(p + L"\\"); });
  if (PathRootLength(p + L"\\") <= p.size()) FUZZ_CHECK(withSlash == length, p);
}

void CheckFolderChain(const std::wstring& p) {
  const std::vector<std::wstring> chain = FolderChain(p);
  const size_t root = PathRootLength(p);
  size_t parts = 0;
  for (size_t i = root; i < p.size(); ++i)
    if (p[i] != L'\\' && (i == root || p[i - 1] == L'\\')) ++parts;
  FUZZ_CHECK(chain.size() == parts, p);
  for (size_t i = 0; i < chain.size(); ++i) {
    const std::wstring& folder = chain[i];
    FUZZ_CHECK(folder.size() > root && StartsWith(p, folder), p);
    FUZZ_CHECK(folder.back() != L'\\', p);
    FUZZ_CHECK(folder.size() == p.size() || p[folder.size()] == L'\\', p);
    if (i > 0) FUZZ_CHECK(folder.size() > chain[i - 1].size(), p);
  }
  if (!chain.empty())
    FUZZ_CHECK(p.find_first_not_of(L'\\', chain.back().size()) == std::wstring::npos, p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::wstring p = in.Field();
  const std::wstring q = in.Field();
  const std::wstring name = in.Field();

  for (const std::wstring& path : {p, q, kLong + p, kLongUnc + p}) {
    CheckValidity(path);
    CheckRoot(path);
    CheckDirectoryName(path);
    CheckCreateStepChecks(path);
    CheckFolderChain(path);
  }
  CheckTrailAndSameFolder(p, q);
  CheckNameAndDrive(p, q);
  CheckNameAndDrive(name, p);

  TLocalTime time;
  time.Hour = static_cast<int>(p.size() % 24);
  time.Minute = static_cast<int>(q.size() % 60);
  time.Second = static_cast<int>(name.size() % 60);
  const std::wstring stamp = TimeToFileNameStr(time);
  FUZZ_CHECK(stamp.size() == 8 && stamp[2] == L'.' && stamp[5] == L'.', stamp);
  FUZZ_CHECK(HasValidPathChars(stamp) && HasNoStrayColon(stamp), stamp);
  FUZZ_CHECK(std::stoi(stamp.substr(0, 2)) == time.Hour &&
                 std::stoi(stamp.substr(3, 2)) == time.Minute &&
                 std::stoi(stamp.substr(6, 2)) == time.Second,
             stamp);
  return 0;
}
