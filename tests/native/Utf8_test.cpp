// The UTF-8 conversions of the exception types: what() of every library error is its message in
// UTF-8, and text read back from UTF-8 is UTF-16 on every platform.
#include <gtest/gtest.h>

#include <string>

#include "toolkit/Errors.h"
#include "toolkit/Text.h"

namespace {

const std::wstring kSmiley = {wchar_t(0xD83D), wchar_t(0xDE00)};  // U+1F600 in UTF-16

}  // namespace

TEST(Utf8, EncodesEachPlaneInItsShortestForm) {
  EXPECT_EQ(tk::ToUtf8(L"A\u00E9\u20AC"), "A\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(tk::ToUtf8(kSmiley), "\xF0\x9F\x98\x80");
  EXPECT_EQ(tk::ToUtf8(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf8, DecodesToUtf16) {
  EXPECT_EQ(tk::FromUtf8("A\xC3\xA9\xE2\x82\xAC"), L"A\u00E9\u20AC");
  EXPECT_EQ(tk::FromUtf8("\xF0\x9F\x98\x80!"), kSmiley + L"!");
}

TEST(Utf8, MalformedSequencesBecomeReplacementCharactersAndNothingElseIsLost) {
  EXPECT_EQ(tk::FromUtf8("a\xFF"
                         "b"),
            L"a\uFFFDb");
  EXPECT_EQ(tk::FromUtf8("a\xC3"
                         "b"),
            L"a\uFFFDb");  // lead byte without its continuation
  // A sequence cut short by the end of the text must not take the characters before the end.
  EXPECT_EQ(tk::FromUtf8("a\xE2"
                         "b"),
            L"a\uFFFDb");
  EXPECT_EQ(tk::FromUtf8("a\xF0\x9F"
                         "b"),
            L"a\uFFFDb");
  EXPECT_EQ(tk::FromUtf8("a\xE2\x82"), L"a\uFFFD");
  EXPECT_EQ(tk::FromUtf8("\xF0"), L"\uFFFD");
}

TEST(Utf8, ExceptionMessageIsKeptAndWhatIsItsUtf8) {
  const tk::EArgumentException error(L"The path is invalid!\r\nD:\\\u00C9t\u00E9\\" + kSmiley);
  EXPECT_EQ(error.Message(), L"The path is invalid!\r\nD:\\\u00C9t\u00E9\\" + kSmiley);
  EXPECT_EQ(std::string(error.what()),
            "The path is invalid!\r\nD:\\\xC3\x89t\xC3\xA9\\\xF0\x9F\x98\x80");
  const tk::EAssertionFailed failed(L"Float is NAN!", L"ccCore");
  EXPECT_EQ(failed.Message(), L"Float is NAN! (ccCore)");
}
