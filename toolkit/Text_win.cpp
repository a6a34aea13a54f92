// The conversions that need the system's code pages.
#include <windows.h>

#include "toolkit/Text.h"

namespace tk {
namespace {

std::wstring Decode(std::string_view bytes, UINT codePage) {
  if (bytes.empty()) return L"";
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  std::wstring text(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), size, text.data(), length);
  return text;
}

// A last odd byte is no character and is dropped.
std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::wstring text(bytes.size() / 2, L'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned first = static_cast<unsigned char>(bytes[2 * i]);
    const unsigned second = static_cast<unsigned char>(bytes[2 * i + 1]);
    text[i] = static_cast<wchar_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  return text;
}

}  // namespace

std::wstring TextFromBytes(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return Decode(bytes.substr(3), CP_UTF8);
  if (bytes.starts_with("\xFF\xFE")) return DecodeUtf16(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return DecodeUtf16(bytes.substr(2), true);
  return Decode(bytes, CP_ACP);
}

}  // namespace tk
