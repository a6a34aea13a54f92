// The list's comparison: the user's default locale, as the rest of the desktop sorts.
#ifdef _WIN32

#include <windows.h>

#include <climits>

#include "toolkit/StringList.h"

namespace tk {

namespace {

int ClampedLength(const std::wstring& s) {
  return s.size() > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(s.size());
}

}  // namespace

int LocaleCompare(const std::wstring& a, const std::wstring& b, bool caseSensitive) {
  // Explicit lengths: a line may hold NUL characters, which must not end the comparison.
  const int result = CompareStringW(LOCALE_USER_DEFAULT, caseSensitive ? 0 : NORM_IGNORECASE,
                                    a.data(), ClampedLength(a), b.data(), ClampedLength(b));
  // Only invalid arguments make it fail; an ordinal order is still a usable order then.
  if (result == 0) return a.compare(b);
  return result - CSTR_EQUAL;
}

}  // namespace tk

#endif  // _WIN32
