// Files and folders as the tests make, read and compare them, and the text conversions their
// messages use.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testing_support {

bool FileExists(const std::wstring& path);
bool DirExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
// Creates the folders it needs; raises tk::Exception when the file cannot be written whole.
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
void WriteUtf16File(const std::wstring& path, const std::wstring& text);  // no BOM
void MakeDirs(const std::wstring& path);
void RemoveTree(const std::wstring& path);
// Names (without folder) of the files that match a pattern such as C:\\x\\*.RTF.
std::vector<std::wstring> FilesMatching(const std::wstring& pattern);
// relative path -> content for every file below root ("sub\\a.txt"); folders end in "\\".
std::map<std::wstring, std::string> TreeListing(const std::wstring& root);

std::wstring Narrow2Wide(const std::string& text);
std::string Wide2Utf8(const std::wstring& text);

}  // namespace testing_support
