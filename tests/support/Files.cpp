#include "tests/support/Files.h"

#include <windows.h>
#include <shlobj.h>

#include "toolkit/Errors.h"
#include "toolkit/Text.h"

namespace testing_support {

bool FileExists(const std::wstring& path) {
  DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::wstring& path) {
  DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw tk::Exception(L"cannot read " + path);
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got) bytes.append(buffer, got);
  ::CloseHandle(h);
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos) MakeDirs(path.substr(0, slash));
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw tk::Exception(L"cannot write " + path);
  DWORD written = 0;
  const bool whole =
      ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  ::CloseHandle(h);
  if (!whole) throw tk::Exception(L"cannot write " + path);
}

void WriteUtf16File(const std::wstring& path, const std::wstring& text) {
  WriteFileBytes(
      path, std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

void MakeDirs(const std::wstring& path) {
  ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
}

void RemoveTree(const std::wstring& path) {
  // A link goes as a link: what it points to is never emptied through it.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    if (!::RemoveDirectoryW(path.c_str())) ::DeleteFileW(path.c_str());
    return;
  }
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW fd{};
  HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = path + L"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);  // a link below is removed as a link, see above
      } else {
        ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(full.c_str());
      }
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(path.c_str());
}

static void ListInto(const std::wstring& root, const std::wstring& rel,
                     std::map<std::wstring, std::string>& out) {
  WIN32_FIND_DATAW fd{};
  std::wstring base = rel.empty() ? root : root + L"\\" + rel;
  HANDLE find = ::FindFirstFileW((base + L"\\*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring sub = rel.empty() ? name : rel + L"\\" + name;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[sub + L"\\"] = "";
      ListInto(root, sub, out);
    } else {
      out[sub] = ReadFileBytes(root + L"\\" + sub);
    }
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
}

std::map<std::wstring, std::string> TreeListing(const std::wstring& root) {
  std::map<std::wstring, std::string> out;
  ListInto(root, L"", out);
  return out;
}

std::vector<std::wstring> FilesMatching(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd{};
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(fd.cFileName);
  while (::FindNextFileW(find, &fd));
  ::FindClose(find);
  return names;
}

std::wstring Narrow2Wide(const std::string& text) {
  return tk::FromUtf8(text);
}

std::string Wide2Utf8(const std::wstring& text) {
  return tk::ToUtf8(text);
}

}  // namespace testing_support
