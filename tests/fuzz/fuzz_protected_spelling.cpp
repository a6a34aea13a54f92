// The spelling tests behind the protected-folder check: a full path, a root, ambiguous parts and
// containment. A long-path prefix changes how a path is written, not which folder it names, so
// each test must answer the same with and without it; containment must behave as an order on
// folders.
// Input: three text fields a, b and c.
#include <cstdint>
#include <string>

#include "tests/fuzz/FuzzInput.h"
#include "uninstaller/SharedUninstaller.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"

namespace {

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool IsAsciiLetter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsDriveSpelling(const std::wstring& p) {
  return p.size() >= 2 && IsAsciiLetter(p[0]) && p[1] == L':';
}

// The same test of the plain and the long-prefixed spelling of one path.
template <class F>
void CheckSameWithPrefix(F test, const wchar_t* name, const std::wstring& p) {
  if (IsDriveSpelling(p)) FUZZ_CHECK(test(p) == test(L"\\\\?\\" + p), name + (L": " + p));
  // \\server\share is \\?\UNC\server\share, for any server name that can be one: not one that
  // looks like a prefix, and none with a colon, which no server name holds (after the UNC prefix
  // "C:" would be a drive).
  if (StartsWith(p, L"\\\\") && !StartsWith(p, L"\\\\?\\") &&
      p.substr(2, p.find(L'\\', 2) - 2).find(L':') == std::wstring::npos)
    FUZZ_CHECK(test(p) == test(L"\\\\?\\UNC\\" + p.substr(2)), name + (L": " + p));
}

void CheckFullAndRoot(const std::wstring& p) {
  CheckSameWithPrefix(IsFullFolderPath, L"IsFullFolderPath", p);
  CheckSameWithPrefix(IsRootFolder, L"IsRootFolder", p);
  CheckSameWithPrefix(HasAmbiguousParts, L"HasAmbiguousParts", p);

  // A relative spelling is never full, whatever follows.
  if (!p.empty() && p[0] != L'\\' && !IsDriveSpelling(p)) FUZZ_CHECK(!IsFullFolderPath(p), p);
  // A root has no folder below it to create; a full path that is no root has one.
  if (IsRootFolder(p)) FUZZ_CHECK(FolderChain(Trail(p)).empty(), p);
  // (Backslashes doubled past the start spell the root again; the caller strips those first.)
  if (IsFullFolderPath(p) && !IsRootFolder(p) && p.find(L"\\\\", 2) == std::wstring::npos)
    FUZZ_CHECK(!FolderChain(Trail(p)).empty(), p);
  // Below a full root there is a folder that is full and no root.
  if (IsFullFolderPath(p) && IsRootFolder(p)) {
    const std::wstring below = Trail(p) + L"Pelmor";
    FUZZ_CHECK(IsFullFolderPath(below), p);
    FUZZ_CHECK(!IsRootFolder(below), p);
  }
}

void CheckAmbiguousParts(const std::wstring& p) {
  const bool ambiguous = HasAmbiguousParts(p);
  // A plain part added below changes nothing; "." or ".." or a trailing dot or blank does.
  const std::wstring t = Trail(p);
  if (PathRootLength(t + L"x") <= t.size()) {
    FUZZ_CHECK(HasAmbiguousParts(t + L"x") == ambiguous, p);
    FUZZ_CHECK(HasAmbiguousParts(t + L"x\\") == ambiguous, p);
    for (const wchar_t* bad : {L".", L"..", L"x.", L"x ", L"..\\x", L" \\x", L"x./y"})
      FUZZ_CHECK(HasAmbiguousParts(t + bad), p + L" + " + bad);
  }
}

void CheckContainment(const std::wstring& a, const std::wstring& b, const std::wstring& c) {
  const bool ab = FolderIsOrContains(a, b);
  FUZZ_CHECK(FolderIsOrContains(a, a) == !a.empty(), a);
  FUZZ_CHECK(!FolderIsOrContains(L"", b), b);
  if (!a.empty()) {
    FUZZ_CHECK(FolderIsOrContains(a, Trail(a) + c), a + L" + " + c);
    // Whole folder names only: C:\USER does not hold C:\USERS.
    FUZZ_CHECK(!FolderIsOrContains(Trail(a) + L"x", a), a);
    FUZZ_CHECK(!FolderIsOrContains(a + L"x", Trail(a) + L"y"), a);
  }
  if (ab) {
    FUZZ_CHECK(StartsWith(Trail(b), Trail(a)), a + L" | " + b);
    FUZZ_CHECK(FolderIsOrContains(a, Trail(b) + c), a + L" | " + b + L" | " + c);
    if (FolderIsOrContains(b, a)) FUZZ_CHECK(Trail(a) == Trail(b), a + L" | " + b);
  }
  // The letters are compared as given.
  if (UpperCaseAscii(a) != a && !a.empty())
    FUZZ_CHECK(!FolderIsOrContains(UpperCaseAscii(a), a), a);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::wstring a = in.Field();
  const std::wstring b = in.Field();
  const std::wstring c = in.Field();
  for (const std::wstring& p : {a, b, a + L"\\" + b}) {
    CheckFullAndRoot(p);
    CheckAmbiguousParts(p);
  }
  CheckContainment(a, b, c);
  CheckContainment(Trail(a) + b, a, c);
  return 0;
}
