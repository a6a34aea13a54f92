// Where the maker of the product this program removes can be reached. The product's name is
// kProductName (ccRegistry.h), under which the library reads the product's stored paths.
#pragma once

// The product web site, without a trailing slash: page paths are appended to it.
inline constexpr wchar_t ProductWebSite[] = L"https://www.example.com";
// The maker's support address, behind "mailto:".
inline constexpr wchar_t SupportEmail[] = L"support@example.com";
