// Removable drives with and without a medium. Wine's mount manager keeps a drive's type apart
// from its mount point: a CD or removable drive whose mount point holds nothing is a drive with no
// medium in it, the way an empty CD drive is one on Windows. The drives are made for the test
// through the manager's own request (the one Wine's configuration tool sends) and removed after.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/BoxAnswerer.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccIO.h"

using namespace testing_support;

namespace {

constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

// The request's header; the mount point follows it as a NUL-terminated Linux path.
struct UnixDriveRequest {
  ULONG size;
  ULONG type;  // a DRIVE_* value; DRIVE_NO_ROOT_DIR removes the drive
  ULONG fsType;
  DWORD serial;
  ULONGLONG unixDevice;
  WCHAR letter;
  USHORT mountPointOffset;
  USHORT deviceOffset;
  USHORT labelOffset;
};
static_assert(sizeof(UnixDriveRequest) == 32);

bool DefineUnixDrive(wchar_t letter, UINT type, const std::string& mountPoint) {
  HANDLE manager =
      ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (manager == INVALID_HANDLE_VALUE) return false;
  std::vector<char> request(sizeof(UnixDriveRequest) + mountPoint.size() + 1, '\0');
  UnixDriveRequest header{};
  header.size = static_cast<ULONG>(request.size());
  header.type = type;
  header.letter = static_cast<WCHAR>(letter - L'A' + L'a');
  if (!mountPoint.empty()) {
    header.mountPointOffset = sizeof(UnixDriveRequest);
    std::memcpy(request.data() + sizeof(UnixDriveRequest), mountPoint.c_str(),
                mountPoint.size() + 1);
  }
  std::memcpy(request.data(), &header, sizeof(header));
  DWORD returned = 0;
  const BOOL done =
      ::DeviceIoControl(manager, kDefineUnixDrive, request.data(),
                        static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
  ::CloseHandle(manager);
  return done != FALSE;
}

wchar_t FreeDriveLetter() {
  const DWORD drives = ::GetLogicalDrives();
  for (wchar_t letter = L'Y'; letter >= L'D'; --letter)
    if (!(drives & (1u << (letter - L'A')))) return letter;
  return 0;
}

// A drive of the given type on a free letter for the length of one test.
class RemovableDrive : public ::testing::TestWithParam<UINT> {
 protected:
  void SetUp() override {
    letter_ = FreeDriveLetter();
    ASSERT_NE(letter_, 0) << "no free drive letter";
    root_ = std::wstring(1, letter_) + L":\\";
    medium_ = FreshFolder(L"drives-medium-" + std::to_wstring(::GetCurrentProcessId()));
    WriteFileBytes(medium_ + L"\\setup.txt", "on the medium");
    mediumUnix_ = UnixPathOf(medium_);
    ASSERT_FALSE(mediumUnix_.empty()) << "not under Wine";
  }
  void TearDown() override {
    if (defined_) DefineUnixDrive(letter_, DRIVE_NO_ROOT_DIR, "");
    RemoveTree(medium_);
  }

  // The drive's mount point: the medium's folder, or a place where nothing is mounted.
  bool Insert(bool withMedium) {
    defined_ = DefineUnixDrive(letter_, GetParam(),
                               withMedium ? mediumUnix_ : mediumUnix_ + "-nothing-mounted");
    return defined_;
  }

  wchar_t letter_ = 0;
  std::wstring root_;
  std::wstring medium_;
  std::string mediumUnix_;
  bool defined_ = false;
};

}  // namespace

TEST_P(RemovableDrive, WithoutMediumIsNotReadyAndNoBoxAsksForOne) {
  ASSERT_TRUE(Insert(false));
  ASSERT_EQ(DriveType(root_), GetParam()) << "the drive keeps its type without a medium";
  ASSERT_EQ(::GetFileAttributesW((root_ + L"setup.txt").c_str()), INVALID_FILE_ATTRIBUTES);

  bool rootReady = true, fileReady = true, disk = true;
  const auto boxes = BoxesDuring(
      [&] {
        rootReady = DriveIsReady(root_);
        fileReady = DriveIsReady(root_ + L"setup\\readme.txt");
        disk = DiskInDrive(DriveLetterToNumber(letter_));
      },
      L"Cancel");

  EXPECT_FALSE(rootReady);
  EXPECT_FALSE(fileReady);
  EXPECT_FALSE(disk);
  EXPECT_TRUE(boxes.empty()) << Wide2Utf8(boxes.front().caption) << ": "
                             << Wide2Utf8(boxes.front().text);
}

TEST_P(RemovableDrive, WithMediumIsReady) {
  ASSERT_TRUE(Insert(true));
  ASSERT_EQ(DriveType(root_), GetParam());
  ASSERT_NE(::GetFileAttributesW((root_ + L"setup.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(DriveIsReady(root_));
  EXPECT_TRUE(
      DriveIsReady(std::wstring(1, static_cast<wchar_t>(letter_ - L'A' + L'a')) + L":\\setup.txt"));
  EXPECT_TRUE(DiskInDrive(DriveLetterToNumber(letter_)));
}

INSTANTIATE_TEST_SUITE_P(CdAndRemovable, RemovableDrive,
                         ::testing::Values(static_cast<UINT>(DRIVE_CDROM),
                                           static_cast<UINT>(DRIVE_REMOVABLE)),
                         [](const ::testing::TestParamInfo<UINT>& info) {
                           return std::string(info.param == DRIVE_CDROM ? "Cd" : "Removable");
                         });
