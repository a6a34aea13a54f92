// The product's stored paths, read from the sandbox's real current-user registry: values are
// returned exactly as stored, missing ones as empty, and a value of the wrong type is an error.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/support/Sandbox.h"
#include "tests/support/Thrown.h"
#include "toolkit/Errors.h"
#include "OrvexCommonControls/ccRegistry.h"

using namespace testing_support;

namespace {

const wchar_t kMakerKey[] = L"Software\\OrvexDesign";

bool KeyExists(HKEY root, const wchar_t* path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

// RegDeleteTreeW empties the key; the key itself goes with RegDeleteKeyW.
void DeleteMakerKey(HKEY root) {
  ::RegDeleteTreeW(root, kMakerKey);
  ::RegDeleteKeyW(root, kMakerKey);
}

// Stores raw bytes under the product key with the given type.
void Store(HKEY root, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(root, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
}

// A string value with its terminating NUL, the way programs normally store one.
void StoreString(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
  Store(HKEY_CURRENT_USER, name, type, text.c_str(),
        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

class StoredPaths : public ::testing::Test {
 protected:
  void SetUp() override { DeleteMakerKey(HKEY_CURRENT_USER); }
  void TearDown() override { DeleteMakerKey(HKEY_CURRENT_USER); }
};

}  // namespace

TEST_F(StoredPaths, ProductKeyIsPrefixFollowedByProductName) {
  EXPECT_EQ(std::wstring(kOrvexKeyPrefix) + kProductName, kProductKey);
  EXPECT_EQ(std::wstring(kOrvexKeyPrefix).back(), L'\\');
}

TEST_F(StoredPaths, MissingKeyGivesEmptyAndIsNotCreated) {
  EXPECT_EQ(ReadInstallPath(), L"");
  EXPECT_EQ(ReadAppDataPath(), L"");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProductKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kMakerKey));
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kProductKey, L"Install path", L"fallback"),
            L"fallback");
}

TEST_F(StoredPaths, MissingValueGivesEmptyOrTheDefault) {
  StoreString(L"Something else", L"C:\\elsewhere");
  EXPECT_EQ(ReadInstallPath(), L"");
  EXPECT_EQ(ReadAppDataPath(), L"");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kProductKey, L"Install path", L"fallback"),
            L"fallback");
}

TEST_F(StoredPaths, StringIsReturnedExactlyAsStored) {
  StoreString(L"Install path", L"C:\\Pelmor Wallpaper");
  StoreString(L"App data path", L"  C:\\Users\\u\\AppData\\Roaming\\Pelmor\\  ");
  EXPECT_EQ(ReadInstallPath(), L"C:\\Pelmor Wallpaper");
  EXPECT_EQ(ReadAppDataPath(), L"  C:\\Users\\u\\AppData\\Roaming\\Pelmor\\  ");
}

TEST_F(StoredPaths, EmptyStringIsEmptyEvenWithADefault) {
  StoreString(L"Install path", L"");
  EXPECT_EQ(ReadInstallPath(), L"");
  // The value exists, so the caller's default does not apply.
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kProductKey, L"Install path", L"fallback"), L"");
  Store(HKEY_CURRENT_USER, L"App data path", REG_SZ, L"", 0);
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kProductKey, L"App data path", L"fallback"), L"");
}

TEST_F(StoredPaths, ExpandableStringStaysUnexpanded) {
  StoreString(L"App data path", L"%APPDATA%\\Pelmor Wallpaper Changer\\", REG_EXPAND_SZ);
  EXPECT_EQ(ReadAppDataPath(), L"%APPDATA%\\Pelmor Wallpaper Changer\\");
}

TEST_F(StoredPaths, StringStoredWithoutTerminatorIsReadWhole) {
  const std::wstring text = L"D:\\Tools\\Pelmor";
  Store(HKEY_CURRENT_USER, L"Install path", REG_SZ, text.c_str(),
        static_cast<DWORD>(text.size() * sizeof(wchar_t)));
  EXPECT_EQ(ReadInstallPath(), text);
}

TEST_F(StoredPaths, LongStringIsReadWhole) {
  std::wstring text = L"C:\\";
  for (int i = 0; i < 300; ++i) text += L"folder" + std::to_wstring(i) + L"\\";
  StoreString(L"Install path", text);
  EXPECT_EQ(ReadInstallPath(), text);
}

TEST_F(StoredPaths, DwordValueRaisesInvalidDataType) {
  const DWORD number = 42;
  Store(HKEY_CURRENT_USER, L"App data path", REG_DWORD, &number, sizeof(number));
  EXPECT_EQ(ThrownMessage<tk::ERegistryException>([] { ReadAppDataPath(); }),
            L"Invalid data type for 'App data path'");
}

TEST_F(StoredPaths, BinaryValueRaisesWithItsOwnName) {
  const char bytes[] = "C:\\x";
  Store(HKEY_CURRENT_USER, L"Install path", REG_BINARY, bytes, sizeof(bytes));
  EXPECT_EQ(ThrownMessage<tk::ERegistryException>([] { ReadInstallPath(); }),
            L"Invalid data type for 'Install path'");
  EXPECT_EQ(ThrownMessage<tk::ERegistryException>(
                [] { RegReadString(HKEY_CURRENT_USER, kProductKey, L"Install path", L"d"); }),
            L"Invalid data type for 'Install path'");
}

TEST_F(StoredPaths, MultiStringIsNotAPlainString) {
  const wchar_t list[] = L"C:\\a\0C:\\b\0";
  Store(HKEY_CURRENT_USER, L"Install path", REG_MULTI_SZ, list, sizeof(list));
  EXPECT_EQ(ThrownMessage<tk::ERegistryException>([] { ReadInstallPath(); }),
            L"Invalid data type for 'Install path'");
}

TEST(StoredPathsMachineWide, KeyUnderLocalMachineOnlyIsNotRead) {
  DeleteMakerKey(HKEY_CURRENT_USER);
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
            ERROR_SUCCESS);
  const std::wstring text = L"C:\\Machine\\Pelmor";
  ::RegSetValueExW(key, L"Install path", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  const std::wstring machine = RegReadString(HKEY_LOCAL_MACHINE, kProductKey, L"Install path");
  const std::wstring user = ReadInstallPath();
  DeleteMakerKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(machine, text) << "the generic read serves any root";
  EXPECT_EQ(user, L"");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMakerKey));
}
