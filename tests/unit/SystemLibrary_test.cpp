// Libraries of the system folder loaded by full path (tk::SystemLibrary), and the restricted
// library search (tk::RestrictDllSearch): in this process, and in a probe program copied beside
// libraries planted under system names.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "tests/support/Planted.h"
#include "toolkit/SystemLibrary.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"

using namespace testing_support;

namespace {

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = towlower(c);
  return text;
}

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, length);
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? L"" : path.substr(0, slash);
}

std::wstring ModulePath(HMODULE module) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD length = ::GetModuleFileNameW(module, buffer, MAX_PATH * 2);
  return std::wstring(buffer, length);
}

TEST(SystemLibrary, LoadsTheSystemFoldersCopyOnceForTheProcess) {
  HMODULE version = tk::SystemLibrary(L"version.dll");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(Lower(FolderOf(ModulePath(version))), Lower(SystemFolder()));
  EXPECT_EQ(tk::SystemLibrary(L"version.dll"), version);
  EXPECT_EQ(tk::SystemLibrary(L"VERSION.DLL"), version)
      << "file names are compared as Windows does";
  for (const wchar_t* name : {L"msftedit.dll", L"comdlg32.dll", L"uxtheme.dll"}) {
    HMODULE module = tk::SystemLibrary(name);
    ASSERT_NE(module, nullptr) << Wide2Utf8(name);
    EXPECT_EQ(Lower(ModulePath(module)), Lower(SystemFolder() + L"\\" + name));
  }
}

TEST(SystemLibrary, GivesTypedExportsOfTheSystemLibrary) {
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  const auto getSize = tk::SystemFunction<SizeFn>(L"version.dll", "GetFileVersionInfoSizeW");
  ASSERT_NE(getSize, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(getSize),
            reinterpret_cast<void*>(
                ::GetProcAddress(tk::SystemLibrary(L"version.dll"), "GetFileVersionInfoSizeW")));
  DWORD ignored = 0;
  EXPECT_GT(getSize((SystemFolder() + L"\\kernel32.dll").c_str(), &ignored), 0u)
      << "the pointer calls the real function";
  EXPECT_EQ(tk::SystemFunction<SizeFn>(L"version.dll", "NoSuchExport"), nullptr);
  EXPECT_EQ(tk::SystemFunction<SizeFn>(L"orvex-no-such-library.dll", "GetFileVersionInfoSizeW"),
            nullptr);
}

TEST(SystemLibrary, RefusesANameThatHoldsAFolder) {
  const std::wstring system = SystemFolder();
  for (const std::wstring& name :
       {std::wstring(), std::wstring(L"."), std::wstring(L".."), system + L"\\version.dll",
        std::wstring(L"..\\system32\\version.dll"), std::wstring(L"sub/version.dll"),
        std::wstring(L"C:version.dll")})
    EXPECT_EQ(tk::SystemLibrary(name), nullptr) << Wide2Utf8(name);
}

// What the probe got for a name: the module, and the other modules of its folder that it had
// loaded by then.
struct ProbeLoad {
  std::wstring module;
  std::vector<std::wstring> besideProbe;
};

// A probe program in a folder of its own, beside the planted libraries.
class PlantedBesideProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = FreshFolder(L"system-library");
    probe_ = folder_ + L"\\syslib_probe.exe";
    ASSERT_TRUE(::CopyFileW(FixtureExe(L"syslib_probe").c_str(), probe_.c_str(), FALSE));
    ASSERT_TRUE(Plant(folder_));
    RemoveMarkers();
  }
  void TearDown() override {
    RemoveMarkers();
    RemoveTree(folder_);
  }

  ProbeLoad Load(const std::wstring& how, const std::wstring& name) const {
    const std::wstring out = folder_ + L"\\loaded.txt";
    ::DeleteFileW(out.c_str());
    Process probe = Start(probe_, how + L" " + name + L" " + QuoteArg(out), folder_);
    if (!probe.WaitExit(60s) || probe.ExitCode() != 0u) {
      ADD_FAILURE() << "the probe failed: " << Wide2Utf8(how) << " " << Wide2Utf8(name);
      return {};
    }
    const std::wstring text = Narrow2Wide(ReadFileBytes(out));
    ProbeLoad load;
    size_t start = text.find(L'\n');
    load.module = text.substr(0, start);
    while (start != std::wstring::npos && start + 1 < text.size()) {
      const size_t end = text.find(L'\n', start + 1);
      load.besideProbe.push_back(text.substr(start + 1, end - start - 1));
      start = end;
    }
    return load;
  }

  // Loaded the given way, every name comes from the system folder and pulls nothing planted in.
  void ExpectSystemFoldersCopies(const std::wstring& how) const {
    for (const std::wstring& name : kSystemNames) {
      const ProbeLoad load = Load(how, name);
      EXPECT_EQ(Lower(load.module), Lower(SystemFolder() + L"\\" + name)) << Wide2Utf8(how);
      for (const std::wstring& module : load.besideProbe)
        ADD_FAILURE() << Wide2Utf8(how) << " " << Wide2Utf8(name) << " brought in "
                      << Wide2Utf8(module);
    }
    for (const PlantedLoad& load : PlantedLoads())
      ADD_FAILURE() << Wide2Utf8(how) << ": planted " << Wide2Utf8(load.library) << " loaded into "
                    << Wide2Utf8(load.program);
  }

  // The libraries that the uninstaller loads through the helper, and others it might come to.
  inline static const std::vector<std::wstring> kSystemNames = {
      L"version.dll", L"msftedit.dll", L"comdlg32.dll",
      L"msimg32.dll", L"uxtheme.dll",  L"windowscodecs.dll"};

  std::wstring folder_, probe_;
};

// What makes the tests below mean something: asked for by the name alone, these names are
// taken from the program's folder. Wine puts its own build in place of the planted file for most
// names, but not for the rich edit's, whose planted code then runs.
TEST_F(PlantedBesideProbe, ByNameAloneThePlantedCopyIsLoaded) {
  for (const wchar_t* name : {L"version.dll", L"msimg32.dll", L"uxtheme.dll", L"msftedit.dll"})
    EXPECT_EQ(Lower(Load(L"bare", name).module), Lower(folder_ + L"\\" + name));
  const std::vector<PlantedLoad> loads = PlantedLoads();
  ASSERT_FALSE(loads.empty()) << "no planted code ran";
  for (const PlantedLoad& load : loads) EXPECT_EQ(Lower(load.program), Lower(probe_));
  EXPECT_NE(std::find_if(loads.begin(), loads.end(),
                         [&](const PlantedLoad& load) {
                           return Lower(load.library) == Lower(folder_ + L"\\msftedit.dll");
                         }),
            loads.end());
}

// The helper's own promise, whatever the search: the library of the system folder. (The libraries
// that one loads in turn are another matter: Wine does not pass the helper's search flag on to
// them, and without the restriction it takes some from the probe's folder; the program restricts
// the search first, as the next test does.)
TEST_F(PlantedBesideProbe, SystemLibraryTakesTheSystemFoldersCopy) {
  for (const std::wstring& name : kSystemNames)
    EXPECT_EQ(Lower(Load(L"system", name).module), Lower(SystemFolder() + L"\\" + name));
}

TEST_F(PlantedBesideProbe, AsTheProgramLoadsThemNothingPlantedComesIn) {
  ExpectSystemFoldersCopies(L"program");
}

TEST_F(PlantedBesideProbe, AfterTheRestrictionALoadByNameAloneTakesTheSystemFoldersCopy) {
  ExpectSystemFoldersCopies(L"restricted");
}

}  // namespace
