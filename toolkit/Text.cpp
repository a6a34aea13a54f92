#include "toolkit/Text.h"

#include <algorithm>

namespace tk {

bool HasControlChar(std::wstring_view text) {
  return std::any_of(text.begin(), text.end(), IsControlChar);
}

bool SameTextAscii(std::wstring_view a, std::wstring_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](wchar_t x, wchar_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

std::wstring Trim(std::wstring_view text, TrimOpt opt) {
  const auto trimmed = [opt](wchar_t c) {
    return c == L' ' || (opt == TrimOpt::SpacesAndControls && IsControlChar(c));
  };
  size_t first = 0, last = text.size();
  while (first < last && trimmed(text[first])) ++first;
  while (last > first && trimmed(text[last - 1])) --last;
  return std::wstring(text.substr(first, last - first));
}

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    // The text is UTF-16 whatever the width of wchar_t, so a surrogate pair is one character
    // also where wchar_t has 32 bits.
    char32_t c = static_cast<char32_t>(text[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      const char32_t low = static_cast<char32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring FromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    char32_t c = 0xFFFD;
    size_t extra = 0;
    if (b < 0x80) {
      c = b;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F;
      extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F;
      extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07;
      extra = 3;
    }
    for (size_t k = 1; k <= extra; ++k) {
      // A sequence cut short, by the end of the text or by a byte that cannot continue it, is
      // one replacement character; what follows it is read on its own.
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        c = 0xFFFD;
        extra = k - 1;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += extra + 1;
    // UTF-16 out on every platform, like the text everywhere else.
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (c >> 10));
      out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<wchar_t>(c > 0x10FFFF ? 0xFFFD : c);
    }
  }
  return out;
}

std::wstring DecimalText(long long value) {
  std::wstring text;
  AppendDecimal(text, value);
  return text;
}

}  // namespace tk
