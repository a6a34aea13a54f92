// The uninstaller's own helpers for what lies outside the product's folders: the running
// product's window, its desktop and Start-menu shortcuts, and the folders it must never remove.
#pragma once

#include <string>
#include <vector>

// True when a window of the running product (class InstanceMutexName) exists; it has then been
// restored and brought to the front.
bool ActivateRunningInstance();

// Delete "<name>.lnk" from the user's desktop / Start-menu folder; true when a file was deleted.
bool DeleteDesktopShortcut(const std::wstring& name);
bool DeleteStartMenuShortcut(const std::wstring& name);

// True for a folder that must not go to the Recycle Bin whole: a shell special folder
// (IsSpecialFolder), a drive or network-share root, a folder that is or contains a special folder,
// a folder the known-folder manager lists or a program folder, the user's profile, Downloads or
// temporary folder, the Recycle Bin's storage or a folder in it, a junction or symbolic link, a
// relative path, a path with a character that HasValidPathChars refuses (the "\\?\" prefix among
// them), and a path with "." or ".." parts or a part that ends in a dot or a blank (which Windows
// drops, so that the text would name another folder than it spells).
bool IsProtectedFolder(const std::wstring& path);

// The folders that IsProtectedFolder compares a path with, read from the system once: reading
// them costs tens of milliseconds, and an uninstall checks two folders.
class ProtectedFolders {
 public:
  static ProtectedFolders Read();
  // IsProtectedFolder, against these folders.
  bool Protect(const std::wstring& path) const;

 private:
  // Each in every spelling (Trail, upper case): the shell's special folders (IsSpecialFolder),
  // and besides them the folders and drive roots that no removed folder may hold.
  std::vector<std::wstring> special_;
  std::vector<std::wstring> contained_;
  // The Recycle Bin's own storage: neither it, nor what it holds, nor a folder that holds it.
  std::vector<std::wstring> bin_;
  // False when a drive's spellings could not be read whole: then every folder is refused.
  bool complete_ = true;
};

// --- the run's own folder ---
// The uninstaller runs from a copy in a folder of its own under the temporary folder, which the
// run makes new (CreateRunFolder) and its self-delete script removes.
inline constexpr wchar_t kRunFolderPrefix[] = L"PelmorUninstaller-";
// The marker beside the running executable that starts the uninstaller in debug mode; the first
// process carries it to its copy.
inline constexpr wchar_t kDebugModeFile[] = L"DebugMode";
// The running copy's folder when it is a run folder under the temporary folder; empty otherwise.
std::wstring OwnRunFolder();
// What a run folder may hold, the program first: the copy and the marker.
std::vector<std::wstring> RunFolderFileNames();
// At the run's end: deletes the marker carried into the run folder and gives the folder, which
// the self-delete script is to remove with the copy (ScheduleSelfDelete); empty outside one.
std::wstring PrepareRunFolderRemoval();

// --- the spelling tests behind IsProtectedFolder (portable) ---
// A path that starts at a drive root (C:\) or a network share (\\server\share), after any
// long-path prefix.
bool IsFullFolderPath(const std::wstring& path);
// The path names a drive or share root itself (C:\, D:, \\server\share\).
bool IsRootFolder(const std::wstring& path);
// Some part of the path is "." or "..", or ends in a dot or a blank.
bool HasAmbiguousParts(const std::wstring& path);
// inner is the folder outer or lies below it. The letters are compared as given: the caller
// brings both into one letter case.
bool FolderIsOrContains(const std::wstring& outer, const std::wstring& inner);
