// A whole-sandbox guard: a listing with content hashes of drive C: and of the XDG trash before a
// run, compared with one after it. Anything that changed outside what the user confirmed is an
// unexpected change; any removed file that is not in the trash byte for byte is a lost file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct GuardEntry {
  bool folder = false;
  uint64_t size = 0;
  uint64_t writeTime = 0;
  std::string hash;  // SHA-256 of the content, hex; empty for a folder
  bool operator==(const GuardEntry& other) const {
    return folder == other.folder && size == other.size && hash == other.hash;
  }
};

// Full path (as listed) -> entry, for every file and folder below the roots. Links are listed
// but not followed.
using GuardListing = std::map<std::wstring, GuardEntry>;

struct GuardReport {
  std::vector<std::wstring> unexpected;  // changed, added or removed outside what was allowed
  std::vector<std::wstring> lost;        // removed from a confirmed folder, not in the trash
  size_t removed = 0;                    // files removed from confirmed folders
  size_t recycled = 0;                   // of those, found in the trash byte for byte
  bool Clean() const { return unexpected.empty() && lost.empty(); }
  std::string Describe() const;
};

class SandboxGuard {
 public:
  // Takes the listing before the run.
  SandboxGuard();

  // What the run may do besides removing confirmed folders: files that may appear, change or go
  // (the log on the desktop, the uninstaller's temporary copy and script, the shortcuts).
  void AllowFile(const std::wstring& path);
  // Every file below the folder may appear, change or go (a folder the test itself uses).
  void AllowFolder(const std::wstring& folder);
  // Every file whose full path starts with the text may appear, change or go (the uninstall log,
  // whose name carries the time).
  void AllowPrefix(const std::wstring& pathStart);
  // The folder the user confirmed: whatever goes from it must be in the trash byte for byte.
  void Confirm(const std::wstring& folder);

  // Compares the sandbox now with the listing taken at construction.
  GuardReport Check() const;

  static GuardListing Take();

 private:
  bool Allowed(const std::wstring& upperPath) const;
  bool InConfirmed(const std::wstring& upperPath, std::wstring& relative) const;

  GuardListing before_;
  std::vector<std::wstring> allowedFiles_, allowedFolders_, allowedPrefixes_,
      confirmed_;  // upper case
};

// Appends one line to the run's reliability figures (state\reliability.tsv in the sandbox):
// kind ("hostile" or "fault"), the case's name, files lost and unexpected changes.
void RecordFigure(const std::string& kind, const std::string& name, const GuardReport& report);

}  // namespace testing_support
