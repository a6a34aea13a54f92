#include "tests/support/SandboxGuard.h"

#include <bcrypt.h>

#include <tuple>

#include "toolkit/Errors.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"

namespace testing_support {

namespace {

std::wstring Upper(std::wstring text) {
  if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

bool IsBelow(const std::wstring& path, const std::wstring& folder) {
  return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == L'\\';
}

std::string Hex(const unsigned char* bytes, size_t count) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

class Sha256 {
 public:
  Sha256() {
    if (BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
      throw tk::Exception(L"SHA-256 is not available");
  }
  ~Sha256() { BCryptCloseAlgorithmProvider(algorithm_, 0); }
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  std::string OfFile(const std::wstring& path) const {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "unreadable";
    BCRYPT_HASH_HANDLE hash = nullptr;
    BCryptCreateHash(algorithm_, &hash, nullptr, 0, nullptr, 0, 0);
    std::string buffer(1 << 20, '\0');
    DWORD read = 0;
    while (::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) &&
           read > 0)
      BCryptHashData(hash, reinterpret_cast<PUCHAR>(buffer.data()), read, 0);
    ::CloseHandle(file);
    unsigned char digest[32] = {};
    BCryptFinishHash(hash, digest, sizeof(digest), 0);
    BCryptDestroyHash(hash);
    return Hex(digest, sizeof(digest));
  }

 private:
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
};

// The system's own files are many and large and do not change: a file whose size and time are
// as last seen keeps the hash it had then.
std::string CachedHash(const Sha256& sha, const std::wstring& path, uint64_t size, uint64_t time) {
  static std::map<std::wstring, std::tuple<uint64_t, uint64_t, std::string>> cache;
  auto found = cache.find(path);
  if (found != cache.end() && std::get<0>(found->second) == size &&
      std::get<1>(found->second) == time)
    return std::get<2>(found->second);
  std::string hash = sha.OfFile(path);
  cache[path] = {size, time, hash};
  return hash;
}

void Walk(const Sha256& sha, const std::wstring& folder, GuardListing& listing) {
  WIN32_FIND_DATAW fd{};
  HANDLE find = ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &fd,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    GuardEntry entry;
    entry.writeTime =
        (uint64_t{fd.ftLastWriteTime.dwHighDateTime} << 32) | fd.ftLastWriteTime.dwLowDateTime;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // A link is listed as what it is; what it points to is listed where it lives.
      entry.folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      entry.hash = "link";
      listing[path] = entry;
    } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      entry.folder = true;
      listing[path] = entry;
      Walk(sha, path, listing);
    } else {
      entry.size = (uint64_t{fd.nFileSizeHigh} << 32) | fd.nFileSizeLow;
      entry.hash = CachedHash(sha, path, entry.size, entry.writeTime);
      listing[path] = entry;
    }
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
}

}  // namespace

std::string GuardReport::Describe() const {
  std::string text = std::to_string(recycled) + " of " + std::to_string(removed) +
                     " removed files are in the trash byte for byte";
  for (const std::wstring& path : lost) text += "\n  LOST: " + Wide2Utf8(path);
  for (const std::wstring& path : unexpected) text += "\n  UNEXPECTED: " + Wide2Utf8(path);
  return text;
}

void RecordFigure(const std::string& kind, const std::string& name, const GuardReport& report) {
  const std::wstring file = SandboxDir() + L"\\state\\reliability.tsv";
  std::string text = FileExists(file) ? ReadFileBytes(file) : std::string();
  text += kind + "\t" + name + "\t" + std::to_string(report.lost.size()) + "\t" +
          std::to_string(report.unexpected.size()) + "\n";
  WriteFileBytes(file, text);
}

GuardListing SandboxGuard::Take() {
  static const Sha256 sha;
  GuardListing listing;
  Walk(sha, L"C:", listing);
  Walk(sha, TrashDir(), listing);
  return listing;
}

SandboxGuard::SandboxGuard() : before_(Take()) {}

void SandboxGuard::AllowFile(const std::wstring& path) {
  allowedFiles_.push_back(Upper(path));
}

void SandboxGuard::AllowFolder(const std::wstring& folder) {
  allowedFolders_.push_back(Upper(WithoutTrailingBackslash(folder)));
}

void SandboxGuard::AllowPrefix(const std::wstring& pathStart) {
  allowedPrefixes_.push_back(Upper(pathStart));
}

void SandboxGuard::Confirm(const std::wstring& folder) {
  confirmed_.push_back(Upper(WithoutTrailingBackslash(folder)));
}

bool SandboxGuard::Allowed(const std::wstring& upperPath) const {
  for (const std::wstring& file : allowedFiles_)
    if (upperPath == file) return true;
  for (const std::wstring& folder : allowedFolders_)
    if (upperPath == folder || IsBelow(upperPath, folder)) return true;
  for (const std::wstring& start : allowedPrefixes_)
    if (upperPath.compare(0, start.size(), start) == 0) return true;
  return false;
}

bool SandboxGuard::InConfirmed(const std::wstring& upperPath, std::wstring& relative) const {
  for (const std::wstring& folder : confirmed_) {
    if (upperPath == folder) {
      relative.clear();
      return true;
    }
    if (IsBelow(upperPath, folder)) {
      relative = upperPath.substr(folder.size() + 1);
      return true;
    }
  }
  return false;
}

GuardReport SandboxGuard::Check() const {
  const GuardListing after = Take();
  const std::wstring trash = Upper(TrashDir());
  const std::wstring trashFiles = trash + L"\\FILES";
  // What arrived in the trash in this run, by upper-case path, and its top-level items.
  std::map<std::wstring, const GuardEntry*> arrived;
  std::vector<std::wstring> newItems;
  for (const auto& [path, entry] : after) {
    const std::wstring upper = Upper(path);
    if (!IsBelow(upper, trash) || before_.count(path)) continue;
    arrived[upper] = &entry;
    if (IsBelow(upper, trashFiles) &&
        upper.find(L'\\', trashFiles.size() + 1) == std::wstring::npos)
      newItems.push_back(upper);
  }

  GuardReport report;
  for (const auto& [path, entry] : before_) {
    const auto now = after.find(path);
    if (now != after.end() && now->second == entry) continue;
    const std::wstring upper = Upper(path);
    std::wstring relative;
    if (IsBelow(upper, trash)) {
      report.unexpected.push_back(path + L" (in the trash before the run) changed or went");
    } else if (now == after.end() && InConfirmed(upper, relative)) {
      if (entry.folder) continue;
      ++report.removed;
      bool found = false;
      for (const std::wstring& item : newItems) {
        const auto copy = arrived.find(relative.empty() ? item : item + L"\\" + relative);
        found = found || (copy != arrived.end() && *copy->second == entry);
      }
      if (found)
        ++report.recycled;
      else
        report.lost.push_back(path);
    } else if (!Allowed(upper)) {
      report.unexpected.push_back(path + (now == after.end() ? L" went" : L" changed"));
    }
  }
  for (const auto& [path, entry] : after) {
    if (before_.count(path)) continue;
    const std::wstring upper = Upper(path);
    if (IsBelow(upper, trash) || Allowed(upper)) continue;
    report.unexpected.push_back(path + L" appeared");
  }
  return report;
}

}  // namespace testing_support
