// Version text: the fixed version block of a file, and the text that a running program shows for
// its own version, read from real executables (the uninstaller's resources copied into a probe).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "ccCore.h"

using namespace testing_support;

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;

// Asked from another process, Wine's version functions find nothing in a 64-bit file named like one
// of Wine's own programs (uninstaller.exe, notepad.exe): the test build is read through a copy.
std::wstring UninstallerCopy() {
  const std::wstring copy = FreshFolder(L"Version uninstaller copy") + L"\\UninstallerCopy.exe";
  ::CopyFileW(UninstallerExe().c_str(), copy.c_str(), FALSE);
  return copy;
}

// The raw version resource of an executable.
std::vector<char> VersionResourceOf(const std::wstring& exe) {
  std::vector<char> bytes;
  HMODULE module = ::LoadLibraryExW(exe.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return bytes;
  if (HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16))) {
    const DWORD size = ::SizeofResource(module, found);
    if (HGLOBAL loaded = ::LoadResource(module, found)) {
      const char* data = static_cast<const char*>(::LockResource(loaded));
      if (data) bytes.assign(data, data + size);
    }
  }
  ::FreeLibrary(module);
  return bytes;
}

// Offset of the fixed block inside a version resource (it follows its signature's position).
size_t FixedBlockOffset(const std::vector<char>& resource) {
  for (size_t at = 0; at + sizeof(TFixedFileInfo) <= resource.size(); at += 4) {
    uint32_t word = 0;
    std::memcpy(&word, resource.data() + at, 4);
    if (word == kFixedSignature) return at;
  }
  return std::string::npos;
}

std::vector<char> WithFileVersion(std::vector<char> resource, uint32_t ms, uint32_t ls) {
  const size_t at = FixedBlockOffset(resource);
  if (at == std::string::npos) return {};
  std::memcpy(resource.data() + at + 8, &ms, 4);
  std::memcpy(resource.data() + at + 12, &ls, 4);
  return resource;
}

bool PutVersionResource(const std::wstring& exe, const std::vector<char>& resource) {
  HANDLE update = ::BeginUpdateResourceW(exe.c_str(), FALSE);
  if (!update) return false;
  const bool put = ::UpdateResourceW(update, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                     const_cast<char*>(resource.data()),
                                     static_cast<DWORD>(resource.size()));
  return ::EndUpdateResourceW(update, put ? FALSE : TRUE) && put;
}

// Runs the report probe (a copy of it when given) and returns what it wrote.
std::wstring Report(const std::wstring& probe, const std::wstring& what) {
  const std::wstring out = FreshFolder(L"Version report") + L"\\out.txt";
  Process process = Start(probe, what + L" \"" + out + L"\"");
  if (!process.WaitExit(60s) || process.ExitCode() != 0u) return L"<probe failed>";
  return Narrow2Wide(ReadFileBytes(out));
}

class VersionTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = FreshFolder(L"Version probes"); }
  void TearDown() override { RemoveTree(folder_); }

  // A copy of the probe, which itself carries no resources, with the given version resource.
  std::wstring ProbeWith(const std::wstring& name, const std::vector<char>& resource) {
    const std::wstring copy = folder_ + L"\\" + name;
    if (!::CopyFileW(FixtureExe(L"selfreport").c_str(), copy.c_str(), FALSE)) return L"";
    if (!resource.empty() && !PutVersionResource(copy, resource)) return L"";
    return copy;
  }

  std::wstring folder_;
};

}  // namespace

TEST(VersionBlock, UninstallerCarriesFileVersion5000) {
  TFixedFileInfo block{};
  ASSERT_TRUE(GetFileVersionFixed(UninstallerCopy(), block));
  EXPECT_EQ(block.dwSignature, kFixedSignature);
  EXPECT_EQ(block.dwFileVersionMS, 0x00050000u);
  EXPECT_EQ(block.dwFileVersionLS, 0u);
}

TEST(VersionBlock, FileWithoutResourceOrMissingIsFalse) {
  TFixedFileInfo block{};
  EXPECT_FALSE(GetFileVersionFixed(FixtureExe(L"selfreport"), block));
  EXPECT_FALSE(GetFileVersionFixed(BinDir() + L"\\no such program.exe", block));
  EXPECT_FALSE(GetFileVersionFixed(L"", block));
}

TEST(VersionText, ProgramWithoutVersionResourceShowsZero) {
  EXPECT_EQ(GetAppVersion(), L"0");
  EXPECT_EQ(Report(FixtureExe(L"selfreport"), L"version"), L"0");
}

TEST_F(VersionTest, UninstallerVersionResourceShows500) {
  const std::vector<char> resource = VersionResourceOf(UninstallerCopy());
  ASSERT_FALSE(resource.empty());
  const std::wstring probe = ProbeWith(L"Uninstaller.exe", resource);
  ASSERT_FALSE(probe.empty());
  EXPECT_EQ(Report(probe, L"version"), L"5.0.0");
}

TEST_F(VersionTest, ShowsMajorMinorReleaseButNotBuild) {
  const std::vector<char> resource =
      WithFileVersion(VersionResourceOf(UninstallerCopy()), 0x00010002, 0x00030004);
  ASSERT_FALSE(resource.empty());
  const std::wstring probe = ProbeWith(L"v1234.exe", resource);
  ASSERT_FALSE(probe.empty());
  EXPECT_EQ(Report(probe, L"version"), L"1.2.3");

  TFixedFileInfo block{};
  ASSERT_TRUE(GetFileVersionFixed(probe, block));
  EXPECT_EQ(block.dwFileVersionMS, 0x00010002u);
  EXPECT_EQ(block.dwFileVersionLS, 0x00030004u);
}

TEST_F(VersionTest, LargeNumbersAreWrittenInFullDecimal) {
  const std::vector<char> resource =
      WithFileVersion(VersionResourceOf(UninstallerCopy()), 0xFFFF0007, 0x012C0009);
  const std::wstring probe = ProbeWith(L"vbig.exe", resource);
  ASSERT_FALSE(probe.empty());
  EXPECT_EQ(Report(probe, L"version"), L"65535.7.300");
}

TEST_F(VersionTest, UnexpectedFixedBlockSizeShowsZero) {
  std::vector<char> resource = VersionResourceOf(UninstallerCopy());
  ASSERT_GE(resource.size(), 4u);
  // The root's value length, the second 16-bit field of the resource, now claims 48 bytes.
  const uint16_t shorter = 48;
  std::memcpy(resource.data() + 2, &shorter, 2);
  const std::wstring probe = ProbeWith(L"vshort.exe", resource);
  ASSERT_FALSE(probe.empty());
  TFixedFileInfo block{};
  EXPECT_FALSE(GetFileVersionFixed(probe, block));
  EXPECT_EQ(Report(probe, L"version"), L"0");
}

TEST(AppShortName, IsTheExeNameWithoutFolderAndLastExtension) {
  EXPECT_EQ(AppShortName(), L"Version_test");
}

TEST_F(VersionTest, ShortNameKeepsInnerDots) {
  const std::wstring probe = ProbeWith(L"a.b.exe", {});
  ASSERT_FALSE(probe.empty());
  EXPECT_EQ(Report(probe, L"shortname"), L"a.b");
}
