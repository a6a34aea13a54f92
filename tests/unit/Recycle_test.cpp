// RecycleItem against the sandbox's real Recycle Bin (Wine's XDG trash): what it moves arrives
// whole with the record of where it came from, and it never reports success for an item that is
// still there or was destroyed instead of recycled without the user's consent. The operation it
// hands the shell (owner, source list, flags) is caught on its way, in the program's import table.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/Application.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/ImportTable.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccIO.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

// The trash-info record stores the path percent-encoded.
std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string InfoPath(const std::string& info) {
  const size_t start = info.find("\nPath=");
  if (start == std::string::npos) return "";
  const size_t end = info.find('\n', start + 6);
  return PercentDecode(info.substr(start + 6, end == std::string::npos ? end : end - start - 6));
}

// Every probe has a name of its own: one created just before the folder turned immutable cannot
// be deleted again, and would make every later probe of that name fail.
bool CanCreateIn(const std::wstring& folder) {
  static int count = 0;
  const std::wstring probe = folder + L"\\.probe-" + std::to_wstring(++count);
  HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  ::DeleteFileW(probe.c_str());
  return true;
}

void RemoveProbes(const std::wstring& folder) {
  WIN32_FIND_DATAW fd{};
  HANDLE find = ::FindFirstFileW((folder + L"\\.probe-*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do ::DeleteFileW((folder + L"\\" + fd.cFileName).c_str());
  while (::FindNextFileW(find, &fd));
  ::FindClose(find);
}

// Makes a folder immutable (nothing can be added to, removed from or renamed out of it) or
// mutable again, and waits until the change shows.
bool SetImmutable(const std::wstring& folder, bool immutable) {
  const std::string unix = UnixPathOf(folder);
  if (unix.empty()) return false;
  if (!RunOnLinux("chattr " + std::string(immutable ? "+i " : "-i ") + ShellQuoted(unix)))
    return false;
  if (!WaitUntil([&] { return CanCreateIn(folder) != immutable; }, 20s)) return false;
  if (!immutable) RemoveProbes(folder);
  return true;
}

std::wstring UniqueName(const std::wstring& stem) {
  return stem + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(::GetTickCount());
}

// A folder with files at several depths, one of them binary, and an empty subfolder.
void FillNested(const std::wstring& folder) {
  WriteFileBytes(folder + L"\\readme.txt", "top level\r\n");
  WriteFileBytes(folder + L"\\data\\image.bin",
                 std::string("\x00\x01\xFF\xFE\r\n\x1A", 7) + std::string(70000, '\x5A'));
  WriteFileBytes(folder + L"\\data\\deeper\\notes.txt", "nested notes");
  WriteFileBytes(folder + L"\\data\\deeper\\Gr\u00FC\u00DFe \u4E2D.txt", "wide name");
  MakeDirs(folder + L"\\empty");
}

// What one file operation handed the shell, copied while the call was made.
struct ShellFileOperation {
  HWND owner = nullptr;
  UINT function = 0;
  std::wstring from;  // the whole source list, its closing NULs included
  bool hasTarget = false;
  FILEOP_FLAGS flags = 0;
  bool hasMappings = false;
  bool hasProgressTitle = false;
};

// Stands between this program and the shell's SHFileOperationW while it lives: every operation is
// recorded, then passed on to the shell, or refused unseen by it (for items that must never go).
class ShellFileOperationSpy {
 public:
  enum class Then { PassOn, Refuse };
  static constexpr int kRefused = ERROR_CANCELLED;

  explicit ShellFileOperationSpy(Then then) : then_(then) {
    active_ = this;
    patch_.emplace("shell32.dll", "SHFileOperationW", reinterpret_cast<void*>(&Record));
    original_ = reinterpret_cast<Operation>(patch_->Original());
  }
  ~ShellFileOperationSpy() {
    patch_.reset();
    active_ = nullptr;
  }
  ShellFileOperationSpy(const ShellFileOperationSpy&) = delete;
  ShellFileOperationSpy& operator=(const ShellFileOperationSpy&) = delete;

  bool Installed() const { return patch_->Installed(); }
  std::vector<ShellFileOperation> Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  using Operation = int(WINAPI*)(LPSHFILEOPSTRUCTW);

  static int WINAPI Record(LPSHFILEOPSTRUCTW operation) {
    ShellFileOperationSpy* spy = active_;
    ShellFileOperation seen;
    seen.owner = operation->hwnd;
    seen.function = operation->wFunc;
    for (const wchar_t* at = operation->pFrom; at && seen.from.size() < 32768; ++at) {
      seen.from.push_back(*at);
      const size_t n = seen.from.size();
      if (n >= 2 && seen.from[n - 1] == L'\0' && seen.from[n - 2] == L'\0') break;
    }
    seen.hasTarget = operation->pTo != nullptr;
    seen.flags = operation->fFlags;
    seen.hasMappings = operation->hNameMappings != nullptr;
    seen.hasProgressTitle = operation->lpszProgressTitle != nullptr;
    {
      std::lock_guard<std::mutex> lock(spy->mutex_);
      spy->calls_.push_back(seen);
    }
    if (spy->then_ == Then::Refuse) return kRefused;
    return spy->original_(operation);
  }

  static inline ShellFileOperationSpy* active_ = nullptr;
  Then then_;
  std::optional<ImportPatch> patch_;
  Operation original_ = nullptr;
  mutable std::mutex mutex_;
  std::vector<ShellFileOperation> calls_;
};

// A source list of one name: the name, its NUL and the list's closing NUL.
std::wstring SourceListOf(const std::wstring& name) {
  return name + std::wstring(2, L'\0');
}

std::string Printable(const std::wstring& list) {
  std::wstring shown;
  for (wchar_t c : list) shown += c ? std::wstring(1, c) : std::wstring(L"<NUL>");
  return Wide2Utf8(shown);
}

wchar_t MissingDrive() {
  const DWORD drives = ::GetLogicalDrives();
  for (wchar_t letter = L'Z'; letter >= L'D'; --letter)
    if (!(drives & (1u << (letter - L'A')))) return letter;
  return 0;
}

class Recycle : public ::testing::Test {
 protected:
  void SetUp() override {
    mainForm_ = ::CreateWindowExW(0, L"STATIC", L"Recycle test", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                  100, nullptr, nullptr, nullptr, nullptr);
    tk::App().SetMainFormHandle(mainForm_);
    root_ = FreshFolder(UniqueName(L"recycle"));
  }
  void TearDown() override {
    // An immutable folder left behind would stop the sandbox from ever being removed.
    if (!locked_.empty()) SetImmutable(locked_, false);
    tk::App().SetMainFormHandle(nullptr);
    ::DestroyWindow(mainForm_);
    RemoveTree(root_);
    for (const std::wstring& name : trashed_) {
      RemoveTree(TrashDir() + L"\\files\\" + name);
      ::DeleteFileW((TrashDir() + L"\\files\\" + name).c_str());
      ::DeleteFileW((TrashDir() + L"\\info\\" + name + L".trashinfo").c_str());
    }
  }

  // Checks that the item named `name` arrived in the trash with `listing` and the record of
  // its original place.
  void ExpectInTrash(const std::wstring& original, const std::wstring& name,
                     const std::map<std::wstring, std::string>& listing) {
    trashed_.push_back(name);
    const std::wstring inTrash = TrashDir() + L"\\files\\" + name;
    ASSERT_TRUE(DirExists(inTrash) || FileExists(inTrash)) << "not in the trash: " << inTrash;
    if (DirExists(inTrash)) {
      EXPECT_EQ(TreeListing(inTrash), listing);
    } else {
      ASSERT_EQ(listing.size(), 1u);
      EXPECT_EQ(ReadFileBytes(inTrash), listing.begin()->second);
    }
    const std::wstring info = TrashDir() + L"\\info\\" + name + L".trashinfo";
    ASSERT_TRUE(FileExists(info)) << "no trash-info record " << info;
    const std::string record = ReadFileBytes(info);
    EXPECT_EQ(record.rfind("[Trash Info]", 0), 0u) << record;
    EXPECT_EQ(InfoPath(record), UnixPathOf(original)) << record;
    EXPECT_NE(record.find("\nDeletionDate="), std::string::npos) << record;
  }

  bool Lock(const std::wstring& folder) {
    locked_ = folder;
    return SetImmutable(folder, true);
  }
  bool Unlock() {
    const bool done = SetImmutable(locked_, false);
    if (done) locked_.clear();
    return done;
  }

  HWND mainForm_ = nullptr;
  std::wstring root_;
  std::wstring locked_;
  std::vector<std::wstring> trashed_;
};

}  // namespace

TEST_F(Recycle, FolderNamedWithTrailingBackslashArrivesWholeInTheTrash) {
  const std::wstring name = UniqueName(L"Pelmor Wallpaper Changer");
  const std::wstring folder = root_ + L"\\" + name;
  FillNested(folder);
  const auto listing = TreeListing(folder);
  const std::string original = UnixPathOf(folder);

  EXPECT_TRUE(RecycleItem(folder + L"\\", true, false, false));
  EXPECT_FALSE(DirExists(folder));
  EXPECT_FALSE(original.empty());
  ExpectInTrash(folder, name, listing);
}

TEST_F(Recycle, FolderNamedWithoutBackslashArrivesWholeInTheTrash) {
  const std::wstring name = UniqueName(L"AppData-Pelmor");
  const std::wstring folder = root_ + L"\\" + name;
  FillNested(folder);
  const auto listing = TreeListing(folder);

  EXPECT_TRUE(RecycleItem(folder, true, false, false));
  EXPECT_FALSE(DirExists(folder));
  ExpectInTrash(folder, name, listing);
}

TEST_F(Recycle, SingleFileArrivesInTheTrash) {
  const std::wstring name = UniqueName(L"log") + L".rtf";
  const std::wstring file = root_ + L"\\" + name;
  WriteFileBytes(file, "{\\rtf1 kept}");

  EXPECT_TRUE(RecycleItem(file, true, false, true));
  EXPECT_FALSE(FileExists(file));
  ExpectInTrash(file, name, {{name, "{\\rtf1 kept}"}});
}

TEST_F(Recycle, UnrecyclableFolderIsKeptWhenTheUserRefusesPermanentDeletion) {
  const std::wstring parent = root_ + L"\\locked-parent";
  const std::wstring folder = parent + L"\\Pelmor";
  FillNested(folder);
  const auto listing = TreeListing(folder);
  ASSERT_TRUE(Lock(parent));

  BoxAnswerer watch({L"No"});
  const bool recycled = RecycleItem(folder, true, false, false);
  auto box = watch.StopAtFirst();
  ASSERT_TRUE(Unlock());

  EXPECT_FALSE(recycled);
  EXPECT_EQ(TreeListing(folder), listing) << "files were lost";
  ASSERT_TRUE(box.has_value()) << "the shell deleted without warning";
  EXPECT_TRUE(box->HasButton(L"Yes") && box->HasButton(L"No")) << box->ButtonList();
}

TEST_F(Recycle, FolderLeftInPlaceIsReportedAsFailure) {
  // Silent: the shell asks nothing, destroys what it can and returns success all the same.
  const std::wstring parent = root_ + L"\\locked-parent";
  const std::wstring folder = parent + L"\\Pelmor";
  FillNested(folder);
  ASSERT_TRUE(Lock(parent));

  BoxAnswerer watch({L"No"});
  const bool recycled = RecycleItem(folder, true, false, true);
  auto box = watch.StopAtFirst();
  ASSERT_TRUE(Unlock());

  EXPECT_FALSE(recycled);
  EXPECT_FALSE(box.has_value()) << "silent, yet the box " << Wide2Utf8(box->text) << " showed";
  EXPECT_TRUE(DirExists(folder));
}

TEST_F(Recycle, ConfirmationAnsweredNoKeepsTheFolderAndReportsFailure) {
  const std::wstring name = UniqueName(L"asked");
  const std::wstring folder = root_ + L"\\" + name;
  FillNested(folder);
  const auto listing = TreeListing(folder);

  BoxAnswerer watch({L"No"});
  const bool recycled = RecycleItem(folder, true, true, false);
  auto box = watch.StopAtFirst();

  EXPECT_FALSE(recycled);
  ASSERT_TRUE(box.has_value()) << "confirm asks before recycling";
  EXPECT_EQ(TreeListing(folder), listing);
  EXPECT_FALSE(DirExists(TrashDir() + L"\\files\\" + name));
}

TEST_F(Recycle, WithoutUndoTheFolderIsDeletedNotRecycled) {
  const std::wstring name = UniqueName(L"gone");
  const std::wstring folder = root_ + L"\\" + name;
  FillNested(folder);

  BoxAnswerer watch({L"No"});
  EXPECT_TRUE(RecycleItem(folder, false, false, false));
  EXPECT_FALSE(watch.StopAtFirst().has_value());
  EXPECT_FALSE(DirExists(folder));
  EXPECT_FALSE(DirExists(TrashDir() + L"\\files\\" + name));
}

TEST_F(Recycle, MissingItemIsFailure) {
  BoxAnswerer watch({L"OK"});
  EXPECT_FALSE(RecycleItem(root_ + L"\\never-existed", true, false, true));
  watch.StopAtFirst();
}

TEST_F(Recycle, EmptyPathTouchesNothing) {
  WriteFileBytes(root_ + L"\\stay.txt", "stay");
  wchar_t previous[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(root_.c_str()));
  const bool recycled = RecycleItem(L"", true, false, true);
  ::SetCurrentDirectoryW(previous);
  EXPECT_FALSE(recycled);
  EXPECT_TRUE(FileExists(root_ + L"\\stay.txt"));
  EXPECT_TRUE(DirExists(root_));
}

TEST_F(Recycle, FolderHeldByAnotherProgramIsKeptWhenTheUserRefusesPermanentDeletion) {
  // The program working inside the folder keeps it from moving to the Recycle Bin.
  const std::wstring folder = root_ + L"\\held";
  FillNested(folder);
  const auto listing = TreeListing(folder);
  Process holder =
      Start(L"C:\\windows\\system32\\cmd.exe", L"/c ping -n 60 127.0.0.1 >nul", folder);
  // Once the interpreter has started its ping it is settled in the folder.
  ASSERT_TRUE(WaitUntil([] { return !ProcessesNamed(L"ping.exe").empty(); }, 30s));
  ASSERT_FALSE(holder.ExitCode().has_value()) << "the holding program ended early";

  BoxAnswerer watch({L"No"});
  const bool recycled = RecycleItem(folder, true, false, false);
  auto box = watch.StopAtFirst();
  const bool stillHeld = !holder.ExitCode().has_value();
  holder.Kill();
  holder.WaitExit(5s);

  EXPECT_TRUE(stillHeld);
  EXPECT_FALSE(recycled);
  EXPECT_EQ(TreeListing(folder), listing) << "files were lost";
  ASSERT_TRUE(box.has_value()) << "the shell deleted without warning";
  EXPECT_TRUE(box->HasButton(L"Yes") && box->HasButton(L"No")) << box->ButtonList();
}

// --- what the shell is handed ---

TEST_F(Recycle, UninstallsFolderGoesToTheShellAsOneNameOwnedByTheMainForm) {
  const std::wstring name = UniqueName(L"handed");
  const std::wstring folder = root_ + L"\\" + name;
  FillNested(folder);
  const auto listing = TreeListing(folder);

  ShellFileOperationSpy spy(ShellFileOperationSpy::Then::PassOn);
  ASSERT_TRUE(spy.Installed());
  bool recycled = false;
  const auto boxes =
      BoxesDuring([&] { recycled = RecycleItem(folder + L"\\", true, false, false); }, L"No");
  const auto calls = spy.Calls();

  EXPECT_TRUE(boxes.empty()) << Wide2Utf8(boxes.front().text);
  ASSERT_EQ(calls.size(), 1u);
  const ShellFileOperation& call = calls.front();
  ASSERT_NE(mainForm_, nullptr);
  EXPECT_EQ(call.owner, mainForm_);
  EXPECT_EQ(call.owner, tk::App().MainFormHandle());
  EXPECT_EQ(call.function, static_cast<UINT>(FO_DELETE));
  EXPECT_EQ(call.from, SourceListOf(folder)) << Printable(call.from);
  EXPECT_EQ(call.flags,
            FOF_NORECURSEREPARSE | FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING);
  EXPECT_FALSE(call.hasTarget);
  EXPECT_FALSE(call.hasMappings);
  EXPECT_FALSE(call.hasProgressTitle);
  // Passed on unchanged, the operation did what the shell does with it.
  EXPECT_TRUE(recycled);
  ExpectInTrash(folder, name, listing);
}

TEST_F(Recycle, SilentOperationAsksNothingAndShowsNothing) {
  const std::wstring kept = root_ + L"\\" + UniqueName(L"silent-undo") + L".txt";
  const std::wstring gone = root_ + L"\\" + UniqueName(L"silent-for-good") + L".txt";
  WriteFileBytes(kept, "to the bin");
  WriteFileBytes(gone, "for good");

  ShellFileOperationSpy spy(ShellFileOperationSpy::Then::PassOn);
  ASSERT_TRUE(spy.Installed());
  bool recycled = false, deleted = false;
  const auto boxes = BoxesDuring(
      [&] {
        recycled = RecycleItem(kept, true, false, true);
        deleted = RecycleItem(gone, false, true, true);
      },
      L"No");
  const auto calls = spy.Calls();

  EXPECT_TRUE(boxes.empty()) << Wide2Utf8(boxes.front().text);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].flags, FOF_NORECURSEREPARSE | FOF_ALLOWUNDO | FOF_SILENT | FOF_NOCONFIRMATION |
                                FOF_NOCONFIRMMKDIR | FOF_NOERRORUI);
  EXPECT_EQ(calls[0].from, SourceListOf(kept)) << Printable(calls[0].from);
  // Silence wins over the request to confirm.
  EXPECT_EQ(calls[1].flags, FOF_NORECURSEREPARSE | FOF_SILENT | FOF_NOCONFIRMATION |
                                FOF_NOCONFIRMMKDIR | FOF_NOERRORUI);
  EXPECT_EQ(calls[1].from, SourceListOf(gone)) << Printable(calls[1].from);
  for (const auto& call : calls) {
    EXPECT_EQ(call.owner, mainForm_);
    EXPECT_EQ(call.function, static_cast<UINT>(FO_DELETE));
    EXPECT_FALSE(call.hasTarget || call.hasMappings || call.hasProgressTitle);
  }
  EXPECT_TRUE(recycled);
  EXPECT_TRUE(deleted);
  EXPECT_FALSE(FileExists(kept));
  EXPECT_FALSE(FileExists(gone));
  const std::wstring keptName = kept.substr(kept.find_last_of(L'\\') + 1);
  ExpectInTrash(kept, keptName, {{keptName, "to the bin"}});
  EXPECT_FALSE(FileExists(TrashDir() + L"\\files\\" + gone.substr(gone.find_last_of(L'\\') + 1)));
}

TEST_F(Recycle, FlagsForEveryCombinationOfUndoConfirmAndSilent) {
  struct Case {
    bool undo, confirm, silent;
    FILEOP_FLAGS flags;
  };
  // Not silent and with undo, the shell must warn before destroying what the bin cannot take.
  const Case cases[] = {
      {true, false, false, 0xC050}, {true, true, false, 0xC040}, {false, false, false, 0x8010},
      {false, true, false, 0x8000}, {true, false, true, 0x8654}, {true, true, true, 0x8654},
      {false, false, true, 0x8614}, {false, true, true, 0x8614},
  };
  const std::wstring file = root_ + L"\\stays.txt";
  WriteFileBytes(file, "stays");
  ShellFileOperationSpy spy(ShellFileOperationSpy::Then::Refuse);
  ASSERT_TRUE(spy.Installed());
  for (const Case& c : cases) {
    // A refused operation is a failed one, whatever it asked for.
    EXPECT_FALSE(RecycleItem(file, c.undo, c.confirm, c.silent));
  }
  const auto calls = spy.Calls();
  ASSERT_EQ(calls.size(), std::size(cases));
  for (size_t i = 0; i < calls.size(); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(calls[i].flags, c.flags)
        << "undo " << c.undo << ", confirm " << c.confirm << ", silent " << c.silent;
    EXPECT_EQ(calls[i].from, SourceListOf(file)) << Printable(calls[i].from);
    EXPECT_EQ(calls[i].owner, mainForm_);
    EXPECT_EQ(calls[i].function, static_cast<UINT>(FO_DELETE));
  }
  EXPECT_EQ(ReadFileBytes(file), "stays");
}

TEST_F(Recycle, TrailingBackslashesGoExceptARootsOwn) {
  const wchar_t drive = MissingDrive();
  ASSERT_NE(drive, 0);
  const std::wstring root = std::wstring(1, drive) + L":\\";
  const std::wstring folder = root_ + L"\\several";
  MakeDirs(folder);
  // Refused before the shell sees it: a drive root is never really handed over.
  ShellFileOperationSpy spy(ShellFileOperationSpy::Then::Refuse);
  ASSERT_TRUE(spy.Installed());
  EXPECT_FALSE(RecycleItem(root, true, false, false));
  EXPECT_FALSE(RecycleItem(folder + L"\\\\\\", true, false, false));
  EXPECT_FALSE(RecycleItem(L"", true, false, false));
  const auto calls = spy.Calls();
  ASSERT_EQ(calls.size(), 2u) << "an empty path goes nowhere";
  EXPECT_EQ(calls[0].from, SourceListOf(root)) << Printable(calls[0].from);
  EXPECT_EQ(calls[1].from, SourceListOf(folder)) << Printable(calls[1].from);
  EXPECT_TRUE(DirExists(folder));
}
