// The portable text helpers of ccCore: line-break tokens, character edits, positions, number and
// duration texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "tests/support/Thrown.h"
#include "toolkit/Errors.h"
#include "OrvexCommonControls/ccCore.h"

using namespace testing_support;

TEST(AppNames, StartAsPlaceholderAndEmpty) {
  EXPECT_EQ(AppName, L"? Empty AppName");
  EXPECT_TRUE(InstanceMutexName.empty());
}

TEST(CRLFToEnter, TokenBecomesLineBreak) {
  EXPECT_EQ(CRLFToEnter(L"aCRLFb"), L"a\r\nb");
  EXPECT_EQ(CRLFToEnter(L"CRLF"), L"\r\n");
  EXPECT_EQ(CRLFToEnter(L"aCRLFCRLFb"), L"a\r\n\r\nb");
}

TEST(CRLFToEnter, SwallowsOneBlankOnEachSide) {
  EXPECT_EQ(CRLFToEnter(L"a CRLF b"), L"a\r\nb");
  EXPECT_EQ(CRLFToEnter(L"a  CRLF b"), L"a \r\nb");
  EXPECT_EQ(CRLFToEnter(L"a CRLF  b"), L"a\r\n b");
}

TEST(CRLFToEnter, TwoTokensBetweenSentencesGiveOneEmptyLine) {
  EXPECT_EQ(CRLFToEnter(L"Thanks. CRLF CRLF Bye."), L"Thanks.\r\n\r\nBye.");
}

TEST(CRLFToEnter, TokenIsCaseSensitiveAndOtherTextUntouched) {
  EXPECT_EQ(CRLFToEnter(L"a crlf b CRL F"), L"a crlf b CRL F");
  EXPECT_EQ(CRLFToEnter(L""), L"");
}

TEST(ReplaceEnters, EachCrAndLfBecomesTheReplacement) {
  EXPECT_EQ(ReplaceEnters(L"a\r\nb", L" "), L"a  b");
  EXPECT_EQ(ReplaceEnters(L"a\nb\rc", L"<br>"), L"a<br>b<br>c");
  EXPECT_EQ(ReplaceEnters(L"\r\n\r\n", L""), L"");
  EXPECT_EQ(ReplaceEnters(L"no breaks", L"|"), L"no breaks");
}

TEST(ReplaceChar, ReplacesEveryOccurrenceIncludingNul) {
  const std::wstring withNuls(L"a\0b\0", 4);
  EXPECT_EQ(ReplaceChar(withNuls, L'\0', L' '), L"a b ");
  EXPECT_EQ(withNuls.size(), 4u);  // the argument is not touched
  EXPECT_EQ(withNuls[1], L'\0');
  EXPECT_EQ(ReplaceChar(L"banana", L'a', L'o'), L"bonono");
  EXPECT_EQ(ReplaceChar(L"banana", L'x', L'o'), L"banana");
}

TEST(ReplaceChar, InPlaceChangesTheCallersString) {
  std::wstring text(L"x\0y\0\0", 5);
  ReplaceCharInPlace(text, L'\0', L' ');
  EXPECT_EQ(text, L"x y  ");
}

TEST(RemoveLowChars, KeepsOnlyCodesAbove31) {
  EXPECT_EQ(RemoveLowChars(std::wstring(L"\ta\x01 b\x1F\r\nc\0", 11)), L"a bc");
  EXPECT_EQ(RemoveLowChars(L" \x7F\u00E9\u20AC"), L" \x7F\u00E9\u20AC");
  EXPECT_EQ(RemoveLowChars(L"\t\r\n"), L"");
}

TEST(CopyTo, BothPositionsInclusive) {
  EXPECT_EQ(CopyTo(L"abcdef", 2, 4), L"bcd");
  EXPECT_EQ(CopyTo(L"abcdef", 1, 1), L"a");
  EXPECT_EQ(CopyTo(L"abcdef", 1, 6), L"abcdef");
}

TEST(CopyTo, EmptyWhenToIsBelowFrom) {
  EXPECT_EQ(CopyTo(L"abcdef", 4, 3), L"");
  EXPECT_EQ(CopyTo(L"abcdef", 6, 1), L"");
}

TEST(CopyTo, PositionsOutsideTheTextAreClipped) {
  EXPECT_EQ(CopyTo(L"abcdef", 5, 100), L"ef");
  EXPECT_EQ(CopyTo(L"abcdef", 0, 2), L"ab");
  EXPECT_EQ(CopyTo(L"abcdef", 7, 9), L"");
  EXPECT_EQ(CopyTo(L"", 1, 1), L"");
  EXPECT_EQ(CopyTo(L"abc", std::numeric_limits<int>::min(), std::numeric_limits<int>::max()),
            L"abc");
}

TEST(LastChar, LastCharacterOrEmpty) {
  EXPECT_EQ(LastChar(L"folder\\"), L"\\");
  EXPECT_EQ(LastChar(L"x"), L"x");
  EXPECT_EQ(LastChar(L""), L"");
}

TEST(LastPos, OneBasedPositionOfLastOccurrence) {
  EXPECT_EQ(LastPos(L'.', L"a.b.c"), 4);
  EXPECT_EQ(LastPos(L'.', L"name"), 0);
  EXPECT_EQ(LastPos(L'.', L""), 0);
  EXPECT_EQ(LastPos(L'a', L"a"), 1);
  EXPECT_EQ(LastPos(L'\\', L"C:\\dir\\file"), 7);
}

TEST(PosInsensitive, FindsFirstOccurrenceIgnoringAsciiCase) {
  EXPECT_EQ(PosInsensitive(L"warn", L"Big WARNING, warning"), 5);
  EXPECT_EQ(PosInsensitive(L"ERROR", L"no errors"), 4);
  EXPECT_EQ(PosInsensitive(L"abc", L"abc"), 1);
  EXPECT_EQ(PosInsensitive(L"xyz", L"abc"), 0);
  EXPECT_EQ(PosInsensitive(L"abcd", L"abc"), 0);
}

TEST(PosInsensitive, EmptyNeedleIsFoundNowhere) {
  EXPECT_EQ(PosInsensitive(L"", L"abc"), 0);
  EXPECT_EQ(PosInsensitive(L"", L""), 0);
}

TEST(PosInsensitive, OnlyAsciiLettersFold) {
  EXPECT_EQ(PosInsensitive(L"\u00E9", L"\u00C9cole"), 0);
  EXPECT_EQ(PosInsensitive(L"\u00E9", L"caf\u00E9"), 4);
  EXPECT_EQ(PosInsensitive(L"[", L"{"), 0);  // '{' - 32 is '[': only a to z may move
}

TEST(UpperCaseAscii, OnlyAToZChange) {
  EXPECT_EQ(UpperCaseAscii(L"abc xyz 09 `{"), L"ABC XYZ 09 `{");
  EXPECT_EQ(UpperCaseAscii(L"\u00E4\u00E9\u0131"), L"\u00E4\u00E9\u0131");
  EXPECT_EQ(UpperCaseAscii(L"MiXeD"), L"MIXED");
}

TEST(Real2Str, TrailingZerosAndBareSeparatorDropped) {
  EXPECT_EQ(Real2StrSep(2.5, 3, L'.'), L"2.5");
  EXPECT_EQ(Real2StrSep(3.0, 3, L'.'), L"3");
  EXPECT_EQ(Real2StrSep(10.0, 3, L'.'), L"10");
  EXPECT_EQ(Real2StrSep(100.25, 3, L'.'), L"100.25");
  EXPECT_EQ(Real2StrSep(0.0, 2, L'.'), L"0");
}

TEST(Real2Str, UsesTheGivenSeparator) {
  EXPECT_EQ(Real2StrSep(2.5, 3, L','), L"2,5");
  EXPECT_EQ(Real2StrSep(10.0, 3, L','), L"10");
  EXPECT_EQ(Real2StrSep(1234.5, 1, L','), L"1234,5");
}

TEST(Real2Str, RoundsToTheRequestedDecimals) {
  EXPECT_EQ(Real2StrSep(1.23456, 3, L'.'), L"1.235");
  EXPECT_EQ(Real2StrSep(1.23449, 3, L'.'), L"1.234");
  EXPECT_EQ(Real2StrSep(0.9996, 3, L'.'), L"1");
  EXPECT_EQ(Real2StrSep(99.9996, 3, L'.'), L"100");
  EXPECT_EQ(Real2StrSep(59.999, 3, L'.'), L"59.999");
  EXPECT_EQ(Real2StrSep(0.00001, 7, L'.'), L"0.00001");
}

TEST(Real2Str, NegativeValues) {
  EXPECT_EQ(Real2StrSep(-1.5, 3, L'.'), L"-1.5");
  EXPECT_EQ(Real2StrSep(-0.0004, 3, L'.'), L"0");
  EXPECT_EQ(Real2StrSep(-12.0, 2, L'.'), L"-12");
}

TEST(Real2Str, SixteenSignificantDigitsHideBinaryNoise) {
  EXPECT_EQ(Real2StrSep(0.1 + 0.2, 20, L'.'), L"0.3");
  EXPECT_EQ(Real2StrSep(1.0 / 3.0, 20, L'.'), L"0.3333333333333333");
}

TEST(Real2Str, LargeValuesStayInFixedNotation) {
  EXPECT_EQ(Real2StrSep(1e20, 2, L'.'), L"100000000000000000000");
  EXPECT_EQ(Real2StrSep(123456.789, 1, L'.'), L"123456.8");
}

TEST(Real2Str, NoDecimalsRoundsHalfToEven) {
  EXPECT_EQ(Real2StrSep(0.1, 0, L'.'), L"0");
  EXPECT_EQ(Real2StrSep(2.5, 0, L'.'), L"2");
  EXPECT_EQ(Real2StrSep(3.5, 0, L'.'), L"4");
  EXPECT_EQ(Real2StrSep(2.6, 0, L'.'), L"3");
  EXPECT_EQ(Real2StrSep(-2.5, 0, L'.'), L"-2");
  EXPECT_EQ(Real2StrSep(-0.4, 0, L'.'), L"0");
  EXPECT_EQ(Real2StrSep(1e15 + 1, 0, L'.'), L"1000000000000001");
}

TEST(Real2Str, NanIsAnAssertionFailure) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(ThrownMessage<tk::EAssertionFailed>([&] { Real2StrSep(nan, 3, L'.'); }),
            L"Float is NAN! (ccCore)");
  EXPECT_EQ(ThrownMessage<tk::EAssertionFailed>([&] { Real2StrSep(nan, 0, L'.'); }),
            L"Float is NAN! (ccCore)");
}

TEST(Real2Str, InfinityHasNoSeparator) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(ThrownMessage<tk::EAssertionFailed>([&] { Real2StrSep(inf, 3, L'.'); }),
            L"Decimal separator not found! (ccCore)");
  EXPECT_EQ(ThrownMessage<tk::EAssertionFailed>([&] { Real2StrSep(-inf, 1, L'.'); }),
            L"Decimal separator not found! (ccCore)");
  EXPECT_THROW(Real2StrSep(inf, 0, L'.'), tk::ERangeError);
}

TEST(Real2Str, HugeDecimalCountStillGivesTheValue) {
  EXPECT_EQ(Real2StrSep(2.5, 100000, L'.'), L"2.5");
  // The smallest double: 323 zeros behind the separator, then its 16 significant digits.
  EXPECT_EQ(Real2StrSep(5e-324, 100000, L'.'),
            L"0." + std::wstring(323, L'0') + L"4940656458412465");
}

TEST(SecondsToTimeText, BelowOneDayShowsMinutesAndSeconds) {
  EXPECT_EQ(SecondsToTimeText(0), L"0m 0s");
  EXPECT_EQ(SecondsToTimeText(59), L"0m 59s");
  EXPECT_EQ(SecondsToTimeText(60), L"1m 0s");
  EXPECT_EQ(SecondsToTimeText(3600), L"1h 0m 0s");
  EXPECT_EQ(SecondsToTimeText(86399), L"23h 59m 59s");
}

TEST(SecondsToTimeText, FromOneDaySecondsAreDropped) {
  EXPECT_EQ(SecondsToTimeText(86400), L"1 days 0m ");
  EXPECT_EQ(SecondsToTimeText(86400 + 3600 + 61), L"1 days 1h 1m ");
}

TEST(SecondsToTimeText, MinutesShownUpToSevenDaysOnly) {
  EXPECT_EQ(SecondsToTimeText(7 * 86400), L"7 days 0m ");
  EXPECT_EQ(SecondsToTimeText(7 * 86400 + 86399), L"7 days 23h 59m ");
  EXPECT_EQ(SecondsToTimeText(8 * 86400), L"8 days ");
  EXPECT_EQ(SecondsToTimeText(8 * 86400 + 5 * 3600 + 125), L"8 days 5h ");
}

TEST(SecondsToTimeText, LargestValue) {
  // 4294967295 s = 49710 days 6 h 28 min 15 s
  EXPECT_EQ(SecondsToTimeText(std::numeric_limits<uint32_t>::max()), L"49710 days 6h ");
}

TEST(MilisecondsToTimeText, BelowOneSecondInMilliseconds) {
  EXPECT_EQ(MilisecondsToTimeTextSep(0, L'.'), L"0ms");
  EXPECT_EQ(MilisecondsToTimeTextSep(500, L'.'), L"500ms");
  EXPECT_EQ(MilisecondsToTimeTextSep(999, L'.'), L"999ms");
}

TEST(MilisecondsToTimeText, BelowOneMinuteInSecondsWithDecimals) {
  EXPECT_EQ(MilisecondsToTimeTextSep(1000, L'.'), L"1sec");
  EXPECT_EQ(MilisecondsToTimeTextSep(1500, L'.'), L"1.5sec");
  EXPECT_EQ(MilisecondsToTimeTextSep(2000, L'.'), L"2sec");
  EXPECT_EQ(MilisecondsToTimeTextSep(7500, L','), L"7,5sec");
  EXPECT_EQ(MilisecondsToTimeTextSep(1001, L'.'), L"1.001sec");
  EXPECT_EQ(MilisecondsToTimeTextSep(59999, L'.'), L"59.999sec");
}

TEST(MilisecondsToTimeText, FromOneMinuteWholeSecondsAsTimeText) {
  EXPECT_EQ(MilisecondsToTimeTextSep(60000, L'.'), L"1m 0s");
  EXPECT_EQ(MilisecondsToTimeTextSep(60999, L'.'), L"1m 0s");
  EXPECT_EQ(MilisecondsToTimeTextSep(90000, L'.'), L"1m 30s");
  EXPECT_EQ(MilisecondsToTimeTextSep(3600000, L'.'), L"1h 0m 0s");
}
