// Portable half of ccCore: the process-wide names, the text helpers and the number and duration
// texts. Everything that needs Windows lives in ccCore_win.cpp.
#include "OrvexCommonControls/ccCore.h"

#include <algorithm>
#include <vector>
#include <cmath>
#include <cstdint>
#include <string>

#include "toolkit/Errors.h"
#include "toolkit/Text.h"

std::wstring AppName = kInitialAppName;
std::wstring InstanceMutexName;

namespace {

constexpr wchar_t kCcCoreModule[] = L"ccCore";

// One left-to-right pass; replaced text is never scanned again, so a replacement that contains
// the pattern cannot loop.
std::wstring ReplaceAll(const std::wstring& text, const std::wstring& find,
                        const std::wstring& replacement) {
  if (find.empty()) return text;
  std::wstring out;
  out.reserve(text.size());
  size_t from = 0;
  for (size_t at = text.find(find); at != std::wstring::npos; at = text.find(find, from)) {
    out.append(text, from, at - from);
    out += replacement;
    from = at + find.size();
  }
  out.append(text, from, std::wstring::npos);
  return out;
}

std::wstring Widen(const char* first, const char* last) {
  return std::wstring(first, last);
}

}  // namespace

std::wstring CRLFToEnter(const std::wstring& text) {
  std::wstring out = ReplaceAll(text, L"CRLF ", L"CRLF");
  out = ReplaceAll(out, L" CRLF", L"CRLF");
  return ReplaceAll(out, L"CRLF", L"\r\n");
}

std::wstring ReplaceEnters(const std::wstring& text, const std::wstring& replacement) {
  return ReplaceAll(ReplaceAll(text, L"\n", replacement), L"\r", replacement);
}

std::wstring ReplaceChar(const std::wstring& text, wchar_t find, wchar_t replacement) {
  std::wstring out = text;
  ReplaceCharInPlace(out, find, replacement);
  return out;
}

void ReplaceCharInPlace(std::wstring& text, wchar_t find, wchar_t replacement) {
  for (wchar_t& c : text) {
    if (c == find) c = replacement;
  }
}

std::wstring RemoveLowChars(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (!tk::IsControlChar(c)) out += c;
  }
  return out;
}

std::wstring CopyTo(const std::wstring& text, int from, int to) {
  // Positions outside the text are simply not there; 64-bit so that extreme arguments cannot wrap.
  const int64_t first = from < 1 ? 1 : from;
  const int64_t last = static_cast<int64_t>(to) < static_cast<int64_t>(text.size())
                           ? to
                           : static_cast<int64_t>(text.size());
  if (last < first) return L"";
  return text.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
}

std::wstring LastChar(const std::wstring& text) {
  return text.empty() ? std::wstring() : std::wstring(1, text.back());
}

int LastPos(wchar_t c, const std::wstring& text) {
  const size_t at = text.rfind(c);
  return at == std::wstring::npos ? 0 : static_cast<int>(at) + 1;
}

int PosInsensitive(const std::wstring& needle, const std::wstring& text) {
  if (needle.empty()) return 0;
  const size_t at = UpperCaseAscii(text).find(UpperCaseAscii(needle));
  return at == std::wstring::npos ? 0 : static_cast<int>(at) + 1;
}

std::wstring UpperCaseAscii(const std::wstring& text) {
  std::wstring out = text;
  for (wchar_t& c : out) c = tk::AsciiUpper(c);
  return out;
}

// --- numbers ---

namespace {

// A finite non-negative value as decimal digits: value = 0.digits × 10^pointPos, i.e. the first
// pointPos digits stand before the decimal point (pointPos may be <= 0 or beyond the digits).
struct TDecimal {
  std::string digits;
  int pointPos = 0;
};

// The exact decimal expansion of a finite non-negative double. A double is a 53-bit whole number
// times a power of two, so its expansion ends; it is worked out here with a small base-10^9
// number rather than through the C library's formatting, which would add a formatted-printing
// engine to the shipped program.
TDecimal ExactDigits(double magnitude) {
  TDecimal d;
  if (magnitude == 0) {
    d.digits = "0";
    d.pointPos = 1;
    return d;
  }
  int exponent = 0;
  const double fraction = std::frexp(magnitude, &exponent);
  uint64_t mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
  exponent -= 53;  // magnitude = mantissa * 2^exponent exactly
  constexpr uint64_t kBase = 1000000000;
  std::vector<uint64_t> limbs;  // little-endian, each below kBase
  for (; mantissa > 0; mantissa /= kBase) limbs.push_back(mantissa % kBase);
  const auto multiply = [&limbs](uint64_t factor) {
    uint64_t carry = 0;
    for (uint64_t& limb : limbs) {
      const uint64_t product = limb * factor + carry;
      limb = product % kBase;
      carry = product / kBase;
    }
    for (; carry > 0; carry /= kBase) limbs.push_back(carry % kBase);
  };
  // m * 2^e for e >= 0; m * 2^e = m * 5^-e / 10^-e otherwise, the point moving -e places left.
  for (int left = exponent; left > 0; left -= std::min(left, 29))
    multiply(uint64_t{1} << std::min(left, 29));
  for (int left = -exponent; left > 0; left -= std::min(left, 13)) {
    uint64_t power = 1;
    for (int i = 0; i < std::min(left, 13); ++i) power *= 5;
    multiply(power);
  }
  d.digits = std::to_string(limbs.back());
  for (size_t i = limbs.size() - 1; i-- > 0;) {
    const std::string part = std::to_string(limbs[i]);
    d.digits += std::string(9 - part.size(), '0') + part;
  }
  d.pointPos = static_cast<int>(d.digits.size()) + std::min(exponent, 0);
  return d;
}

// Adds one in the last digit's place, carrying as far as needed (9.99 gives 10.00).
void AddOneInLastPlace(TDecimal& d) {
  size_t i = d.digits.size();
  while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
  if (i == 0) {
    d.digits.insert(d.digits.begin(), '1');
    ++d.pointPos;
  } else {
    ++d.digits[i - 1];
  }
}

// The value rounded to 16 significant digits, the precision a double reliably carries; without
// this 0.1 + 0.2 would print its binary noise once enough decimals are asked for. An exact tie
// goes to the even neighbour, as the default floating-point rounding does.
TDecimal SixteenDigits(double magnitude) {
  TDecimal d = ExactDigits(magnitude);
  constexpr size_t kKeep = 16;
  if (d.digits.size() <= kKeep) return d;
  const char first = d.digits[kKeep];
  const bool rest = d.digits.find_first_not_of('0', kKeep + 1) != std::string::npos;
  const bool up = first > '5' || (first == '5' && (rest || (d.digits[kKeep - 1] - '0') % 2 == 1));
  d.digits.resize(kKeep);
  if (up) AddOneInLastPlace(d);
  return d;
}

// Keeps `decimals` digits behind the point, rounding the first dropped digit half away from zero.
void RoundToDecimals(TDecimal& d, int decimals) {
  const int64_t keep = static_cast<int64_t>(d.pointPos) + decimals;
  if (keep >= static_cast<int64_t>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  const bool up = d.digits[static_cast<size_t>(keep)] >= '5';
  d.digits.resize(static_cast<size_t>(keep));
  if (up) AddOneInLastPlace(d);
}

bool IsZero(const TDecimal& d) {
  return d.digits.find_first_not_of('0') == std::string::npos;
}

// Fixed notation with exactly `decimals` digits behind `separator`; a negative value that rounds
// to zero loses its sign, as "-0" means nothing to a reader.
std::wstring FixedText(double value, int decimals, wchar_t separator) {
  TDecimal d = SixteenDigits(std::fabs(value));
  RoundToDecimals(d, decimals);
  const auto digitAt = [&d](int64_t pos) {
    return (pos >= 0 && pos < static_cast<int64_t>(d.digits.size())) ? wchar_t(d.digits[pos])
                                                                     : L'0';
  };
  std::wstring out = (value < 0 && !IsZero(d)) ? L"-" : L"";
  if (d.pointPos <= 0) out += L'0';
  for (int64_t pos = 0; pos < d.pointPos; ++pos) out += digitAt(pos);
  out += separator;
  for (int64_t k = 0; k < decimals; ++k) out += digitAt(static_cast<int64_t>(d.pointPos) + k);
  return out;
}

// Rounds half to even (the default floating-point rounding mode) and writes all integer digits.
std::wstring WholeText(double value) {
  if (!std::isfinite(value)) throw tk::ERangeError(L"Range check error");
  const double rounded = std::nearbyint(value) + 0.0;  // + 0.0 turns -0 into 0
  // A whole number's expansion may go on in zeros behind the point: only the part before it counts.
  const TDecimal d = ExactDigits(std::fabs(rounded));
  const size_t whole = static_cast<size_t>(std::max(d.pointPos, 1));
  std::string digits = d.digits.substr(0, whole);
  digits.append(whole - digits.size(), '0');
  return (rounded < 0 ? L"-" : L"") + Widen(digits.data(), digits.data() + digits.size());
}

// Beyond this many decimals a double's 16 significant digits are all behind us: only zeros
// follow, which the caller strips anyway, so the cap changes no result and bounds the work.
constexpr int kMaxUsefulDecimals = 350;

}  // namespace

std::wstring Real2StrSep(double value, int decimals, wchar_t separator) {
  // A NaN is misuse whatever the precision asked for.
  tk::Assert(!std::isnan(value), L"Float is NAN!", kCcCoreModule);
  if (decimals <= 0) return WholeText(value);
  // An infinite value has no digits, so no separator to cut at.
  tk::Assert(std::isfinite(value), L"Decimal separator not found!", kCcCoreModule);
  if (decimals > kMaxUsefulDecimals) decimals = kMaxUsefulDecimals;
  std::wstring text = FixedText(value, decimals, separator);
  const size_t sepAt = text.size() - 1 - static_cast<size_t>(decimals);
  while (text.size() > sepAt + 1 && text.back() == L'0') text.pop_back();
  if (text.size() == sepAt + 1) text.pop_back();
  return text;
}

// --- durations ---

std::wstring SecondsToTimeText(uint32_t seconds) {
  const uint32_t days = seconds / 86400;
  const uint32_t hours = seconds / 3600 - 24 * days;
  const uint32_t minutes = seconds / 60 - 1440 * days - 60 * hours;
  const uint32_t secs = seconds - 86400 * days - 3600 * hours - 60 * minutes;
  std::wstring out;
  if (days > 0) out += tk::DecimalText(days) + L" days ";
  if (hours > 0) out += tk::DecimalText(hours) + L"h ";
  if (days <= 7) {
    out += tk::DecimalText(minutes) + L"m ";
    if (days == 0) out += tk::DecimalText(secs) + L"s";
  }
  return out;
}

std::wstring MilisecondsToTimeTextSep(uint32_t milliseconds, wchar_t separator) {
  if (milliseconds < 1000) return tk::DecimalText(milliseconds) + L"ms";
  if (milliseconds < 60000) return Real2StrSep(milliseconds / 1000.0, 3, separator) + L"sec";
  return SecondsToTimeText(milliseconds / 1000);
}

// --- self-delete script ---

namespace {

// Between double quotes a blank, & or ^ is plain text to the command interpreter, but a % is
// still expanded inside a batch file unless it is doubled.
std::wstring BatchQuoted(const std::wstring& path) {
  return L"\"" + ReplaceAll(path, L"%", L"%%") + L"\"";
}

}  // namespace

bool BatchWritable(const std::wstring& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) {
    return c >= L' ' && c <= L'~' && c != L'"';
  });
}

std::wstring SelfDeleteScriptText(const std::wstring& exePath, const std::wstring& scriptPath,
                                  const std::wstring& pingPath, const std::wstring& folder) {
  std::wstring text = L"@echo off\r\n";
  if (BatchWritable(exePath)) {
    const std::wstring exe = BatchQuoted(exePath);
    // A file that stays locked (security software, quarantine) must not keep a hidden process
    // busy for ever: about a second between tries, about a minute in all, then the script goes
    // anyway. ping waits one second between its two echoes on every Windows and under Wine, whose
    // command set lacks timeout; the loopback address keeps it off the network.
    text +=
        L"set /a tries=0\r\n"
        L":delete_exe\r\n"
        L"del /f /q " +
        exe +
        L" >nul 2>&1\r\n"
        L"if not exist " +
        exe +
        L" goto delete_script\r\n"
        L"set /a tries+=1\r\n"
        L"if %tries% geq 60 goto delete_script\r\n";
    if (BatchWritable(pingPath)) text += BatchQuoted(pingPath) + L" -n 2 127.0.0.1 >nul 2>&1\r\n";
    text += L"goto delete_exe\r\n";
  }
  text += L":delete_script\r\n";
  // Without /s: only a folder that the program's going has left empty is removed.
  if (BatchWritable(folder)) text += L"rmdir " + BatchQuoted(folder) + L" >nul 2>&1\r\n";
  if (BatchWritable(scriptPath)) text += L"del /f /q " + BatchQuoted(scriptPath) + L"\r\n";
  return text;
}
