#include "OrvexCommonControls/ccRegistry.h"

#include "toolkit/Errors.h"
#include "toolkit/Handles.h"

namespace {

std::wstring ProductKey() {
  return std::wstring(kOrvexKeyPrefix) + kProductName;
}

std::wstring TextOf(const std::wstring& buffer, DWORD bytes) {
  std::wstring text = buffer.substr(0, bytes / sizeof(wchar_t));
  // Stored strings usually carry their terminating NUL; the text ends before it.
  const size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  return text;
}

// A value that grows between the size query and the read (another program writing it) is read
// again at its new size; one that keeps growing is as unreadable as one that cannot be read.
constexpr int kReadTries = 4;

std::wstring ReadStringValue(HKEY key, const std::wstring& valueName, DWORD bytes) {
  for (int attempt = 1; attempt <= kReadTries; ++attempt) {
    std::wstring buffer((bytes + 1) / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    DWORD type = 0;
    const LSTATUS status = ::RegQueryValueExW(key, valueName.c_str(), nullptr, &type,
                                              reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status == ERROR_MORE_DATA) {
      bytes = size;
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
      throw tk::ERegistryException(L"Invalid data type for '" + valueName + L"'");
    return TextOf(buffer, size);
  }
  throw tk::ERegistryException(L"Failed to get data for '" + valueName + L"'");
}

}  // namespace

std::wstring RegReadString(HKEY root, const std::wstring& keyPath, const std::wstring& valueName,
                           const std::wstring& defaultValue) {
  tk::UniqueHKEY key;
  if (::RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return defaultValue;
  DWORD type = 0;
  DWORD bytes = 0;
  if (::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &bytes) !=
      ERROR_SUCCESS)
    return defaultValue;
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    throw tk::ERegistryException(L"Invalid data type for '" + valueName + L"'");
  if (bytes == 0) return L"";
  return ReadStringValue(key.get(), valueName, bytes);
}

std::wstring ReadInstallPath() {
  return RegReadString(HKEY_CURRENT_USER, ProductKey(), L"Install path");
}

std::wstring ReadAppDataPath() {
  return RegReadString(HKEY_CURRENT_USER, ProductKey(), L"App data path");
}
