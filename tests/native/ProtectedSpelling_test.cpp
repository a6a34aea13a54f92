// The spelling tests behind the protected-folder check, natively: which paths are full, which
// name a root, which have parts Windows would read differently, and folder containment.
#include <gtest/gtest.h>

#include <string>

#include "uninstaller/SharedUninstaller.h"

TEST(ProtectedSpelling, FullPathsStartAtADriveRootOrAShare) {
  EXPECT_TRUE(IsFullFolderPath(L"D:\\Pelmor"));
  EXPECT_TRUE(IsFullFolderPath(L"\\\\srv\\share"));
  EXPECT_TRUE(IsFullFolderPath(L"\\\\?\\D:\\"));
  EXPECT_TRUE(IsFullFolderPath(L"\\\\?\\UNC\\srv\\share"));
  EXPECT_FALSE(IsFullFolderPath(L"D:"));
  EXPECT_FALSE(IsFullFolderPath(L"D:Pelmor"));
  EXPECT_FALSE(IsFullFolderPath(L"\\\\?\\D:"));
  EXPECT_FALSE(IsFullFolderPath(L"\\\\?\\Pelmor"));
  EXPECT_FALSE(IsFullFolderPath(L".\\Pelmor"));
}

TEST(ProtectedSpelling, ShareNeedsAServerAndAShareWithOrWithoutLongPrefix) {
  for (const wchar_t* path : {L"\\\\srv", L"\\\\srv\\", L"\\\\\\share", L"\\\\srv\\\\x"})
    EXPECT_FALSE(IsFullFolderPath(path)) << path;
  // The same spellings behind the long-path prefix name no share either.
  for (const wchar_t* path : {L"\\\\?\\UNC\\srv", L"\\\\?\\UNC\\srv\\", L"\\\\?\\UNC\\\\share",
                              L"\\\\?\\UNC\\srv\\\\x", L"\\\\?\\UNC\\"})
    EXPECT_FALSE(IsFullFolderPath(path)) << path;
}

TEST(ProtectedSpelling, RootsOfDrivesSharesAndLongPaths) {
  for (const wchar_t* root :
       {L"D:", L"d:\\", L"\\\\srv\\share", L"\\\\?\\D:", L"\\\\?\\UNC\\srv\\share\\", L"\\"})
    EXPECT_TRUE(IsRootFolder(root)) << root;
  for (const wchar_t* folder : {L"D:\\x", L"\\\\srv\\share\\x", L"\\\\?\\D:\\x", L"x"})
    EXPECT_FALSE(IsRootFolder(folder)) << folder;
  EXPECT_FALSE(IsRootFolder(L""));
}

TEST(ProtectedSpelling, AmbiguousPartsAfterTheRootOnly) {
  EXPECT_TRUE(HasAmbiguousParts(L"D:\\a\\."));
  EXPECT_TRUE(HasAmbiguousParts(L"D:\\a\\..\\b"));
  EXPECT_TRUE(HasAmbiguousParts(L"D:\\a. \\b"));
  EXPECT_TRUE(HasAmbiguousParts(L"\\\\srv\\share\\a.\\b"));
  EXPECT_TRUE(HasAmbiguousParts(L"D:\\a/./b"));
  // The dots of the long-path prefix and of file extensions are no parts of their own.
  EXPECT_FALSE(HasAmbiguousParts(L"\\\\?\\D:\\a.b\\c"));
  EXPECT_FALSE(HasAmbiguousParts(L"\\\\.\\D:\\a"));
  EXPECT_FALSE(HasAmbiguousParts(L"D:\\.a\\b"));
  EXPECT_FALSE(HasAmbiguousParts(L"D:\\a\\\\b\\"));
}

TEST(ProtectedSpelling, ContainmentByWholeFolderNamesAndExactLetters) {
  EXPECT_TRUE(FolderIsOrContains(L"D:\\A", L"D:\\A\\"));
  EXPECT_TRUE(FolderIsOrContains(L"D:\\", L"D:\\A\\B"));
  EXPECT_FALSE(FolderIsOrContains(L"D:\\A\\B", L"D:\\A"));
  EXPECT_FALSE(FolderIsOrContains(L"D:\\A", L"D:\\AB"));
  EXPECT_FALSE(FolderIsOrContains(L"D:\\A", L"d:\\a\\b"));  // the caller folds the case
  EXPECT_FALSE(FolderIsOrContains(L"", L""));
}
