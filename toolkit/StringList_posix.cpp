// Stand-in for the locale comparison in native (non-Windows) builds, which exist only to run the
// portable tests quickly: the C library's collation of the current locale.
#ifndef _WIN32

#include <cwctype>
#include <cwchar>

#include "toolkit/StringList.h"

namespace tk {

namespace {

std::wstring FoldCase(const std::wstring& s) {
  std::wstring out = s;
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return out;
}

// wcscoll stops at a NUL, so the texts are compared piece by piece between NULs.
int Collate(const std::wstring& a, const std::wstring& b) {
  size_t pa = 0, pb = 0;
  while (true) {
    const int r = std::wcscoll(a.c_str() + pa, b.c_str() + pb);
    if (r != 0) return r;
    pa += std::wcslen(a.c_str() + pa) + 1;
    pb += std::wcslen(b.c_str() + pb) + 1;
    const bool endA = pa > a.size(), endB = pb > b.size();
    if (endA || endB) return endA == endB ? 0 : (endA ? -1 : 1);
  }
}

}  // namespace

int LocaleCompare(const std::wstring& a, const std::wstring& b, bool caseSensitive) {
  return caseSensitive ? Collate(a, b) : Collate(FoldCase(a), FoldCase(b));
}

}  // namespace tk

#endif  // _WIN32
