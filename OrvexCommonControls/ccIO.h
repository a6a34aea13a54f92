// Paths and folders: one vocabulary for folder paths (always ending in a backslash), validity,
// existence, creation, shell folders, the protected-folder list, drives, the Recycle Bin, small
// text files and the file and folder pickers. Portable parts live in ccIO.cpp, the rest in one
// file an area: ccIO_win.cpp (existence, folders, drives, start-up), ccIO_files_win.cpp,
// ccIO_recycle_win.cpp and ccIO_pickers_win.cpp.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TTSL;

// --- form and comparison (portable) ---
std::wstring Trail(const std::wstring& path);
bool SameFolder(const std::wstring& a, const std::wstring& b);

// --- validity (portable) ---
bool HasValidPathChars(const std::wstring& path);
int PathStartPos(const std::wstring& path);  // 1, 5 after "\\?\", 9 after "\\?\UNC\"
bool HasNoStrayColon(const std::wstring& path);
// After any long-path prefix, a letter A to Z followed by ':'.
bool IsDriveRooted(const std::wstring& path);

// --- the system's forms of a path, each empty when the system gives none ---
std::wstring FullPath(const std::wstring& path);   // absolute, its . and .. parts resolved
std::wstring LongPath(const std::wstring& path);   // each part in its long form (the path exists)
std::wstring ShortPath(const std::wstring& path);  // each part in its 8.3 form where it has one

// --- existence ---
// Something, file or folder, is at the path (a link itself counts).
bool PathExists(const std::wstring& path);
bool FolderExists(const std::wstring& path, bool followLinks = true);
// A file, not a folder, is at the path; with followLinks a symbolic link counts by what it leads
// to, so a link to nothing is no file.
bool IsFile(const std::wstring& path, bool followLinks = true);
bool IsFolder(const std::wstring& path);
// A file that is neither a folder nor a link: what a name of ours must hold before it is run.
bool IsRegularFile(const std::wstring& path);
// The path is a link (symbolic link, junction, mount point) or a folder that holds one at any
// depth; also when the folder cannot be read through.
bool HoldsLink(const std::wstring& path);
bool DirectoryExistMsg(const std::wstring& path);

// --- creation ---
bool MakeFolderTree(const std::wstring& path);
int ForceDirectories(const std::wstring& path);  // -1 failed, 0 existed, 1 created
bool ForceDirectoriesMsg(const std::wstring& path);

// --- path parts ---
std::wstring ExtractPath(const std::wstring& path, bool silent);
std::wstring ExtractOnlyName(const std::wstring& path);  // portable
std::wstring AppFolder();

// --- the rules behind the path parts (portable) ---
// What ends a path's folder part: its last backslash; for a path that may name a drive without a
// backslash ("C:name"), also a colon; for one that may come spelled with forward slashes, those
// too.
enum TPathSeparators { psBackslash, psBackslashColon, psAll };
// What follows the last separator: the whole path when it has none.
std::wstring FileNamePart(const std::wstring& path, TPathSeparators separators);
// Up to and including the last separator: empty when there is none.
std::wstring FolderPart(const std::wstring& path, TPathSeparators separators);
// What stands before the name's last dot: the whole name when it has none.
std::wstring WithoutExtension(const std::wstring& name);
// Trailing backslashes removed, the root's own kept (C:\ stays C:\).
std::wstring WithoutTrailingBackslash(const std::wstring& path);
// A character that may stand in a file name: no control character, no wildcard, no separator.
bool IsFileNameChar(wchar_t c);
// A name of at least one character, each of them IsFileNameChar.
bool IsValidFileName(const std::wstring& name);

// --- shell folders ---
std::wstring GetSpecialFolder(int csidl, bool create = false);
std::wstring GetMyDocuments();
std::wstring GetDesktopFolder();
std::wstring AppDataFolder();
TTSL* GetSpecialFolders();  // new list, owned by the caller
bool IsSpecialFolder(const std::wstring& path);

// --- drives ---
unsigned DriveType(const std::wstring& path);
int DriveLetterToNumber(wchar_t letter);  // portable
bool DiskInDrive(int driveNumber);
bool DriveIsReady(const std::wstring& path);

// --- files ---
// Never through a link: an item that holds links is not deleted for good (refused without undo;
// with undo, the shell's offer to delete for good is declined unseen when the Recycle Bin cannot
// take it), since deleting for good walks into a link as into a folder on some systems.
bool RecycleItem(const std::wstring& path, bool allowUndo, bool confirm, bool silent);
// What became of the item, as the operation itself showed it: whether the shell offered to delete
// it for good, and whether it is gone; never by how the Recycle Bin records it, which may spell it
// otherwise, and at a fixed cost however much the bin holds.
enum class TRecycleOutcome {
  Recycled,        // gone, and the shell asked nothing: the Recycle Bin took it
  DeletedForGood,  // gone for good: asked without undo, or by a Yes to the shell's offer
  Declined,        // still there: deleting it for good was declined (by the user or for links)
  Failed,          // still there, and nothing was declined: the shell could not remove it
  Unknown,         // gone, but the operation showed nothing that tells how
};
TRecycleOutcome RecycleItemOutcome(const std::wstring& path, bool allowUndo, bool confirm,
                                   bool silent);
// Writes bytes as the whole content of a file: into a new file beside it first, then moved onto
// the name, so that a reader finds the old file or the whole new one, and a link at that name is
// replaced, never written through. Raises EFCreateError when the file cannot be made there and
// EInOutError when writing fails; nothing is left beside in either case.
void WriteFileWhole(const std::wstring& fileName, std::string_view bytes);
void StringToFile(const std::wstring& fileName, const std::wstring& text, bool overwrite,
                  bool writeMark);
std::wstring StringFromFile(const std::wstring& fileName);
TTSL* StringFromFileTSL(const std::wstring& fileName);  // new list, owned by the caller

// Hours, minutes and seconds of a local time; the text is "hh.mm.ss".
struct TLocalTime {
  int Hour = 0, Minute = 0, Second = 0;
};
TLocalTime NowLocal();
std::wstring TimeToFileNameStr(const TLocalTime& time);

// --- start-up services ---
// A variable of the process's environment; empty when it is not set.
std::wstring EnvironmentValue(const wchar_t* name);
std::wstring GetTempFolder();
// With overwrite, the copy is made beside and moved onto the name, as WriteFileWhole does.
bool FileCopyTo(const std::wstring& source, const std::wstring& destFolder, bool overwrite);
// A folder of one run under the parent (a folder path): the prefix and eight hexadecimal digits,
// made by this call, never one that was there before, never a link. The path ends in a backslash;
// empty when no folder could be made.
std::wstring CreateRunFolder(const std::wstring& parent, const std::wstring& prefix);
// The name is one that CreateRunFolder gives with that prefix (portable).
bool IsRunFolderName(const std::wstring& name, const std::wstring& prefix);
// The self-delete script of a run folder: beside it, named after it with ".BAT" (portable).
std::wstring RunFolderScript(const std::wstring& runFolder);
// Removes what earlier runs left under the parent: a folder of a run folder's name that is no
// link and holds nothing but files (no folder, no link) of the given names, and a run folder's
// script (a file, no link) whose folder is gone. A folder whose files cannot all be deleted,
// because a process still uses one, stays as it is.
void RemoveLeftRunFolders(const std::wstring& parent, const std::wstring& prefix,
                          const std::vector<std::wstring>& fileNames);

// --- pickers ---
// Option flags of the modern folder picker (the platform's FOS_* values).
bool SelectAFolder(std::wstring& folder, const std::wstring& title, unsigned options);
bool PromptToLoadFile(std::wstring& fileName, const std::wstring& filter, const std::wstring& title,
                      const std::wstring& initialFolder);
bool PromptFileDialog(std::wstring& fileName, bool save, const std::wstring& filter,
                      const std::wstring& defaultExt, const std::wstring& title,
                      const std::wstring& initialFolder);

// --- the platform's path steps, written here (portable) ---
// Length of a path's root: C:\ or C:, \\server\share\, a lone \, each after any long-path
// prefix; 0 for a relative path.
size_t PathRootLength(const std::wstring& path);
// The root itself, ending in a backslash (C:\, \\server\share\); empty for a relative path.
std::wstring PathRoot(const std::wstring& path);
// The directory-name step: the text before the last backslash, the root itself for a file in the
// root, empty for a bare root. Blanks are trimmed first; raises "Invalid characters in file name"
// for a blank path or a control character, "The specified path is too long" from 260 characters.
std::wstring PathDirectoryName(const std::wstring& path);
// The create-directory step's checks before the path is made absolute: "Invalid characters in
// path" (blank, control character, '"', '<', '>', '|') and "The path format is not supported"
// (a ':' other than the drive's own).
void CheckFolderPathSyntax(const std::wstring& path);
// "The specified path is too long" for an absolute folder path of 248 characters or more (a
// trailing backslash not counted) unless it carries a long-path prefix.
void CheckFolderPathLength(const std::wstring& fullPath);
// Every folder from the one below the root down to the path itself, in the order of creation.
std::vector<std::wstring> FolderChain(const std::wstring& fullPath);

// --- pieces of the pickers, callable on their own ---
// The modern folder picker (IFileOpenDialog) and the classic browse-for-folder dialog.
bool SelectAFolderModern(std::wstring& folder, const std::wstring& title, unsigned options);
bool SelectAFolderClassic(std::wstring& folder);
