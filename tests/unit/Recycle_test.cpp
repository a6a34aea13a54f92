// RecycleItem against the sandbox's real Recycle Bin (Wine's XDG trash): what it moves arrives
// whole with the record of where it came from, and it never reports success for an item that is
// still there or was destroyed instead of recycled without the user's consent.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "Application.h"
#include "BoxWatch.h"
#include "TestEnv.h"
#include "ccIO.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

// Wine's own mapping from a Windows path to the Linux one.
std::string UnixPath(const std::wstring& path) {
  using Fn = char*(CDECL*)(LPCWSTR);
  auto toUnix = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return "";
  char* unix = toUnix(path.c_str());
  if (!unix) return "";
  std::string result = unix;
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return result;
}

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

// Runs a Linux program from the Windows side (Wine's start /unix) and waits for it.
bool RunUnix(const std::wstring& arguments) {
  std::wstring command = L"start.exe /wait /unix " + arguments;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(L"C:\\windows\\system32\\start.exe", command.data(), nullptr, nullptr,
                        FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
    return false;
  ::WaitForSingleObject(pi.hProcess, 30000);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return true;
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
  const std::wstring unix = Narrow2Wide(UnixPath(folder));
  if (unix.empty()) return false;
  if (!RunUnix(L"/usr/bin/chattr " + std::wstring(immutable ? L"+i" : L"-i") + L" \"" + unix +
               L"\""))
    return false;
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (CanCreateIn(folder) == immutable) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
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
    EXPECT_EQ(InfoPath(record), UnixPath(original)) << record;
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
  const std::string original = UnixPath(folder);

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

  BoxWatch watch(L"No");
  const bool recycled = RecycleItem(folder, true, false, false);
  auto box = watch.Stop();
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

  BoxWatch watch(L"No");
  const bool recycled = RecycleItem(folder, true, false, true);
  auto box = watch.Stop();
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

  BoxWatch watch(L"No");
  const bool recycled = RecycleItem(folder, true, true, false);
  auto box = watch.Stop();

  EXPECT_FALSE(recycled);
  ASSERT_TRUE(box.has_value()) << "confirm asks before recycling";
  EXPECT_EQ(TreeListing(folder), listing);
  EXPECT_FALSE(DirExists(TrashDir() + L"\\files\\" + name));
}

TEST_F(Recycle, WithoutUndoTheFolderIsDeletedNotRecycled) {
  const std::wstring name = UniqueName(L"gone");
  const std::wstring folder = root_ + L"\\" + name;
  FillNested(folder);

  BoxWatch watch(L"No");
  EXPECT_TRUE(RecycleItem(folder, false, false, false));
  EXPECT_FALSE(watch.Stop().has_value());
  EXPECT_FALSE(DirExists(folder));
  EXPECT_FALSE(DirExists(TrashDir() + L"\\files\\" + name));
}

TEST_F(Recycle, MissingItemIsFailure) {
  BoxWatch watch(L"OK");
  EXPECT_FALSE(RecycleItem(root_ + L"\\never-existed", true, false, true));
  watch.Stop();
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
  ASSERT_TRUE(PumpUntil([] { return !ProcessesNamed(L"ping.exe").empty(); }, 30s));
  ASSERT_FALSE(holder.ExitCode().has_value()) << "the holding program ended early";

  BoxWatch watch(L"No");
  const bool recycled = RecycleItem(folder, true, false, false);
  auto box = watch.Stop();
  const bool stillHeld = !holder.ExitCode().has_value();
  holder.Kill();
  holder.WaitExit(5s);

  EXPECT_TRUE(stillHeld);
  EXPECT_FALSE(recycled);
  EXPECT_EQ(TreeListing(folder), listing) << "files were lost";
  ASSERT_TRUE(box.has_value()) << "the shell deleted without warning";
  EXPECT_TRUE(box->HasButton(L"Yes") && box->HasButton(L"No")) << box->ButtonList();
}
