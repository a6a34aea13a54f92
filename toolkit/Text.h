// Text rules and conversions shared by every layer: character classes, trims, ASCII case, UTF-8,
// the system's code pages and decimal numbers. Text.cpp is portable; what needs the system's
// code pages lives in Text_win.cpp.
#pragma once

#include <string>
#include <string_view>

namespace tk {

// --- character classes ---

// U+0000 to U+001F: line breaks, tabs, NUL and the other control codes.
constexpr bool IsControlChar(wchar_t c) {
  return static_cast<char32_t>(c) < U' ';
}
bool HasControlChar(std::wstring_view text);
constexpr bool IsAsciiLetter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}
// Only a to z change: the rules that use it are the file system's, not the user's language.
constexpr wchar_t AsciiUpper(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}
bool SameTextAscii(std::wstring_view a, std::wstring_view b);

// --- trims ---

// What Trim takes off both ends: spaces alone (the platform's path steps), or spaces and control
// characters (text typed or read from a file).
enum class TrimOpt { Spaces, SpacesAndControls };
std::wstring Trim(std::wstring_view text, TrimOpt opt);

// --- conversions ---

// UTF-16 to UTF-8 and back; a broken sequence becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// Appends a whole number in decimal, a leading "-" for negatives and no grouping, to narrow or
// wide text. Ours rather than the runtime's, whose wide-text conversion brings a whole
// formatted-printing engine along.
template <typename Text>
void AppendDecimal(Text& out, long long value) {
  // Works on the magnitude as unsigned, so the most negative value needs no special case.
  unsigned long long magnitude = static_cast<unsigned long long>(value);
  if (value < 0) {
    magnitude = 0ULL - magnitude;
    out += '-';
  }
  typename Text::value_type digits[20];
  int count = 0;
  do digits[count++] = static_cast<typename Text::value_type>('0' + magnitude % 10);
  while ((magnitude /= 10) > 0);
  while (count > 0) out += digits[--count];
}
std::wstring DecimalText(long long value);

#ifdef _WIN32
// Plain text by its byte-order mark: UTF-8, UTF-16 little or big endian, else the ANSI code page.
std::wstring TextFromBytes(std::string_view bytes);
#endif

}  // namespace tk
