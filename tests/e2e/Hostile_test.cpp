// Hostile paths through the real Uninstaller.exe: drive roots, folders that hold the user's data,
// relative and climbing paths, prefixed and over-long paths, links, and registry values of the
// wrong type, each stored by the "product" or typed by the user. Every run is watched by the
// whole-sandbox guard: nothing may change outside what the user confirmed, and whatever goes must
// be in the trash byte for byte.
#include <functional>
#include <optional>

#include "tests/e2e/UninstallerFixture.h"

using namespace testing_support;

namespace {

const std::wstring kAreYouSure = L"Are you sure you want to uninstall Pelmor Wallpaper Changer?";
const std::wstring kApprove = L"Do you approve deletion of the following items?";
const std::wstring kRefusedRow = L"  You are trying to delete a special folder!";

// How a run ended, as the user sees it.
enum class Outcome {
  Refused,   // the special-folder rows; the uninstall went on and finished
  Missing,   // the missing-folder box; the uninstall stopped at once
  Recycled,  // the folder went to the Recycle Bin
  Reported,  // an error was reported; the window stayed open
};

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Refused:
      return "refused";
    case Outcome::Missing:
      return "missing";
    case Outcome::Recycled:
      return "recycled";
    case Outcome::Reported:
      return "reported";
  }
  return "?";
}

struct RunResult {
  std::vector<MessageBoxInfo> boxes;
  std::vector<std::wstring> rows;
  bool ended = false;

  bool HasBoxStarting(const std::wstring& start) const {
    return std::any_of(boxes.begin(), boxes.end(),
                       [&](const MessageBoxInfo& b) { return b.text.rfind(start, 0) == 0; });
  }
  bool HasRow(const std::wstring& row) const {
    return std::find(rows.begin(), rows.end(), row) != rows.end();
  }
  bool HasRowEnding(const std::wstring& end) const {
    return std::any_of(rows.begin(), rows.end(), [&](const std::wstring& r) {
      return r.size() >= end.size() && r.compare(r.size() - end.size(), end.size(), end) == 0;
    });
  }
  std::string Describe() const {
    std::string text;
    for (const auto& box : boxes)
      text += "\n  box [" + Wide2Utf8(box.caption) + "] " + Wide2Utf8(box.text);
    for (const auto& row : rows) text += "\n  row | " + Wide2Utf8(row);
    return text;
  }
};

class Hostile : public UninstallerFixture {
 protected:
  void SetUp() override {
    UninstallerFixture::SetUp();
    RemoveTree(TempDir() + L"\\Pelmor Wallpaper");
  }
  void TearDown() override {
    RemoveTree(TempDir() + L"\\Pelmor Wallpaper");
    UninstallerFixture::TearDown();
  }

  // The product installed for real, then its stored values replaced by the case's.
  void InstallWith(DWORD installType, const std::wstring& install, DWORD dataType = REG_NONE,
                   const std::wstring& data = L"") {
    InstallProduct(L"--no-shortcuts --install " + QuoteArg(installDir_) + L" --data " +
                   QuoteArg(dataDir_));
    StoreValue(L"Install path", installType, install);
    StoreValue(L"App data path", dataType, data);
  }

  static void StoreValue(const wchar_t* name, DWORD type, const std::wstring& text) {
    ASSERT_TRUE(StoreProductValue(name, type, text));
  }

  // Answers every box the way a careful person does: yes to the two questions, no to anything
  // that offers to delete for good (yes, when the case says so), OK to the rest, until the
  // uninstaller ends or waits for the user with no box open.
  RunResult AnswerUntilDone() {
    RunResult result;
    for (;;) {
      std::optional<MessageBoxInfo> box;
      bool waiting = false;
      const bool moved = WaitUntil(
          [&] {
            if (Ended(0ms)) return true;
            const auto open = OpenBoxes(BoxFilter{pid_, L""});
            if (!open.empty()) box = open.front();
            // A stopped uninstall says so in its last row and waits for the user.
            waiting = !box && StoppedEarly();
            return box.has_value() || waiting;
          },
          12s);
      if (!moved || waiting) break;
      if (!box) {
        result.ended = true;
        break;
      }
      const bool question = box->text.rfind(kAreYouSure, 0) == 0 ||
                            box->text.rfind(kApprove, 0) == 0 ||
                            (yesToDeletingForGood_ && box->HasButton(L"Yes"));
      PressButton(*box, question ? L"Yes" : box->HasButton(L"No") ? L"No" : L"OK");
      WaitForBoxClosed(box->hwnd, 10s);
      result.boxes.push_back(*box);
    }
    if (result.ended) {
      for (const Row& row : SavedLogRowsOrNone()) result.rows.push_back(row.text);
      ExpectSelfDeleted();
    } else {
      result.rows = LogRows();
      CloseWindow();
    }
    return result;
  }

  bool StoppedEarly() const {
    const std::vector<std::wstring> rows = LogRows();
    return !rows.empty() && (rows.back() == L"Uninstall process aborted." ||
                             rows.back() == L"Uninstall process aborted by user.");
  }

  std::vector<Row> SavedLogRowsOrNone() const {
    return FilesMatching(DesktopDir() + L"\\" + kLogPrefix + L"*").size() == 1 ? SavedLogRows()
                                                                               : std::vector<Row>{};
  }

  // One run: start the uninstaller, type the path when the case gives one, press Uninstall, and
  // answer until it is done. The guard watches all of it.
  RunResult Run(const std::string& name, const std::wstring& typed, Outcome expected,
                const std::vector<std::wstring>& confirmed = {},
                const std::vector<std::wstring>& alsoAllowedPrefixes = {}) {
    SandboxGuard guard;
    AllowTheUninstallersOwnFiles(guard);
    for (const std::wstring& folder : confirmed) guard.Confirm(folder);
    for (const std::wstring& start : alsoAllowedPrefixes) guard.AllowPrefix(start);
    RunResult result;
    if (!StartUninstaller()) {
      ADD_FAILURE() << name << ": no window";
      return result;
    }
    if (!typed.empty()) TypeText(PathField(), typed);
    // A box at start-up (a stored folder that is missing, an error reported) is read and closed,
    // as a person would, while the button waits for its countdown.
    HWND uninstall = Button(L"Uninstall");
    const bool usable = WaitUntil(
        [&] {
          for (const MessageBoxInfo& box : OpenBoxes(BoxFilter{pid_, L""})) {
            result.boxes.push_back(box);
            PressButton(box, L"OK");
            WaitForBoxClosed(box.hwnd, 10s);
          }
          return ::IsWindowEnabled(uninstall) != FALSE;
        },
        30s);
    if (!usable) ADD_FAILURE() << name << ": the Uninstall button never became usable";
    ClickButton(uninstall);
    const RunResult rest = AnswerUntilDone();
    result.boxes.insert(result.boxes.end(), rest.boxes.begin(), rest.boxes.end());
    result.rows = rest.rows;
    result.ended = rest.ended;

    const GuardReport report = ExpectNothingElseChanged(guard, "hostile", name);
    if (!report.Clean()) ADD_FAILURE() << result.Describe();
    EXPECT_EQ(Observed(result), expected)
        << name << ": ended " << OutcomeName(Observed(result)) << result.Describe();
    return result;
  }

  static Outcome Observed(const RunResult& r) {
    if (r.HasBoxStarting(L"Folder does not exist:") ||
        r.HasBoxStarting(L"A relative path was provided instead of a full path!"))
      return Outcome::Missing;
    if (r.HasRow(kRefusedRow)) return Outcome::Refused;
    if (r.HasRowEnding(L" deleted to RecycleBin.")) return Outcome::Recycled;
    return Outcome::Reported;
  }

  std::wstring Profile() const { return Known(FOLDERID_Profile); }
  // The Windows spelling of a Linux path, through drive Z:.
  static std::wstring OnZ(const std::string& unixPath) {
    std::wstring path = L"Z:" + Narrow2Wide(unixPath);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return WithoutTrailingSlash(path);
  }
  static std::wstring WithoutTrailingSlash(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
  }
  // The prefix's folder of drive links (dosdevices), as a Linux path ending in '/'.
  static std::string DriveLinks() {
    const std::string c = UnixPathOf(L"C:\\");
    return c.substr(0, c.rfind("/c:"));
  }

  bool yesToDeletingForGood_ = false;
  // The same folder reached by climbing from the installation folder with "..".
  std::wstring Climbing(const std::wstring& target) const {
    std::wstring path = installDir_;
    const auto depth = std::count(installDir_.begin(), installDir_.end(), L'\\');
    for (std::ptrdiff_t i = 0; i < depth; ++i) path += L"\\..";
    return path + target.substr(2);
  }
};

// Each case of a list runs as a test of its own, so that a run split over several sandboxes
// shares the cases out.
class HostileCase : public Hostile, public ::testing::WithParamInterface<int> {};

// Folders that hold the user's data, stored as the installation folder (typed: false) or typed
// into the field over a proper stored one.
struct FolderCase {
  const char* name;
  std::wstring path;
  bool typed;
};

std::vector<FolderCase> UsersDataCases(const std::wstring& profile,
                                       const std::wstring& climbingDocs,
                                       const std::wstring& climbingProfile) {
  const std::wstring users = profile.substr(0, profile.find_last_of(L'\\') + 1);
  const std::wstring programFiles = MixedCase(ShellFolder(CSIDL_PROGRAM_FILES));
  return {
      {"stored drive root", L"C:\\", false},
      {"stored C:\\Users\\", users, false},
      {"stored profile", profile, false},
      {"stored Documents", ShellFolder(CSIDL_PERSONAL) + L"\\", false},
      {"stored Downloads", Known(FOLDERID_Downloads), false},
      {"stored Program Files, mixed case, no backslash", programFiles, false},
      {"stored .. climbing into Documents", climbingDocs, false},
      {"typed drive root", L"C:\\", true},
      {"typed profile", profile, true},
      {"typed Program Files, mixed case, no backslash", programFiles, true},
      {"typed .. climbing into the profile", climbingProfile, true},
      {"stored per-user program folder", Known(FOLDERID_LocalAppData) + L"\\Programs\\", false},
  };
}
constexpr int kUsersDataCases = 12;

using FoldersThatHoldTheUsersData = HostileCase;

TEST_P(FoldersThatHoldTheUsersData, AreRefused) {
  const auto cases =
      UsersDataCases(Profile(), Climbing(ShellFolder(CSIDL_PERSONAL)), Climbing(Profile()));
  ASSERT_EQ(cases.size(), static_cast<size_t>(kUsersDataCases));
  const FolderCase& c = cases[static_cast<size_t>(GetParam())];
  SCOPED_TRACE(c.name);
  // Per-user installers make the program folder when they first install there.
  MakeDirs(Known(FOLDERID_LocalAppData) + L"\\Programs\\Other Program");
  InstallWith(REG_SZ, c.typed ? installDir_ : c.path);
  Run(c.name, c.typed ? c.path : L"", Outcome::Refused);
}
INSTANTIATE_TEST_SUITE_P(Hostile, FoldersThatHoldTheUsersData,
                         ::testing::Range(0, kUsersDataCases));

// The restarted copy runs in the temporary folder: there the relative text names a real folder.
class RelativePath : public Hostile {
 protected:
  void SetUp() override {
    Hostile::SetUp();
    MakeDirs(TempDir() + L"\\Pelmor Wallpaper\\inside");
    WriteFileBytes(TempDir() + L"\\Pelmor Wallpaper\\inside\\keep.txt", "keep");
  }
};

TEST_F(RelativePath, StoredIsRefusedEvenWhereItNamesAFolder) {
  InstallWith(REG_SZ, L"Pelmor Wallpaper");
  Run("stored relative path", L"", Outcome::Refused);
  EXPECT_TRUE(FileExists(TempDir() + L"\\Pelmor Wallpaper\\inside\\keep.txt"));
}

TEST_F(RelativePath, TypedIsRefusedEvenWhereItNamesAFolder) {
  InstallWith(REG_SZ, installDir_);
  Run("typed relative path", L"Pelmor Wallpaper", Outcome::Refused);
  EXPECT_TRUE(FileExists(TempDir() + L"\\Pelmor Wallpaper\\inside\\keep.txt"));
}

using PathsThatNameNoFolder = HostileCase;

TEST_P(PathsThatNameNoFolder, StopAtOnce) {
  const FolderCase cases[] = {
      {"stored network share root", L"\\\\pelmor-server\\share\\", false},
      {"typed network share root", L"\\\\pelmor-server\\share", true},
      {"stored path of 300 characters", L"C:\\" + std::wstring(296, L'p') + L"\\", false},
      {"stored trailing blank", installDir_ + L" ", false},
  };
  const FolderCase& c = cases[GetParam()];
  SCOPED_TRACE(c.name);
  InstallWith(REG_SZ, c.typed ? installDir_ : c.path);
  const RunResult result = Run(c.name, c.typed ? c.path : L"", Outcome::Missing);
  EXPECT_TRUE(DirExists(installDir_));
  EXPECT_FALSE(result.ended) << "the window stays open for another try";
}
INSTANTIATE_TEST_SUITE_P(Hostile, PathsThatNameNoFolder, ::testing::Range(0, 4));

using SpellingsThatWindowsWouldReadAsAnotherFolder = HostileCase;

TEST_P(SpellingsThatWindowsWouldReadAsAnotherFolder, AreRefused) {
  // Windows drops trailing dots and blanks of a name, and a "\\?\" prefix turns its rules off: the
  // text may then spell one folder and name another. Where such a spelling names a folder at all
  // (this platform decides) it is refused; where it names none, the uninstall stops at once.
  const std::wstring dotted = installDir_ + L"..";
  const FolderCase cases[] = {
      {"stored trailing dots", dotted + L"\\", false},
      {"typed trailing dot and blank", installDir_ + L". ", true},
      {"stored \\\\?\\ prefix climbing with ..", L"\\\\?\\" + installDir_ + L"\\..\\..\\..", false},
  };
  const FolderCase& c = cases[GetParam()];
  SCOPED_TRACE(c.name);
  InstallWith(REG_SZ, c.typed ? installDir_ : c.path);
  // Where the platform keeps the dots, a folder of that very name can exist beside the product.
  if (!c.typed) ::CreateDirectoryW(dotted.c_str(), nullptr);
  const auto before = TreeListing(installDir_);
  std::wstring spelled = c.path;
  while (!spelled.empty() && spelled.back() == L' ') spelled.pop_back();
  const Outcome expected = DirExists(spelled) ? Outcome::Refused : Outcome::Missing;
  Run(c.name, c.typed ? c.path : L"", expected);
  EXPECT_EQ(TreeListing(installDir_), before);
  ::RemoveDirectoryW(dotted.c_str());
}
INSTANTIATE_TEST_SUITE_P(Hostile, SpellingsThatWindowsWouldReadAsAnotherFolder,
                         ::testing::Range(0, 3));

TEST_F(Hostile, LongPathPrefixToTheProductFolderIsRefused) {
  // The shell's file operation does not take "\\?\" paths, and the prefix turns off the rules
  // by which the text was checked: such a spelling is not sent to the Recycle Bin.
  InstallWith(REG_SZ, L"\\\\?\\" + installDir_ + L"\\");
  const auto before = TreeListing(installDir_);
  Run("stored \\\\?\\ prefix to the product folder", L"", Outcome::Refused);
  EXPECT_EQ(TreeListing(installDir_), before);
}

TEST_F(Hostile, LinkToAProtectedFolderIsRefused) {
  // Wine reports success for a directory link and makes none; the sandbox brings one made from
  // the host side instead.
  std::wstring link = root_ + L"\\Pelmor link";
  ::CreateSymbolicLinkW(
      link.c_str(), ShellFolder(CSIDL_PERSONAL).c_str(),
      SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  if (!DirExists(link)) link = L"C:\\orvex-links\\Documents link";
  const DWORD attributes = ::GetFileAttributesW(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    GTEST_SKIP() << "no directory link to a protected folder can be made here";
  WriteFileBytes(ShellFolder(CSIDL_PERSONAL) + L"\\keep-me.txt", "mine");
  InstallWith(REG_SZ, link);
  Run("stored link to Documents", L"", Outcome::Refused);
  EXPECT_TRUE(FileExists(ShellFolder(CSIDL_PERSONAL) + L"\\keep-me.txt"));
  EXPECT_TRUE(DirExists(link)) << "the link itself stays as well";
  ::DeleteFileW((ShellFolder(CSIDL_PERSONAL) + L"\\keep-me.txt").c_str());
}

// A link inside the product's folder goes as the entry it is: recycled with its folder, or, when
// the Recycle Bin cannot take the folder, not deleted for good at all (deleting for good walks
// into the link and empties what it leads to, the user's pictures here), even after a Yes.
using LinksInsideTheProductFolder = HostileCase;

TEST_P(LinksInsideTheProductFolder, NeverTakeWhatTheyLeadTo) {
  const bool trashWorks = GetParam() == 0;
  const std::string name = trashWorks ? "link inside the product folder, recycled"
                                      : "link inside the product folder, Recycle Bin broken";
  SCOPED_TRACE(name);
  InstallWith(REG_SZ, installDir_);
  const std::wstring pictures = ShellFolder(CSIDL_MYPICTURES);
  WriteFileBytes(pictures + L"\\holiday.jpg", "the user's picture");
  tk::ScopeExit mend([&] {
    RemoveHostLink(installDir_, L"Pictures");
    RemoveHostLink(TrashDir() + L"\\files\\Pelmor Wallpaper", L"Pictures");
    RestoreTrash();
    ::DeleteFileW((pictures + L"\\holiday.jpg").c_str());
  });
  ASSERT_TRUE(MakeHostLink(installDir_, L"Pictures", Narrow2Wide(UnixPathOf(pictures))));
  if (!trashWorks) BreakTrash();
  yesToDeletingForGood_ = true;
  const RunResult result =
      Run(name, L"", trashWorks ? Outcome::Recycled : Outcome::Reported,
          trashWorks ? std::vector<std::wstring>{installDir_} : std::vector<std::wstring>{});
  EXPECT_EQ(ReadFileBytes(pictures + L"\\holiday.jpg"), "the user's picture");
  EXPECT_EQ(DirExists(installDir_), !trashWorks);
  if (!trashWorks) {
    EXPECT_TRUE(result.HasRow(
        L"  It holds links: it is not deleted for good, so that what they lead to stays."))
        << result.Describe();
  }
}
INSTANTIATE_TEST_SUITE_P(Hostile, LinksInsideTheProductFolder, ::testing::Range(0, 2));

// A protected folder reached by another spelling of itself: where the registered folder is a link
// (a new Wine prefix links the profile's folders into the Linux home), the folder it leads to;
// the temporary folder registered in its short form; a drive that stands for the profile; the
// folder that holds drive C:.
using OtherSpellingsOfProtectedFolders = HostileCase;

TEST_P(OtherSpellingsOfProtectedFolders, AreRefused) {
  std::wstring stored, keep;
  std::vector<std::wstring> allowed;
  std::optional<TempFolderOverride> temp;
  std::function<void()> mend = [] {};
  const char* name = "";
  switch (GetParam()) {
    case 0: {
      name = "Music linked into the home, stored where it leads";
      const std::wstring music = ShellFolder(CSIDL_MYMUSIC);
      const std::wstring profile = music.substr(0, music.find_last_of(L'\\'));
      stored = SandboxDir() + L"\\home\\Music";
      MakeDirs(stored);
      RemoveTree(music);
      ASSERT_TRUE(MakeHostLink(profile, L"Music", Narrow2Wide(UnixPathOf(stored))));
      mend = [=] {
        RemoveHostLink(profile, L"Music");
        MakeDirs(music);
      };
      keep = music + L"\\song.mp3";
      break;
    }
    case 1: {
      name = "temporary folder registered in its short form, stored in its long form";
      stored = FreshFolder(L"a temporary folder of long name");
      const std::wstring shortForm = ShortPath(stored);
      ASSERT_FALSE(shortForm.empty());
      ASSERT_NE(shortForm, stored);
      temp.emplace(shortForm);
      allowed.push_back(stored + L"\\" + kRunFolderPrefix);
      mend = [stored] { RemoveTree(stored); };
      keep = stored + L"\\another program's file.tmp";
      break;
    }
    case 2: {
      name = "drive that stands for the profile, stored as its Documents";
      const std::string links = DriveLinks();
      ASSERT_TRUE(RunOnLinux("ln -sfn " + ShellQuoted(UnixPathOf(Profile())) + " " +
                             ShellQuoted(links + "/s:")));
      mend = [links] { RunOnLinux("rm -f " + ShellQuoted(links + "/s:")); };
      const std::wstring documents = ShellFolder(CSIDL_PERSONAL);
      stored = L"S:" + documents.substr(Profile().size());
      ASSERT_TRUE(WaitUntil([&] { return DirExists(stored); }, 10s));
      keep = documents + L"\\letter.txt";
      break;
    }
    default: {
      name = "the folder that holds drive C:, spelled through Z:";
      const std::string links = DriveLinks();
      stored = OnZ(links.substr(0, links.rfind('/')));
      keep = L"C:\\orvex-tests\\drive-c-marker.txt";
      break;
    }
  }
  tk::ScopeExit mended([&] {
    ::DeleteFileW(keep.c_str());
    mend();
  });
  WriteFileBytes(keep, "keep");
  InstallWith(REG_SZ, stored);
  Run(name, L"", Outcome::Refused, {}, allowed);
  EXPECT_EQ(ReadFileBytes(keep), "keep");
}
INSTANTIATE_TEST_SUITE_P(Hostile, OtherSpellingsOfProtectedFolders, ::testing::Range(0, 4));

// Links planted where the uninstaller writes or once wrote its own files (the temporary copy and
// the self-delete script in the temporary folder, the log on the desktop for every second of the
// next minutes) are replaced or left alone, never written through: what they lead to stays.
TEST_F(Hostile, LinksAtTheUninstallersOwnFileNamesAreReplaced) {
  InstallWith(REG_SZ, installDir_);
  const std::wstring victim = ShellFolder(CSIDL_PERSONAL) + L"\\precious.txt";
  WriteFileBytes(victim, "precious");
  const std::string target = ShellQuoted(UnixPathOf(victim));
  const std::string desktop = UnixPathOf(DesktopDir());
  const std::string temp = UnixPathOf(TempDir());
  const std::string removeLinks =
      "find " + ShellQuoted(desktop) + " " + ShellQuoted(temp) + " -maxdepth 1 -type l -delete";
  tk::ScopeExit mend([&] {
    RunOnLinux(removeLinks);
    ::DeleteFileW(victim.c_str());
  });
  ASSERT_TRUE(RunOnLinux("ln -sfn " + target + " " + ShellQuoted(temp + "/Uninstaller.BAT") +
                         " && for i in $(seq 0 "
                         "300); do ln -sfn " +
                         target + " " + ShellQuoted(desktop) + "/\"" + Wide2Utf8(kLogPrefix) +
                         "$(date -d \"+$i sec\" +%H.%M.%S).RTF\"; done"));
  // The copy: the first process writes it from the installed exe, so its link is planted last.
  ASSERT_TRUE(RunOnLinux("ln -sfn " + target + " " + ShellQuoted(temp + "/Uninstaller.exe")));
  const SandboxGuard guard = [&] {
    SandboxGuard g;
    AllowTheUninstallersOwnFiles(g);
    // The links planted in the temporary folder go with the test's own clearing up.
    for (const wchar_t* planted : {L"\\Uninstaller.exe", L"\\Uninstaller.BAT"})
      g.AllowFile(TempDir() + planted);
    g.Confirm(installDir_);
    return g;
  }();
  ASSERT_NE(StartUninstaller(), nullptr) << "the run started its copy";
  ClickUninstall();
  Answer(L"Yes");
  Answer(L"Yes");
  EXPECT_EQ(Answer(L"OK").text, kFeedbackRequest);
  ASSERT_TRUE(Ended());
  ExpectSelfDeleted();
  ASSERT_TRUE(RunOnLinux(removeLinks));
  EXPECT_EQ(ReadFileBytes(victim), "precious");
  const std::vector<Row> rows = SavedLogRows();
  EXPECT_FALSE(rows.empty()) << "the log is a file of its own";
  ExpectNothingElseChanged(guard, "hostile", "links at the uninstaller's own file names");
}

using ProductFoldersWithUnusualNames = HostileCase;

TEST_P(ProductFoldersWithUnusualNames, GoToTheTrashWhole) {
  // Not hostile at all: the product's own folder under a name that is long or not ASCII is the
  // user's to remove, and it must arrive whole.
  // Letters that no one code page holds; the log names the folder with every one of them.
  const std::wstring unusual = root_ +
                               L"\\Pelmor W\u00e4llpaper \u58c1\u7eb8 Micha\u0142 "
                               L"\u0131\u011f \u0159 \u0417\u0430\u0441\u0442\u0430\u0432";
  const struct {
    const char* name;
    std::wstring folder;
    bool typed;
  } cases[] = {
      {"non-ASCII product folder", unusual, false},
      {"product folder near the length limit", root_ + L"\\" + std::wstring(200, L'w'), false},
      {"non-ASCII product folder typed by the user", unusual, true},
  };
  const auto& c = cases[GetParam()];
  SCOPED_TRACE(c.name);
  installDir_ = c.folder;
  InstallWith(REG_SZ, c.typed ? L"" : c.folder);
  const auto before = TreeListing(c.folder);
  const RunResult result = Run(c.name, c.typed ? c.folder : L"", Outcome::Recycled, {c.folder});
  EXPECT_TRUE(result.HasRow(L"   " + c.folder + L"\\")) << result.Describe();
  EXPECT_FALSE(DirExists(c.folder));
  const std::wstring name = c.folder.substr(c.folder.find_last_of(L'\\') + 1);
  EXPECT_EQ(TreeListing(TrashDir() + L"\\files\\" + name), before);
}
INSTANTIATE_TEST_SUITE_P(Hostile, ProductFoldersWithUnusualNames, ::testing::Range(0, 3));

using StoredDataFolderThatHoldsTheUsersData = HostileCase;

TEST_P(StoredDataFolderThatHoldsTheUsersData, IsRefused) {
  const std::wstring profile = Profile();
  const struct {
    const char* name;
    std::wstring path;
  } cases[] = {
      {"stored data folder C:\\Users\\", profile.substr(0, profile.find_last_of(L'\\') + 1)},
      {"stored data folder Documents", ShellFolder(CSIDL_PERSONAL)},
  };
  const auto& c = cases[GetParam()];
  SCOPED_TRACE(c.name);
  InstallWith(REG_SZ, installDir_, REG_SZ, c.path);
  const RunResult result = Run(c.name, L"", Outcome::Refused, {installDir_});
  EXPECT_FALSE(DirExists(installDir_)) << "the product's own folder still goes";
  EXPECT_TRUE(result.HasRow(
      L"  To protect the integrity of your data, the current operation was aborted."));
}
INSTANTIATE_TEST_SUITE_P(Hostile, StoredDataFolderThatHoldsTheUsersData, ::testing::Range(0, 2));

using StoredValuesOfTheWrongType = HostileCase;

TEST_P(StoredValuesOfTheWrongType, AreReportedAndNothingIsDeleted) {
  const struct {
    const char* name;
    const wchar_t* value;
    DWORD type;
  } cases[] = {
      {"Install path as REG_DWORD", L"Install path", REG_DWORD},
      {"Install path as REG_BINARY", L"Install path", REG_BINARY},
      {"Install path as REG_MULTI_SZ", L"Install path", REG_MULTI_SZ},
      {"App data path as REG_DWORD", L"App data path", REG_DWORD},
      {"App data path as REG_BINARY", L"App data path", REG_BINARY},
      {"App data path as REG_MULTI_SZ", L"App data path", REG_MULTI_SZ},
  };
  const auto& c = cases[GetParam()];
  SCOPED_TRACE(c.name);
  const bool install = std::wstring(c.value) == L"Install path";
  if (install)
    InstallWith(c.type, installDir_, REG_SZ, dataDir_);
  else
    InstallWith(REG_SZ, installDir_, c.type, dataDir_);
  // With the installation folder unreadable the user types it, as the empty field asks; the
  // uninstall then goes on. An unreadable data folder stops every try.
  const RunResult result =
      install ? Run(c.name, installDir_, Outcome::Recycled, {installDir_, dataDir_})
              : Run(c.name, L"", Outcome::Reported);
  const std::wstring message = L"Invalid data type for '" + std::wstring(c.value) + L"'";
  EXPECT_TRUE(std::any_of(result.boxes.begin(), result.boxes.end(), [&](const MessageBoxInfo& b) {
    return b.text.find(message) != std::wstring::npos;
  })) << result.Describe();
  if (install) {
    // Once the user has typed the folder, the uninstall itself works.
    EXPECT_FALSE(DirExists(installDir_)) << result.Describe();
  } else {
    EXPECT_TRUE(DirExists(installDir_));
    EXPECT_TRUE(DirExists(dataDir_));
  }
}
INSTANTIATE_TEST_SUITE_P(Hostile, StoredValuesOfTheWrongType, ::testing::Range(0, 6));

}  // namespace
