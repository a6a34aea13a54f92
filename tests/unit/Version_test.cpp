// Version text: the fixed version block of a file, and the text that a running program shows for
// its own version, read from real executables (the uninstaller's resources copied into a probe);
// every field of the uninstaller's version block and its icon; the running Windows' version.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccWinVersion.h"

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
  const bool put =
      ::UpdateResourceW(update, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1),
                        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                        const_cast<char*>(resource.data()), static_cast<DWORD>(resource.size()));
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
  // This test program is unit_tests.exe.
  EXPECT_EQ(AppShortName(), L"unit_tests");
}

TEST_F(VersionTest, ShortNameKeepsInnerDots) {
  const std::wstring probe = ProbeWith(L"a.b.exe", {});
  ASSERT_FALSE(probe.empty());
  EXPECT_EQ(Report(probe, L"shortname"), L"a.b");
}

// --- the running Windows ---

TEST(WinVersion, IsTheKernelsOwnVersion) {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  ASSERT_NE(rtlGetVersion, nullptr);
  OSVERSIONINFOW kernel{};
  kernel.dwOSVersionInfoSize = sizeof(kernel);
  ASSERT_EQ(rtlGetVersion(&kernel), 0);

  int major = -1, minor = -1;
  GetWinVersion(major, minor);
  EXPECT_EQ(major, static_cast<int>(kernel.dwMajorVersion));
  EXPECT_EQ(minor, static_cast<int>(kernel.dwMinorVersion));
  EXPECT_EQ(GetWinMajorVersion(), static_cast<int>(kernel.dwMajorVersion));
  EXPECT_TRUE(IsWindowsVistaUp());
}

// --- the uninstaller's version block, field by field ---

namespace {

// One block of a version resource: its key and the blocks below it.
struct VersionNode {
  std::wstring key;
  std::vector<VersionNode> children;
};

size_t Align4(size_t at) {
  return (at + 3) & ~size_t{3};
}

// The block at `at` (length, value length, type, NUL-terminated key, value, children, each
// aligned on four bytes); nothing when it does not fit.
std::optional<VersionNode> ReadVersionNode(const std::vector<char>& data, size_t at,
                                           size_t* end = nullptr) {
  uint16_t header[3] = {};
  if (at + sizeof(header) > data.size()) return std::nullopt;
  std::memcpy(header, data.data() + at, sizeof(header));
  const size_t blockEnd = at + header[0];
  if (header[0] < sizeof(header) || blockEnd > data.size()) return std::nullopt;
  VersionNode node;
  size_t p = at + sizeof(header);
  while (p + 2 <= blockEnd) {
    wchar_t c = 0;
    std::memcpy(&c, data.data() + p, 2);
    p += 2;
    if (!c) break;
    node.key += c;
  }
  const size_t valueBytes = header[2] == 1 ? header[1] * 2u : header[1];
  for (p = Align4(Align4(p) + valueBytes); p < blockEnd;) {
    size_t childEnd = 0;
    auto child = ReadVersionNode(data, p, &childEnd);
    if (!child) break;
    node.children.push_back(*child);
    p = Align4(childEnd);
  }
  if (end) *end = blockEnd;
  return node;
}

const VersionNode* Child(const VersionNode& node, const std::wstring& key) {
  for (const auto& child : node.children)
    if (child.key == key) return &child;
  return nullptr;
}

// The version information as the system's version functions read it.
class VersionInfo {
 public:
  explicit VersionInfo(const std::wstring& file) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (!size) return;
    data_.resize(size);
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, data_.data())) data_.clear();
  }
  bool Read() const { return !data_.empty(); }
  std::optional<std::wstring> Text(const std::wstring& path) const {
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data_.data(), path.c_str(), &value, &length) || !value)
      return std::nullopt;
    return std::wstring(static_cast<const wchar_t*>(value));
  }
  std::vector<char> Binary(const std::wstring& path) const {
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data_.data(), path.c_str(), &value, &length) || !value) return {};
    return std::vector<char>(static_cast<const char*>(value),
                             static_cast<const char*>(value) + length);
  }

 private:
  std::vector<char> data_;
};

std::wstring CopyOf(const std::wstring& exe, const std::wstring& name) {
  const std::wstring copy = FreshFolder(L"Version " + name) + L"\\" + name + L".exe";
  return ::CopyFileW(exe.c_str(), copy.c_str(), FALSE) ? copy : L"";
}

// The 64-bit twin and, where it has been built, the shipped 32-bit exe: both carry one block.
class UninstallerResources : public ::testing::TestWithParam<const wchar_t*> {
 protected:
  void SetUp() override {
    const std::wstring which = GetParam();
    const std::wstring exe =
        which == L"Twin" ? UninstallerExe()
                         : std::wstring(ORVEX_SOURCE_DIR) + L"\\build\\i686\\Uninstaller.exe";
    if (!FileExists(exe)) GTEST_SKIP() << "not built: " << Wide2Utf8(exe);
    // Read through a copy: Wine's version functions see nothing in a file of its own programs'
    // names.
    copy_ = CopyOf(exe, which + L"Copy");
    ASSERT_FALSE(copy_.empty());
  }

  std::wstring copy_;
};

}  // namespace

TEST_P(UninstallerResources, EveryTextFieldOfTheVersionBlockByName) {
  const VersionInfo info(copy_);
  ASSERT_TRUE(info.Read());
  const std::wstring table = L"\\StringFileInfo\\040904E4\\";
  const std::map<std::wstring, std::wstring> expected = {
      {L"Comments", L"uninstaller"},
      {L"CompanyName", L"uninstaller"},
      {L"FileDescription", L"Lightweight uninstaller"},
      {L"FileVersion", L"5.0.0.0"},
      {L"InternalName", L"uninstaller"},
      {L"LegalCopyright", L"uninstaller"},
      {L"LegalTrademarks", L"uninstaller"},
      {L"OriginalFilename", L"uninstaller"},
      {L"ProductName", L"uninstaller"},
      {L"ProductVersion", L"5.0.0.0"},
  };
  for (const auto& [field, value] : expected)
    EXPECT_EQ(info.Text(table + field), value) << Wide2Utf8(field);

  // Nothing beside them: the fields the block holds, read from the resource itself.
  const auto root = ReadVersionNode(VersionResourceOf(copy_), 0);
  ASSERT_TRUE(root.has_value());
  EXPECT_EQ(root->key, L"VS_VERSION_INFO");
  const VersionNode* strings = Child(*root, L"StringFileInfo");
  ASSERT_NE(strings, nullptr);
  ASSERT_EQ(strings->children.size(), 1u) << "one string table";
  EXPECT_EQ(strings->children.front().key, L"040904E4");
  std::set<std::wstring> present, wanted;
  for (const auto& field : strings->children.front().children) present.insert(field.key);
  for (const auto& [field, value] : expected) wanted.insert(field);
  EXPECT_EQ(present, wanted);
}

TEST_P(UninstallerResources, FixedBlockTranslationAndIcon) {
  const VersionInfo info(copy_);
  ASSERT_TRUE(info.Read());
  const std::vector<char> fixed = info.Binary(L"\\");
  ASSERT_EQ(fixed.size(), sizeof(TFixedFileInfo));
  TFixedFileInfo block{};
  std::memcpy(&block, fixed.data(), sizeof(block));
  EXPECT_EQ(block.dwSignature, kFixedSignature);
  EXPECT_EQ(block.dwFileVersionMS, 0x00050000u);
  EXPECT_EQ(block.dwFileVersionLS, 0u);
  EXPECT_EQ(block.dwProductVersionMS, 0x00050000u);
  EXPECT_EQ(block.dwProductVersionLS, 0u);

  const std::vector<char> translation = info.Binary(L"\\VarFileInfo\\Translation");
  ASSERT_EQ(translation.size(), 4u) << "one language and code page";
  uint16_t pair[2] = {};
  std::memcpy(pair, translation.data(), 4);
  EXPECT_EQ(pair[0], 0x0409);
  EXPECT_EQ(pair[1], 1252);

  HMODULE module = ::LoadLibraryExW(copy_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC icon = ::FindResourceW(module, L"MAINICON", RT_GROUP_ICON);
  EXPECT_NE(icon, nullptr);
  // A group holds its header and at least one entry.
  if (icon) {
    EXPECT_GE(::SizeofResource(module, icon), 6u + 14u);
  }
  ::FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(Exes, UninstallerResources, ::testing::Values(L"Twin", L"Shipped"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                           return Wide2Utf8(info.param);
                         });
