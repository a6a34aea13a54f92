// The product's stored paths: a read-only look at string values of the current user's registry.
#pragma once

#include <windows.h>

#include <string>

// The maker's registry key prefix; a product's key is this prefix followed by its name.
inline constexpr wchar_t kOrvexKeyPrefix[] = L"Software\\OrvexDesign\\";
// The product whose values are read here, and the one name the program has for it: also used in
// messages, the shortcut names and the log file name.
inline constexpr wchar_t kProductName[] = L"Pelmor Wallpaper Changer";

// The string (or unexpanded expandable-string) value, exactly as stored; the default when the
// key or the value is missing or unreadable. A value of another type raises
// tk::ERegistryException "Invalid data type for '<value name>'". The key is never created.
std::wstring RegReadString(HKEY root, const std::wstring& keyPath, const std::wstring& valueName,
                           const std::wstring& defaultValue = L"");

// The product's "Install path" and "App data path" values; empty when missing.
std::wstring ReadInstallPath();
std::wstring ReadAppDataPath();
