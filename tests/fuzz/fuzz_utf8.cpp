// The UTF-8 conversions behind every exception's what(): well-formed UTF-16 must survive the
// round trip and come out as well-formed UTF-8, and decoding any bytes must keep the plain ASCII
// among them, each in its place, with malformed sequences alone becoming U+FFFD.
// Input: one mode byte; then raw bytes to decode, or text to encode.
#include <cstdint>
#include <string>

#include "toolkit/Errors.h"
#include "toolkit/Text.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

bool IsHighSurrogate(uint32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(uint32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

bool IsWellFormedUtf16(const std::wstring& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto u = static_cast<uint32_t>(text[i]);
    if (u > 0xFFFF || IsLowSurrogate(u)) return false;
    if (IsHighSurrogate(u)) {
      if (i + 1 >= text.size() || !IsLowSurrogate(static_cast<uint32_t>(text[i + 1]))) return false;
      ++i;
    }
  }
  return true;
}

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsWellFormedUtf8(const std::string& bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    size_t extra = 0;
    uint32_t code = 0, least = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, code = b & 0x1F, least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, code = b & 0x0F, least = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, code = b & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= bytes.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto c = static_cast<uint8_t>(bytes[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      code = (code << 6) | (c & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

void CheckDecode(const std::string& bytes) {
  const std::wstring text = tk::FromUtf8(bytes);
  // ASCII bytes never belong to a multi-byte sequence, so each must come out as itself.
  size_t at = 0;
  for (char b : bytes) {
    if (static_cast<uint8_t>(b) >= 0x80) continue;
    while (at < text.size() && text[at] != static_cast<wchar_t>(b)) ++at;
    FUZZ_CHECK(at < text.size(), text);
    ++at;
  }
  FUZZ_CHECK(text.size() <= bytes.size(), text);
  if (IsWellFormedUtf8(bytes)) {
    FUZZ_CHECK(IsWellFormedUtf16(text), text);
    FUZZ_CHECK(tk::ToUtf8(text) == bytes, text);
  }
}

void CheckEncode(const std::wstring& text) {
  const std::string bytes = tk::ToUtf8(text);
  const tk::Exception error(text);
  FUZZ_CHECK(error.Message() == text, text);
  FUZZ_CHECK(std::string(error.what()) == bytes.substr(0, bytes.find('\0')), text);
  if (!IsWellFormedUtf16(text)) return;
  FUZZ_CHECK(IsWellFormedUtf8(bytes), text);
  FUZZ_CHECK(tk::FromUtf8(bytes) == text, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  if (in.Byte() % 2 == 0) {
    const auto* first = reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0);
    CheckDecode(std::string(first, reinterpret_cast<const char*>(data) + size));
  } else {
    CheckEncode(in.Rest());
  }
  return 0;
}
