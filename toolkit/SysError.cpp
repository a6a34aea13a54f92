#include "toolkit/SysError.h"

#include "toolkit/Handles.h"
#include "toolkit/Text.h"

namespace tk {

std::wstring SystemErrorText(DWORD code) {
  UniqueLocalPtr<wchar_t> buffer;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
  std::wstring text;
  if (length && buffer) text.assign(buffer.get(), length);
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  if (text.empty()) text = L"System error " + DecimalText(code);
  return text;
}

std::wstring FileErrorText(const wchar_t* what, const std::wstring& fileName, DWORD code) {
  return std::wstring(what) + L" \"" + fileName + L"\". " + SystemErrorText(code);
}

}  // namespace tk
