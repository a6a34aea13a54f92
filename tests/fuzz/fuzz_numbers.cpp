// Number and duration texts and RoundHalfUp: each text must read back as the value it stands
// for, in the form the callers show, and the only exceptions are the library's own misuse and
// range errors in the cases that call for them.
// Input: one selector byte, then the raw values the selected function takes.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "toolkit/Errors.h"
#include "tests/fuzz/FuzzInput.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccMath.h"

namespace {

bool IsDigit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

// A locale's decimal separator is never a digit or a sign.
wchar_t SeparatorFrom(uint16_t unit) {
  const wchar_t c = static_cast<wchar_t>(unit);
  if (IsDigit(c) || c == L'-' || c == L'+') return L',';
  return c;
}

// Digits with no superfluous leading zero, after an optional minus sign; the position after it.
size_t IntegerPart(const std::wstring& text, const std::wstring& context) {
  size_t i = text.size() > 0 && text[0] == L'-' ? 1 : 0;
  const size_t first = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  FUZZ_CHECK(i > first, context);
  FUZZ_CHECK(text[first] != L'0' || i == first + 1, context);
  return i;
}

long double ParsedValue(std::wstring text, size_t separatorAt) {
  if (separatorAt < text.size()) text[separatorAt] = L'.';
  std::string narrow(text.begin(), text.end());
  return std::strtold(narrow.c_str(), nullptr);
}

template <class E, class F>
bool Throws(F call, const std::wstring& message) {
  try {
    call();
  } catch (const E& e) {
    return e.Message() == message;
  }
  return false;
}

void CheckReal2Str(double value, int decimals, wchar_t separator) {
  const std::wstring context = std::to_wstring(value) + L" / " + std::to_wstring(decimals);
  if (std::isnan(value)) {
    FUZZ_CHECK(Throws<tk::EAssertionFailed>([&] { Real2StrSep(value, decimals, separator); },
                                            L"Float is NAN! (ccCore)"),
               context);
    return;
  }
  if (std::isinf(value)) {
    if (decimals > 0) {
      FUZZ_CHECK(Throws<tk::EAssertionFailed>([&] { Real2StrSep(value, decimals, separator); },
                                              L"Decimal separator not found! (ccCore)"),
                 context);
    } else {
      FUZZ_CHECK(Throws<tk::ERangeError>([&] { Real2StrSep(value, decimals, separator); },
                                         L"Range check error"),
                 context);
    }
    return;
  }

  const std::wstring text = Real2StrSep(value, decimals, separator);
  const size_t afterInteger = IntegerPart(text, text);
  FUZZ_CHECK(text != L"-0", text);
  if (decimals <= 0) {
    // Whole numbers round half to even, all integer digits written.
    FUZZ_CHECK(afterInteger == text.size(), text);
    FUZZ_CHECK(ParsedValue(text, text.size()) == static_cast<long double>(std::nearbyint(value)),
               text);
    return;
  }
  // At most the asked decimals (and never more than a double can carry plus zeros), no trailing
  // zero and no separator left bare.
  if (afterInteger < text.size()) {
    FUZZ_CHECK(text[afterInteger] == separator, text);
    const size_t shown = text.size() - afterInteger - 1;
    FUZZ_CHECK(shown >= 1 && shown <= static_cast<size_t>(decimals), text);
    for (size_t i = afterInteger + 1; i < text.size(); ++i) FUZZ_CHECK(IsDigit(text[i]), text);
    FUZZ_CHECK(text.back() != L'0', text);
  }
  // Within half a unit of the last asked decimal, after the value has been cut to the 16
  // significant digits a double carries.
  const long double parsed = ParsedValue(text, afterInteger);
  const int asked = decimals > 350 ? 350 : decimals;
  const long double exact = value;
  const long double tolerance =
      0.5L * std::pow(10.0L, -asked) * (1 + 1e-12L) + 1e-15L * std::fabs(exact) + 1e-320L;
  FUZZ_CHECK(std::fabs(parsed - exact) <= tolerance, text + L" for " + context);
}

// Days, hours and minutes as the text gives them, put back together.
void CheckSecondsToTimeText(uint32_t seconds) {
  const std::wstring text = SecondsToTimeText(seconds);
  const uint32_t days = seconds / 86400, hours = seconds / 3600 % 24, minutes = seconds / 60 % 60,
                 secs = seconds % 60;
  std::wstring expected;
  if (days > 0) expected += std::to_wstring(days) + L" days ";
  if (hours > 0) expected += std::to_wstring(hours) + L"h ";
  if (days <= 7) expected += std::to_wstring(minutes) + L"m ";
  if (days == 0) expected += std::to_wstring(secs) + L"s";
  FUZZ_CHECK(text == expected, text);
}

void CheckMilliseconds(uint32_t ms, wchar_t separator) {
  const std::wstring text = MilisecondsToTimeTextSep(ms, separator);
  if (ms < 1000) {
    FUZZ_CHECK(text == std::to_wstring(ms) + L"ms", text);
  } else if (ms < 60000) {
    FUZZ_CHECK(text.size() > 3 && text.compare(text.size() - 3, 3, L"sec") == 0, text);
    const std::wstring number = text.substr(0, text.size() - 3);
    const size_t at = number.find(separator);
    FUZZ_CHECK(at == std::wstring::npos || number.size() - at - 1 <= 3, text);
    FUZZ_CHECK(number.back() != L'0' || at == std::wstring::npos, text);
    const long double seconds = ParsedValue(number, at == std::wstring::npos ? number.size() : at);
    FUZZ_CHECK(std::llround(seconds * 1000) == static_cast<long long>(ms), text);
  } else {
    FUZZ_CHECK(text == SecondsToTimeText(ms / 1000), text);
  }
}

// Halves of positive values go up, negative values are truncated; a result outside 32 bits or
// a NaN is a range error.
void CheckRoundHalfUp(long double x) {
  const std::wstring context = std::to_wstring(x);
  const long double kMin = std::numeric_limits<int32_t>::min();
  const long double kMax = std::numeric_limits<int32_t>::max();
  const bool fits = !std::isnan(x) && (x >= 0 ? x < kMax + 0.5L : x > kMin - 1);
  int32_t result = 0;
  bool threw = false;
  try {
    result = RoundHalfUp(x);
  } catch (const tk::ERangeError& e) {
    FUZZ_CHECK(e.Message() == L"Range check error", context);
    threw = true;
  }
  FUZZ_CHECK(threw == !fits, context);
  if (threw) return;
  const long double r = result;
  if (x >= 0) {
    FUZZ_CHECK(r - 0.5L <= x && x < r + 0.5L, context);
  } else {
    FUZZ_CHECK(r - 1 < x && x <= r && r <= 0, context);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  switch (in.Byte() % 6) {
    case 0: {
      const double value = in.Double();
      const int decimals = static_cast<int>(in.U16() % 404) - 3;
      CheckReal2Str(value, decimals, SeparatorFrom(in.U16()));
      break;
    }
    case 1: {  // the few decimals the callers ask for, on values of every size
      const int decimals = in.Byte() % 8;
      const double value =
          static_cast<double>(static_cast<int64_t>(in.U64())) / std::pow(10.0, in.Byte() % 24);
      CheckReal2Str(value, decimals, SeparatorFrom(in.U16()));
      break;
    }
    case 2:
      CheckSecondsToTimeText(in.U32());
      break;
    case 3: {
      const uint32_t ms = in.U32();
      CheckMilliseconds(in.Byte() % 2 ? ms % 120000 : ms, SeparatorFrom(in.U16()));
      break;
    }
    case 4:
      CheckRoundHalfUp(static_cast<long double>(in.Double()));
      break;
    default: {  // exact halves and their neighbours near the 32-bit edges
      const auto whole = static_cast<int64_t>(in.U64() % (1ull << 34)) - (1ll << 33);
      const long double fraction = static_cast<long double>(in.Byte()) / 128.0L;
      CheckRoundHalfUp(static_cast<long double>(whole) + fraction);
      break;
    }
  }
  return 0;
}
