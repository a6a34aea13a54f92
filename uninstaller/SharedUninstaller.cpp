#include "uninstaller/SharedUninstaller.h"

#include "toolkit/Text.h"
#include "OrvexCommonControls/ccIO.h"

namespace {

// From `server` on: a server name, a backslash and a share name, each non-empty.
bool HasServerAndShare(const std::wstring& path, size_t server) {
  const size_t serverEnd = path.find(L'\\', server);
  return serverEnd != std::wstring::npos && serverEnd > server && serverEnd + 1 < path.size() &&
         path[serverEnd + 1] != L'\\';
}

}  // namespace

bool IsFullFolderPath(const std::wstring& path) {
  const size_t start = static_cast<size_t>(PathStartPos(path)) - 1;
  if (start == 8) return HasServerAndShare(path, start);  // \\?\UNC\server\share
  if (path.size() >= start + 3 && tk::IsAsciiLetter(path[start]) && path[start + 1] == L':')
    return path[start + 2] == L'\\';
  if (start != 0 || path.size() < 3 || path.compare(0, 2, L"\\\\") != 0) return false;
  return HasServerAndShare(path, 2);  // \\server\share
}

bool IsRootFolder(const std::wstring& path) {
  const std::wstring folder = Trail(path);
  return !folder.empty() && folder.size() <= PathRootLength(folder);
}

bool HasAmbiguousParts(const std::wstring& path) {
  const size_t root = PathRootLength(path);
  size_t pos = root;
  while (pos < path.size()) {
    size_t end = path.find_first_of(L"\\/", pos);
    if (end == std::wstring::npos) end = path.size();
    if (end > pos) {
      const wchar_t last = path[end - 1];
      if (last == L'.' || last == L' ') return true;
    }
    pos = end + 1;
  }
  return false;
}

bool FolderIsOrContains(const std::wstring& outer, const std::wstring& inner) {
  const std::wstring a = Trail(outer);
  const std::wstring b = Trail(inner);
  return !a.empty() && b.size() >= a.size() && b.compare(0, a.size(), a) == 0;
}
