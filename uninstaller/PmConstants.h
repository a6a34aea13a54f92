// The product this program removes, and where its maker can be reached.
#pragma once

// Used in messages, the shortcut names, the log file name and the product's registry key.
inline constexpr wchar_t ProductName[] = L"Pelmor Wallpaper Changer";
// The product web site, without a trailing slash: page paths are appended to it.
inline constexpr wchar_t ProductWebSite[] = L"https://www.example.com";
// The maker's support address, behind "mailto:".
inline constexpr wchar_t SupportEmail[] = L"support@example.com";
