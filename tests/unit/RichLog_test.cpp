// The log pane (TRichLog on the platform rich-edit control): levels, colours, filtering, events,
// row stamps, line splitting, files, the process-wide AppLog and scrolling. Every test puts a
// real control on a real window and reads the rows back from the control itself.
#include <gtest/gtest.h>

#include <windows.h>
#include <richedit.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/Application.h"
#include "tests/support/AppDriver.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/BoxDriver.h"
#include "toolkit/Errors.h"
#include "toolkit/Form.h"
#include "toolkit/Handles.h"
#include "tests/support/RtfReader.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/cvRichLog.h"

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

// Gives the tests the protected indentation.
class TestLog : public TRichLog {
 public:
  using TRichLog::TRichLog;
  int GetIndent() const { return Indent; }
  void SetIndent(int value) { Indent = value; }
};

using Row = RichRow;

LRESULT Send(HWND edit, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
  return ::SendMessageW(edit, msg, wParam, lParam);
}

CHARFORMAT2W FormatOf(HWND edit, int start, int end) {
  Send(edit, EM_SETSEL, static_cast<WPARAM>(start), end);
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  Send(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return format;
}

// One row as the control holds it: text from its line, colour and boldness from the selection
// attributes of that line (an empty row is read through its paragraph mark).
Row RowAt(HWND edit, int line) {
  const int start = static_cast<int>(Send(edit, EM_LINEINDEX, static_cast<WPARAM>(line)));
  const int length = static_cast<int>(Send(edit, EM_LINELENGTH, static_cast<WPARAM>(start)));
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  TEXTRANGEW range{{start, start + length}, text.data()};
  text.resize(
      static_cast<size_t>(Send(edit, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range))));
  CHARFORMAT2W format = FormatOf(edit, start, start + std::max(length, 1));
  COLORREF color =
      (format.dwEffects & CFE_AUTOCOLOR) ? ::GetSysColor(COLOR_WINDOWTEXT) : format.crTextColor;
  return Row{text, color, (format.dwEffects & CFE_BOLD) != 0};
}

// Every row; the empty line after the last row's mark is where the next row will go.
std::vector<Row> RowsOf(HWND edit) {
  std::vector<Row> rows;
  const int lines = static_cast<int>(Send(edit, EM_GETLINECOUNT));
  for (int i = 0; i < lines; ++i) {
    Row row = RowAt(edit, i);
    if (i == lines - 1 && row.text.empty()) break;
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::wstring> TextsOf(HWND edit) {
  std::vector<std::wstring> texts;
  for (const Row& row : RowsOf(edit)) texts.push_back(row.text);
  return texts;
}

std::wstring ShortDate(const SYSTEMTIME& t) {
  wchar_t buffer[128] = {};
  int n = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, buffer, 128,
                            nullptr);
  return std::wstring(buffer, n > 0 ? static_cast<size_t>(n - 1) : 0);
}

std::wstring LongTime(const SYSTEMTIME& t) {
  wchar_t buffer[128] = {};
  int n = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &t, nullptr, buffer, 128);
  return std::wstring(buffer, n > 0 ? static_cast<size_t>(n - 1) : 0);
}

SYSTEMTIME Now() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return t;
}

constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kBlueViolet = RGB(62, 13, 174);
constexpr COLORREF kOrange = RGB(223, 88, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

using Texts = std::vector<std::wstring>;
using Rows = std::vector<Row>;

class RichLog : public ::testing::Test {
 protected:
  // One host window for all tests: destroying a top-level window costs Wine seconds.
  static void SetUpTestSuite() {
    AppName = L"RichLogTest";
    tk::App().Initialize();
    host_ = new tk::TForm(nullptr, L"RichLogTestHost");
    host_->Name = L"frmHost";
    host_->SetClientSize(520, 320);
    host_->CreateForm(false);
    host_->Show();
  }

  static void TearDownTestSuite() {
    delete host_;
    host_ = nullptr;
  }

  void SetUp() override { log_ = NewLog(L"mmoLog"); }

  void TearDown() override {
    log_.reset();
    ASSERT_EQ(AppLog, nullptr);
  }

  std::unique_ptr<TestLog> NewLog(const std::wstring& name) {
    auto log = std::make_unique<TestLog>(nullptr);
    log->Name = name;
    log->SetBounds(4, 4, 480, 280);
    log->SetParent(host_);
    return log;
  }

  HWND Edit() const { return log_->Handle(); }
  Rows RowsNow() const { return RowsOf(Edit()); }
  Texts TextsNow() const { return TextsOf(Edit()); }

  static inline tk::TForm* host_ = nullptr;
  std::unique_ptr<TestLog> log_;
};

// --- construction and properties ---

TEST_F(RichLog, NewLogHasDeclaredDefaults) {
  EXPECT_EQ(log_->Verbosity(), lvInfos);
  EXPECT_EQ(log_->VerbosityAsInt(), 3);
  EXPECT_TRUE(log_->AutoScroll());
  EXPECT_FALSE(log_->InsertDate());
  EXPECT_FALSE(log_->InsertTime());
  EXPECT_EQ(log_->GetIndent(), 0);
  EXPECT_EQ(log_->Lines().Count(), 0);
  ASSERT_TRUE(log_->HandleAllocated());
  EXPECT_EQ(Send(Edit(), EM_GETLIMITTEXT), 0x7FFFFFF0);
}

TEST_F(RichLog, BothScrollBarsAppearWhenTheContentOverflows) {
  // The control shows a scroll bar it was given only once there is something to scroll.
  for (int i = 0; i < 60; ++i) log_->AddInfo(std::wstring(200, L'w') + std::to_wstring(i));
  EXPECT_TRUE(WaitUntil(
      [&] {
        const LONG_PTR style = ::GetWindowLongPtrW(Edit(), GWL_STYLE);
        return (style & WS_VSCROLL) && (style & WS_HSCROLL);
      },
      10s));
}

TEST_F(RichLog, ScrollBarsLeftOutStayOut) {
  log_.reset();
  auto log = std::make_unique<TestLog>(nullptr);
  log->SetScrollBars(tk::ssVertical);
  log->SetBounds(4, 4, 200, 100);
  log->SetParent(host_);
  for (int i = 0; i < 60; ++i) log->AddInfo(std::wstring(200, L'w') + std::to_wstring(i));
  // Once the bar that was given shows, the one left out would have shown as well.
  EXPECT_TRUE(WaitUntil(
      [&] { return (::GetWindowLongPtrW(log->Handle(), GWL_STYLE) & WS_VSCROLL) != 0; }, 10s));
  EXPECT_FALSE(::GetWindowLongPtrW(log->Handle(), GWL_STYLE) & WS_HSCROLL);
}

TEST_F(RichLog, LongRowIsNotWrapped) {
  std::wstring longRow;
  for (int i = 0; i < 60; ++i) longRow += L"word" + std::to_wstring(i) + L" ";
  log_->AddMsg(longRow);
  log_->AddMsg(L"next");
  EXPECT_EQ(Send(Edit(), EM_GETLINECOUNT), 3);  // two rows and the place for the next one
  EXPECT_EQ(TextsNow(), (Texts{longRow, L"next"}));
}

TEST_F(RichLog, VerbosityAsIntIsOrdinalPlusOne) {
  log_->SetVerbosityAsInt(5);
  EXPECT_EQ(log_->VerbosityAsInt(), 5);
  EXPECT_EQ(log_->Verbosity(), lvWarnings);
  log_->SetVerbosityAsInt(1);
  EXPECT_EQ(log_->Verbosity(), lvVerbose);
  log_->SetVerbosity(lvErrors);
  EXPECT_EQ(log_->VerbosityAsInt(), 6);
}

TEST_F(RichLog, VerbosityAsIntOutsideOneToSixIsRefused) {
  log_->SetVerbosityAsInt(4);
  EXPECT_THROW(log_->SetVerbosityAsInt(0), tk::ERangeError);
  EXPECT_THROW(log_->SetVerbosityAsInt(7), tk::ERangeError);
  EXPECT_EQ(log_->Verbosity(), lvImportant);
}

// --- levels, colours, filtering ---

TEST_F(RichLog, InfosThresholdDropsVerboseAndHintsAndColoursTheRest) {
  log_->AddVerb(L"verbose");
  log_->AddHint(L"hint");
  log_->AddInfo(L"info");
  log_->AddImpo(L"important");
  log_->AddWarn(L"warning");
  log_->AddError(L"error");
  EXPECT_EQ(RowsNow(), (Rows{{L"info", kBlack, false},
                             {L"important", kBlueViolet, false},
                             {L"warning", kOrange, false},
                             {L"error", kRed, false}}));
}

TEST_F(RichLog, VerboseThresholdShowsEveryLevelInItsColour) {
  log_->SetVerbosity(lvVerbose);
  for (int level = lvVerbose; level <= lvErrors; ++level)
    log_->AddMsgLvl(L"level " + std::to_wstring(level), static_cast<TLogVerb>(level));
  EXPECT_EQ(RowsNow(), (Rows{{L"level 0", kGrey, false},
                             {L"level 1", kGrey, false},
                             {L"level 2", kBlack, false},
                             {L"level 3", kBlueViolet, false},
                             {L"level 4", kOrange, false},
                             {L"level 5", kRed, false}}));
}

TEST_F(RichLog, EachThresholdKeepsItsLevelAndAbove) {
  for (int threshold = lvVerbose; threshold <= lvErrors; ++threshold) {
    log_->Clear();
    log_->SetVerbosity(static_cast<TLogVerb>(threshold));
    log_->AddVerb(L"0");
    log_->AddHint(L"1");
    log_->AddInfo(L"2");
    log_->AddImpo(L"3");
    log_->AddWarn(L"4");
    log_->AddError(L"5");
    Texts expected;
    for (int level = threshold; level <= lvErrors; ++level)
      expected.push_back(std::to_wstring(level));
    EXPECT_EQ(TextsNow(), expected) << "threshold " << threshold;
  }
}

TEST_F(RichLog, UnlevelledAdditionsAreNeverFiltered) {
  log_->SetVerbosity(lvErrors);
  log_->AddMsg(L"plain");
  log_->AddBold(L"bold");
  log_->AddColorMsg(L"purple", RGB(128, 0, 128));
  log_->AddEmptyRow();
  log_->AddDateStamp();
  EXPECT_EQ(RowsNow(), (Rows{{L"plain", kBlack, false},
                             {L"bold", kBlack, true},
                             {L"purple", RGB(128, 0, 128), false},
                             {L" ", kBlack, false},
                             {ShortDate(Now()), kBlack, false}}));
}

TEST_F(RichLog, IntegersAreInfosInDecimal) {
  log_->AddInteger(-42);
  log_->AddInteger(1234567);
  log_->AddMsgInt(L"Files: ", 7);
  log_->AddMsgInt(L"n=", -1);
  EXPECT_EQ(RowsNow(), (Rows{{L"-42", kBlack, false},
                             {L"1234567", kBlack, false},
                             {L"Files: 7", kBlack, false},
                             {L"n=-1", kBlack, false}}));
  log_->SetVerbosity(lvImportant);
  log_->AddInteger(5);
  log_->AddMsgInt(L"x", 5);
  EXPECT_EQ(log_->Lines().Count(), 4);
}

TEST_F(RichLog, BoldRowThenRegularRow) {
  log_->AddBold(L"Heading");
  log_->AddMsg(L"body");
  log_->AddError(L"failure");
  EXPECT_EQ(
      RowsNow(),
      (Rows{{L"Heading", kBlack, true}, {L"body", kBlack, false}, {L"failure", kRed, false}}));
}

TEST_F(RichLog, BoldDoesNotSpillOntoSelectedText) {
  log_->AddMsg(L"first");
  log_->SetSel(0, 5);  // the user selects the first row
  log_->AddBold(L"second");
  log_->AddMsg(L"third");
  EXPECT_EQ(
      RowsNow(),
      (Rows{{L"first", kBlack, false}, {L"second", kBlack, true}, {L"third", kBlack, false}}));
}

// --- events ---

TEST_F(RichLog, WarnAndErrorEventsFireForFilteredAndEmptyMessages) {
  int warns = 0, errors = 0;
  tk::TObject* warnSender = nullptr;
  tk::TObject* errorSender = nullptr;
  log_->OnWarn = [&](tk::TObject* sender) { ++warns, warnSender = sender; };
  log_->OnError = [&](tk::TObject* sender) { ++errors, errorSender = sender; };
  log_->SetVerbosity(lvErrors);

  log_->AddWarn(L"filtered warning");
  EXPECT_EQ(warns, 1);
  EXPECT_EQ(warnSender, log_.get());
  EXPECT_EQ(log_->Lines().Count(), 0);

  log_->AddError(L"");
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(errorSender, log_.get());
  EXPECT_EQ(log_->Lines().Count(), 0);

  log_->AddError(L"real error");
  log_->AddMsgLvl(L"another warning", lvWarnings);
  log_->AddMsgLvl(L"", lvErrors);
  log_->AddInfo(L"info");
  log_->AddMsg(L"plain");
  EXPECT_EQ(warns, 2);
  EXPECT_EQ(errors, 3);
  EXPECT_EQ(TextsNow(), (Texts{L"real error", L"plain"}));
}

TEST_F(RichLog, EmptyMessagesAddNothing) {
  log_->SetVerbosity(lvVerbose);
  log_->AddMsg(L"");
  log_->AddBold(L"");
  log_->AddColorMsg(L"", kRed);
  for (int level = lvVerbose; level <= lvErrors; ++level)
    log_->AddMsgLvl(L"", static_cast<TLogVerb>(level));
  EXPECT_EQ(log_->Lines().Count(), 0);
  log_->AddMsg(L"after");
  EXPECT_EQ(RowsNow(), (Rows{{L"after", kBlack, false}}));
}

// --- line splitting and control characters ---

TEST_F(RichLog, MessagesSplitAtEveryKindOfLineBreak) {
  log_->AddMsg(L"one\r\n\r\ntwo");
  EXPECT_EQ(TextsNow(), (Texts{L"one", L"", L"two"}));
  log_->Clear();
  log_->AddMsg(L"ends with break\r\n");
  EXPECT_EQ(TextsNow(), (Texts{L"ends with break"}));
  log_->Clear();
  log_->AddMsg(L"\r\n");
  EXPECT_EQ(TextsNow(), (Texts{L""}));
  log_->Clear();
  log_->AddMsg(L"a\rb\nc\n\rd");
  EXPECT_EQ(TextsNow(), (Texts{L"a", L"b", L"c", L"", L"d"}));
  log_->Clear();
  log_->AddWarn(L"w1\nw2");
  EXPECT_EQ(RowsNow(), (Rows{{L"w1", kOrange, false}, {L"w2", kOrange, false}}));
}

TEST_F(RichLog, NulCharactersBecomeBlanks) {
  log_->AddMsg(std::wstring(L"before\0after", 12));
  log_->AddError(std::wstring(L"\0x\0", 3));
  EXPECT_EQ(TextsNow(), (Texts{L"before after", L" x "}));
}

// --- stamps and indentation ---

TEST_F(RichLog, DateTimeAndIndentPrefixEveryRow) {
  log_->SetInsertDate(true);
  log_->SetInsertTime(true);
  log_->SetIndent(2);
  const SYSTEMTIME before = Now();
  log_->AddMsg(L"word\r\nsecond");
  const SYSTEMTIME after = Now();
  auto row = [](const SYSTEMTIME& t, const wchar_t* text) {
    return L"  " + ShortDate(t) + L" " + LongTime(t) + L"  " + text;
  };
  Texts rows = TextsNow();
  ASSERT_EQ(rows.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const wchar_t* text = i == 0 ? L"word" : L"second";
    EXPECT_TRUE(rows[i] == row(before, text) || rows[i] == row(after, text))
        << Wide2Utf8(rows[i]) << " vs " << Wide2Utf8(row(before, text));
  }
}

TEST_F(RichLog, TimeAloneIsFollowedByTwoBlanks) {
  log_->SetInsertTime(true);
  const SYSTEMTIME before = Now();
  log_->AddInfo(L"x");
  const SYSTEMTIME after = Now();
  const std::wstring row = log_->Lines()[0];
  EXPECT_TRUE(row == LongTime(before) + L"  x" || row == LongTime(after) + L"  x")
      << Wide2Utf8(row);
}

TEST_F(RichLog, EmptyRowCarriesNoStampAndKeepsTheSettings) {
  log_->SetInsertDate(true);
  log_->SetInsertTime(true);
  log_->AddEmptyRow();
  EXPECT_EQ(TextsNow(), (Texts{L" "}));
  EXPECT_TRUE(log_->InsertDate());
  EXPECT_TRUE(log_->InsertTime());
  log_->SetIndent(3);
  log_->AddEmptyRow();
  EXPECT_EQ(log_->Lines()[1], L"    ");
}

TEST_F(RichLog, DateStampIsTheDateAloneInBlack) {
  log_->SetInsertTime(true);
  log_->SetInsertDate(true);
  log_->AddError(L"red first");
  const SYSTEMTIME before = Now();
  log_->AddDateStamp();
  const SYSTEMTIME after = Now();
  Rows rows = RowsNow();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_TRUE(rows[1].text == ShortDate(before) || rows[1].text == ShortDate(after));
  EXPECT_EQ(rows[1].color, kBlack);
  EXPECT_TRUE(log_->InsertTime());
  EXPECT_TRUE(log_->InsertDate());
}

// --- rows ---

TEST_F(RichLog, RemoveLastEmptyRowsStopsAtFirstRowWithText) {
  log_->AddMsg(L"a");
  log_->AddMsg(L"\r\n");
  log_->AddMsg(L"b");
  log_->Lines().Add(L"");
  log_->AddMsg(L"\r\n");
  log_->Lines().Add(L"");
  log_->RemoveLastEmptyRows();
  EXPECT_EQ(TextsNow(), (Texts{L"a", L"", L"b"}));
  log_->AddEmptyRow();
  log_->Lines().Add(L"");
  log_->RemoveLastEmptyRows();
  EXPECT_EQ(TextsNow(), (Texts{L"a", L"", L"b", L" "}));
}

TEST_F(RichLog, RemoveLastEmptyRowsOfOnlyEmptyRowsEmptiesTheLog) {
  log_->AddMsg(L"\r\n");
  log_->Lines().Add(L"");
  log_->RemoveLastEmptyRows();
  EXPECT_EQ(log_->Lines().Count(), 0);
  log_->RemoveLastEmptyRows();
  EXPECT_EQ(log_->Lines().Count(), 0);
}

TEST_F(RichLog, LinesAddTakesTheInsertionPointFormat) {
  log_->AddError(L"red");
  log_->Lines().Add(L"raw after red");
  log_->AddBold(L"bold");
  log_->Lines().Add(L"raw after bold");
  EXPECT_EQ(RowsNow(), (Rows{{L"red", kRed, false},
                             {L"raw after red", kRed, false},
                             {L"bold", kBlack, true},
                             {L"raw after bold", kBlack, false}}));
}

TEST_F(RichLog, LinesReadWriteDeleteAndText) {
  auto& lines = log_->Lines();
  EXPECT_EQ(lines.Add(L"zero"), 0);
  EXPECT_EQ(lines.Add(L"one"), 1);
  lines.Add(L"two");
  EXPECT_EQ(lines.Count(), 3);
  EXPECT_EQ(lines[1], L"one");
  lines.Put(1, L"ONE");
  lines.Delete(0);
  EXPECT_EQ(TextsNow(), (Texts{L"ONE", L"two"}));
  EXPECT_EQ(lines.Text(), L"ONE\r\ntwo\r\n");
  EXPECT_THROW(lines[2], tk::ERangeError);
  EXPECT_THROW(lines.Delete(-1), tk::ERangeError);
  log_->Clear();
  EXPECT_EQ(lines.Count(), 0);
  EXPECT_EQ(lines.Text(), L"");
}

TEST_F(RichLog, ClearRemovesEveryRow) {
  log_->AddMsg(L"a\r\nb");
  log_->AddError(L"c");
  log_->Clear();
  EXPECT_EQ(log_->Lines().Count(), 0);
  EXPECT_TRUE(RowsNow().empty());
  log_->AddInfo(L"fresh");
  EXPECT_EQ(RowsNow(), (Rows{{L"fresh", kBlack, false}}));
}

TEST_F(RichLog, ManyRowsAppendInOrder) {
  // Appending costs the log a fixed number of messages per row, whatever the length of the
  // content (it never reads the text back), so ten thousand rows are a linear job for the
  // platform's control. Wine's control re-walks its paragraphs on every insertion, which makes
  // large counts slow here; three thousand rows keep the run short.
  for (int i = 0; i < 3000; ++i) log_->AddInfo(L"row " + std::to_wstring(i));
  ASSERT_EQ(log_->Lines().Count(), 3000);
  EXPECT_EQ(log_->Lines()[0], L"row 0");
  EXPECT_EQ(log_->Lines()[1500], L"row 1500");
  EXPECT_EQ(log_->Lines()[2999], L"row 2999");
  EXPECT_EQ(RowAt(Edit(), 2999), (Row{L"row 2999", kBlack, false}));
}

TEST_F(RichLog, ContentWrittenBeforeTheWindowMovesIntoIt) {
  log_.reset();
  auto log = std::make_unique<TestLog>(nullptr);
  log->Name = L"mmoEarly";
  log->AddBold(L"title");
  log->AddWarn(L"careful");
  log->Lines().Add(L"raw");
  log->AddMsg(L"plain");
  EXPECT_EQ(log->Lines().Count(), 4);
  EXPECT_FALSE(log->HandleAllocated());
  log->SetBounds(4, 4, 480, 280);
  log->SetParent(host_);
  ASSERT_TRUE(log->HandleAllocated());
  EXPECT_EQ(RowsOf(log->Handle()), (Rows{{L"title", kBlack, true},
                                         {L"careful", kOrange, false},
                                         {L"raw", kOrange, false},
                                         {L"plain", kBlack, false}}));
  log->AddError(L"later");
  EXPECT_EQ(log->Lines().Count(), 5);
  EXPECT_EQ(log->Lines()[4], L"later");

  // The moved rows take the face of the control's own font, like the rows written later.
  CHARFORMAT2W font{};
  font.cbSize = sizeof(font);
  Send(log->Handle(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&font));
  EXPECT_EQ(std::wstring(FormatOf(log->Handle(), 0, 5).szFaceName), std::wstring(font.szFaceName));
  EXPECT_EQ(std::wstring(FormatOf(log->Handle(), 0, 5).szFaceName),
            std::wstring(
                FormatOf(log->Handle(), log->TextLength() - 6, log->TextLength() - 1).szFaceName));
}

TEST_F(RichLog, RowsWrittenBeforeTheWindowAreRegular) {
  log_.reset();
  auto log = std::make_unique<TestLog>(nullptr);
  log->Lines().Add(L"designed row");
  log->AddInfo(L"info");
  log->SetParent(host_);
  ASSERT_TRUE(log->HandleAllocated());
  log->AddMsg(L"after");
  EXPECT_EQ(RowsOf(log->Handle()), (Rows{{L"designed row", kBlack, false},
                                         {L"info", kBlack, false},
                                         {L"after", kBlack, false}}));
  log->Clear();
  log->AddInfo(L"after clearing");
  EXPECT_EQ(RowsOf(log->Handle()), (Rows{{L"after clearing", kBlack, false}}));
}

// Top-level rich edit windows of this thread: a stand-in is one.
int StandInsOfThisThread() {
  int count = 0;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM counted) CALLBACK -> BOOL {
        wchar_t name[64] = {};
        ::GetClassNameW(window, name, 64);
        if (_wcsicmp(name, L"RICHEDIT50W") == 0) ++*reinterpret_cast<int*>(counted);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

// Rows only appended before the window (as a form's designer and creation steps write them) wait
// for it: no stand-in control is made for them, and they go in with the window in their colours
// and styles, shown from the first row, the insertion point keeping the last one's format.
TEST_F(RichLog, RowsAppendedBeforeTheWindowWaitForItWithoutAStandIn) {
  log_.reset();
  const int standIns = StandInsOfThisThread();
  auto log = std::make_unique<TestLog>(nullptr);
  log->AddBold(L"title");
  for (int i = 0; i < 40; ++i) log->AddWarn(L"warning " + std::to_wstring(i));
  log->Lines().Add(L"raw");
  log->AddEmptyRow();
  EXPECT_EQ(log->SelColor(), kBlack) << "the waiting rows' insertion point, after the empty row";
  EXPECT_EQ(StandInsOfThisThread(), standIns) << "appending alone makes no stand-in";
  log->SetBounds(4, 4, 480, 280);
  log->SetParent(host_);
  ASSERT_TRUE(log->HandleAllocated());
  EXPECT_EQ(Send(log->Handle(), EM_GETFIRSTVISIBLELINE), 0) << "the pane opens at its first row";
  const Rows rows = RowsOf(log->Handle());
  ASSERT_EQ(rows.size(), 43u);
  EXPECT_EQ(rows[0], (Row{L"title", kBlack, true}));
  EXPECT_EQ(rows[1], (Row{L"warning 0", kOrange, false}));
  EXPECT_EQ(rows[40], (Row{L"warning 39", kOrange, false}));
  EXPECT_EQ(rows[41], (Row{L"raw", kOrange, false}));
  EXPECT_EQ(rows[42], (Row{L" ", kBlack, false}));
  log->SetSelColor(kRed);
  log->Lines().Add(L"after");
  EXPECT_EQ(RowAt(log->Handle(), 43), (Row{L"after", kRed, false}));
  EXPECT_EQ(StandInsOfThisThread(), standIns);
}

TEST_F(RichLog, BackgroundIsTheColourSetBeforeTheWindow) {
  log_.reset();
  auto log = std::make_unique<TestLog>(nullptr);
  log->SetColor(tk::clBtnFace);
  log->SetParent(host_);
  // Setting a colour answers with the one the control had.
  EXPECT_EQ(static_cast<COLORREF>(Send(log->Handle(), EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3))),
            ::GetSysColor(COLOR_BTNFACE));
}

// --- files ---

class RichLogFiles : public RichLog {
 protected:
  void SetUp() override {
    RichLog::SetUp();
    dir_ = FreshFolder(L"richlog");
  }
  void TearDown() override {
    RichLog::TearDown();
    RemoveTree(dir_);
  }
  void FillWithEveryKindOfRow() {
    log_->SetVerbosity(lvVerbose);
    log_->AddVerb(L"verbose row");
    log_->AddHint(L"hint row");
    log_->AddInfo(L"info row");
    log_->AddImpo(L"important row");
    log_->AddWarn(L"warning row");
    log_->AddError(L"error row");
    log_->AddBold(L"bold row");
    log_->AddEmptyRow();
    log_->AddMsg(L"\r\n");
    log_->AddMsg(L"Unicode: \x00EE\x0219\x0416 \x20AC {braces} \\back\\slash");
    log_->Lines().Add(L"last raw row");
  }
  std::wstring dir_;
};

TEST_F(RichLogFiles, SaveAsRtfThenLoadKeepsEveryRow) {
  FillWithEveryKindOfRow();
  const Rows saved = RowsNow();
  ASSERT_EQ(saved.size(), 11u);
  const std::wstring path = dir_ + L"\\Uninstall log.rtf";
  log_->SaveAsRtf(path);
  EXPECT_EQ(RowsNow(), saved);

  const std::string bytes = ReadFileBytes(path);
  EXPECT_EQ(bytes.rfind("{\\rtf", 0), 0u) << "no byte-order mark, RTF from the first byte";

  log_.reset();
  auto fresh = NewLog(L"mmoFresh");
  ASSERT_TRUE(fresh->LoadFromFile(path));
  EXPECT_EQ(RowsOf(fresh->Handle()), saved);
  EXPECT_EQ(fresh->Lines().Count(), 11);
}

TEST_F(RichLogFiles, ReaderThatIsNotOursSeesBoldOnlyWhereAddBoldWrote) {
  FillWithEveryKindOfRow();
  const std::wstring path = dir_ + L"\\log.rtf";
  log_->SaveAsRtf(path);
  const std::string html = UnrtfHtml(path);
  ASSERT_NE(html.find("last raw row"), std::string::npos) << "unrtf did not read the log:\n"
                                                          << html;
  EXPECT_EQ(BoldRunsOf(html), std::vector<std::string>{"bold row"}) << html;
}

// Every letter of a name, whatever the code page, and control characters too: as this program
// and our reader read the file back, and as a reader that is not ours shows it (unrtf writes
// every UTF-16 unit as an entity).
TEST_F(RichLogFiles, EveryCharacterOfEveryRowSurvivesSaving) {
  const std::wstring name =
      L"C:\\Pelmor Wallpaper Micha\u0142 \u0131\u011F \u0159 \uFF02\xD83D\xDE00\\";
  const std::wstring controls =
      L"tab\tand\x01"
      L"control";
  log_->AddInfo(L"   " + name);
  log_->AddWarn(controls);
  const std::wstring path = dir_ + L"\\log.rtf";
  log_->SaveAsRtf(path);
  const std::vector<RtfParagraph> rows = ReadRtfRows(ReadFileBytes(path));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].text, L"   " + name);
  EXPECT_EQ(rows[1].text, controls);
  log_->Clear();
  ASSERT_TRUE(log_->LoadFromFile(path));
  EXPECT_EQ(log_->Lines()[0], L"   " + name);
  std::string entities;
  for (wchar_t c : name)
    entities += c < 0x80 ? std::string(1, static_cast<char>(c))
                         : "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
  const std::string text = TextOfHtml(UnrtfHtml(path));
  EXPECT_NE(text.find(entities), std::string::npos) << text;
  EXPECT_NE(text.find("tab&#9;and&#1;control"), std::string::npos) << text;
}

TEST_F(RichLogFiles, RtfDoesNotDependOnTheExtension) {
  log_->AddError(L"red");
  log_->AddBold(L"bold");
  const std::wstring path = dir_ + L"\\log.txt";
  log_->SaveAsRtf(path);
  log_->Clear();
  ASSERT_TRUE(log_->LoadFromFile(path));
  EXPECT_EQ(RowsNow(), (Rows{{L"red", kRed, false}, {L"bold", kBlack, true}}));
}

TEST_F(RichLogFiles, SaveAsRtfReplacesAnExistingFile) {
  const std::wstring path = dir_ + L"\\old.rtf";
  WriteFileBytes(path, std::string(100000, 'x'));
  log_->AddInfo(L"new content");
  log_->SaveAsRtf(path);
  const std::string bytes = ReadFileBytes(path);
  EXPECT_EQ(bytes.rfind("{\\rtf", 0), 0u);
  EXPECT_EQ(bytes.find("xxxx"), std::string::npos);
  EXPECT_NE(bytes.find("new content"), std::string::npos);
}

TEST_F(RichLogFiles, SaveIntoMissingFolderRaisesCreateErrorAndKeepsContent) {
  FillWithEveryKindOfRow();
  const Rows before = RowsNow();
  const std::wstring folder = dir_ + L"\\missing";
  bool createError = false;
  try {
    log_->SaveAsRtf(folder + L"\\log.rtf");
  } catch (const tk::EFCreateError& e) {
    createError = true;
    EXPECT_NE(e.Message().find(L"log.rtf"), std::wstring::npos) << Wide2Utf8(e.Message());
  }
  EXPECT_TRUE(createError);
  EXPECT_FALSE(DirExists(folder));
  EXPECT_EQ(RowsNow(), before);
}

TEST_F(RichLogFiles, SaveOntoLockedFileRaisesCreateError) {
  const std::wstring path = dir_ + L"\\locked.rtf";
  WriteFileBytes(path, "held by another program");
  tk::UniqueFile holder(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);
  log_->AddInfo(L"content");
  EXPECT_THROW(log_->SaveAsRtf(path), tk::EFCreateError);
  EXPECT_EQ(TextsNow(), (Texts{L"content"}));
  holder.reset();
  EXPECT_EQ(ReadFileBytes(path), "held by another program");
}

TEST_F(RichLogFiles, AppendToFileTwiceGivesTheTextTwiceAsUtf8WithoutMark) {
  log_->AddInfo(L"first \x0103\x20AC");
  log_->AddError(L"second");
  log_->AddEmptyRow();
  const std::wstring path = dir_ + L"\\new folder\\plain.txt";
  log_->AppendToFile(path);
  log_->AppendToFile(path);
  const std::string once = Wide2Utf8(L"first \x0103\x20AC\r\nsecond\r\n \r\n");
  EXPECT_EQ(ReadFileBytes(path), once + once);
}

TEST_F(RichLogFiles, AppendToFileOfEmptyLogWritesNothing) {
  const std::wstring path = dir_ + L"\\empty.txt";
  WriteFileBytes(path, "kept");
  log_->AppendToFile(path);
  EXPECT_EQ(ReadFileBytes(path), "kept");
}

TEST_F(RichLogFiles, LoadFromMissingPathReturnsFalseAndKeepsContent) {
  log_->AddError(L"stays");
  EXPECT_FALSE(log_->LoadFromFile(dir_ + L"\\nothing here.rtf"));
  EXPECT_FALSE(log_->LoadFromFile(dir_));  // a folder is not a file
  EXPECT_FALSE(log_->LoadFromFile(L""));
  EXPECT_EQ(RowsNow(), (Rows{{L"stays", kRed, false}}));
}

TEST_F(RichLogFiles, LoadFromFileGoesByWhatALinkLeadsTo) {
  log_->AddError(L"saved row");
  const std::wstring target = dir_ + L"\\saved log.rtf";
  log_->SaveAsRtf(target);
  const std::wstring link = dir_ + L"\\log link.rtf";
  ASSERT_TRUE(MakeHostLink(dir_, L"log link.rtf", L"saved log.rtf"));
  tk::ScopeExit removeLink([&] {
    // A target in place again lets the link's own removal be watched.
    if (!FileExists(target)) WriteFileBytes(target, "");
    EXPECT_TRUE(RemoveHostLink(dir_, L"log link.rtf"));
  });

  // A link to a real log loads the log.
  log_->Clear();
  log_->AddInfo(L"replaced");
  ASSERT_TRUE(log_->LoadFromFile(link));
  EXPECT_EQ(RowsNow(), (Rows{{L"saved row", kRed, false}}));

  // With the log gone the link leads to nothing: no file, nothing read, nothing raised.
  ASSERT_TRUE(::DeleteFileW(target.c_str()));
  log_->AddInfo(L"kept");
  const Rows before = RowsNow();
  bool loaded = true;
  EXPECT_NO_THROW(loaded = log_->LoadFromFile(link));
  EXPECT_FALSE(loaded);
  EXPECT_EQ(RowsNow(), before);
}

TEST_F(RichLogFiles, LoadsPlainTextByByteOrderMark) {
  const std::wstring text = L"first line\r\nsecond \x0103\x00EE\r\nthird";
  const Texts expected{L"first line", L"second \x0103\x00EE", L"third"};

  std::string utf16le("\xFF\xFE", 2), utf16be("\xFE\xFF", 2);
  for (wchar_t c : text) {
    utf16le += static_cast<char>(c & 0xFF);
    utf16le += static_cast<char>(c >> 8);
    utf16be += static_cast<char>(c >> 8);
    utf16be += static_cast<char>(c & 0xFF);
  }
  const std::string utf8 = "\xEF\xBB\xBF" + Wide2Utf8(text);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {{"UTF-16 LE", utf16le}, {"UTF-16 BE", utf16be}, {"UTF-8", utf8}};
  for (const Case& c : cases) {
    log_->Clear();
    log_->AddError(L"replaced");
    const std::wstring path = dir_ + L"\\text.txt";
    WriteFileBytes(path, c.bytes);
    ASSERT_TRUE(log_->LoadFromFile(path)) << c.name;
    EXPECT_EQ(TextsNow(), expected) << c.name;
    EXPECT_EQ(log_->Lines().Count(), 3) << c.name;
    log_->AddMsg(L"appended");
    EXPECT_EQ(log_->Lines()[3], L"appended") << c.name;
  }
}

TEST_F(RichLogFiles, LoadsPlainTextWithoutMarkInAnsiCodePage) {
  const std::wstring path = dir_ + L"\\ansi.txt";
  WriteFileBytes(path, "plain ascii\r\nsecond\r\n");
  ASSERT_TRUE(log_->LoadFromFile(path));
  EXPECT_EQ(TextsNow(), (Texts{L"plain ascii", L"second"}));
}

TEST_F(RichLogFiles, LastLoadedRowWithoutLineBreakIsAWholeRow) {
  const std::wstring path = dir_ + L"\\open end.txt";
  WriteFileBytes(path, "x\r\ny");
  ASSERT_TRUE(log_->LoadFromFile(path));
  EXPECT_EQ(log_->Lines().Count(), 2);
  EXPECT_EQ(log_->Lines().Text(), L"x\r\ny\r\n");
  log_->Lines().Delete(1);
  EXPECT_EQ(TextsNow(), (Texts{L"x"}));
  log_->AddMsg(L"z");
  EXPECT_EQ(TextsNow(), (Texts{L"x", L"z"}));
}

TEST_F(RichLogFiles, AddFromFileAddsEveryLineAtOneLevel) {
  const std::wstring path = dir_ + L"\\lines.txt";
  WriteFileBytes(path, "alpha\r\n\r\nbeta\nlast");
  int warns = 0;
  log_->OnWarn = [&](tk::TObject*) { ++warns; };
  log_->AddFromFile(path, lvImportant);
  EXPECT_EQ(RowsNow(), (Rows{{L"alpha", kBlueViolet, false},
                             {L"beta", kBlueViolet, false},
                             {L"last", kBlueViolet, false}}));
  log_->Clear();
  log_->AddFromFile(path, lvWarnings);
  EXPECT_EQ(warns, 4);  // once per line, the empty one included
  EXPECT_EQ(log_->Lines().Count(), 3);
  log_->Clear();
  log_->AddFromFile(path, lvHints);
  EXPECT_EQ(log_->Lines().Count(), 0);
}

TEST_F(RichLogFiles, AddFromMissingFileRaisesBeforeAddingRows) {
  EXPECT_THROW(log_->AddFromFile(dir_ + L"\\absent.txt", lvInfos), tk::EFOpenError);
  EXPECT_EQ(log_->Lines().Count(), 0);
}

// --- clipboard ---

TEST_F(RichLog, CopyAllPutsTheWholeTextOnTheClipboard) {
  log_->AddInfo(L"copy me");
  log_->AddError(L"and me");
  log_->CopyAll();
  CHARRANGE selection{};
  Send(Edit(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  EXPECT_EQ(selection.cpMin, 0);
  EXPECT_GE(selection.cpMax, log_->TextLength());
  std::wstring clip;
  ASSERT_TRUE(WaitUntil(
      [&] {
        if (!::OpenClipboard(nullptr)) return false;
        if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
          if (auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
            clip = text;
            ::GlobalUnlock(data);
          }
        }
        ::CloseClipboard();
        return !clip.empty();
      },
      5s));
  EXPECT_EQ(clip.rfind(L"copy me\r\nand me", 0), 0u) << Wide2Utf8(clip);
}

// --- scrolling ---

TEST_F(RichLog, ScrollToBottomIsQueuedNotImmediate) {
  for (int i = 0; i < 200; ++i) log_->AddInfo(L"row " + std::to_wstring(i));
  EXPECT_EQ(Send(Edit(), EM_GETFIRSTVISIBLELINE), 0) << "scrolled before the handler returned";
  EXPECT_TRUE(WaitUntil([&] { return Send(Edit(), EM_GETFIRSTVISIBLELINE) > 150; }, 5s));
}

// A burst of rows goes into the control in one piece; whoever reads the control in between, by
// its methods or by messages to its window, finds every row with its own colour and style.
TEST_F(RichLog, RowsOfABurstAreInPlaceForEveryReader) {
  for (int i = 0; i < 30; ++i) {
    if (i % 2)
      log_->AddWarn(L"warn " + std::to_wstring(i));
    else
      log_->AddBold(L"bold " + std::to_wstring(i));
  }
  EXPECT_EQ(Send(Edit(), EM_GETLINECOUNT), 31) << "a message to the window sees all rows";
  const Rows rows = RowsNow();
  ASSERT_EQ(rows.size(), 30u);
  EXPECT_EQ(rows[0], (Row{L"bold 0", 0, true}));
  EXPECT_EQ(rows[29], (Row{L"warn 29", RGB(223, 88, 0), false}));
  log_->AddInfo(L"after");
  EXPECT_EQ(log_->Lines().Count(), 31);
  EXPECT_EQ(log_->Lines()[30], L"after");
  EXPECT_EQ(log_->SelColor(), clLogInfo);
  log_->Lines().Add(L"raw takes the insertion point's colour");
  EXPECT_EQ(RowsNow().back(), (Row{L"raw takes the insertion point's colour", 0, false}));
}

// Rows of a handler that then holds the loop (a pause, a long operation) are shown at once when
// the window repaints.
TEST_F(RichLog, RepaintShowsRowsThatWaitToGoIn) {
  for (int i = 0; i < 10; ++i) log_->AddInfo(L"row " + std::to_wstring(i));
  host_->Repaint();
  EXPECT_TRUE(::GetWindowLongPtrW(Edit(), GWL_STYLE) & WS_VISIBLE) << "painting resumed";
  EXPECT_EQ(CallWindowProcW(reinterpret_cast<WNDPROC>(::GetClassLongPtrW(Edit(), GCLP_WNDPROC)),
                            Edit(), EM_GETLINECOUNT, 0, 0),
            11)
      << "the rows are in the control itself";
}

TEST_F(RichLog, NoScrollWithoutAutoScrollOrThroughLines) {
  log_->SetAutoScroll(false);
  for (int i = 0; i < 100; ++i) log_->AddInfo(L"row " + std::to_wstring(i));
  for (int i = 0; i < 100; ++i) log_->Lines().Add(L"raw " + std::to_wstring(i));
  // A scroll request would have been posted: once the queue is empty it has been handled.
  PumpUntilIdle();
  EXPECT_EQ(Send(Edit(), EM_GETFIRSTVISIBLELINE), 0);
  log_->SetAutoScroll(true);
  log_->AddInfo(L"now scroll");
  EXPECT_TRUE(WaitUntil([&] { return Send(Edit(), EM_GETFIRSTVISIBLELINE) > 150; }, 5s));
}

// --- AppLog ---

TEST_F(RichLog, AppLogIsTheNewestLog) {
  EXPECT_EQ(AppLog, log_.get());
}

TEST_F(RichLog, SecondLogAtRunTimeShowsTheBoxOnce) {
  log_->Name = L"mmoFirst";
  BoxAnswerer watcher;
  // The box is modal inside the constructor: once it returns the box has come and gone.
  auto second = NewLog(L"mmoSecond");
  const std::vector<MessageBoxInfo> boxes = watcher.Stop();
  ASSERT_EQ(boxes.size(), 1u);
  const MessageBoxInfo& box = boxes[0];
  EXPECT_EQ(box.caption, L"RichLogTest - Error");
  EXPECT_EQ(box.icon, BoxIcon::Error);
  EXPECT_EQ(box.text.rfind(L"AppLog already assigned to ctrl ", 0), 0u) << Wide2Utf8(box.text);
  EXPECT_EQ(box.text, L"AppLog already assigned to ctrl mmoFirst\r\n in form: frmHost");
  EXPECT_EQ(AppLog, second.get());

  log_.reset();  // destroying the earlier log clears AppLog as well
  EXPECT_EQ(AppLog, nullptr);
  second->AddInfo(L"still works");
  EXPECT_EQ(second->Lines().Count(), 1);
}

TEST_F(RichLog, SecondLogWithoutParentNamesNoForm) {
  log_->SetParent(nullptr);
  log_->Name = L"mmoOrphan";
  BoxAnswerer watcher;
  auto second = std::make_unique<TestLog>(nullptr);
  const std::vector<MessageBoxInfo> boxes = watcher.Stop();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"AppLog already assigned to ctrl mmoOrphan\r\n in form: ");
  second.reset();
  EXPECT_EQ(AppLog, nullptr);
}

TEST_F(RichLog, NoBoxWhileTheOwnerIsLoading) {
  tk::TComponent loadingForm(nullptr);
  loadingForm.SetLoading(true);
  BoxAnswerer watcher;
  auto* second = new TestLog(&loadingForm);  // owned and freed by loadingForm
  EXPECT_TRUE(watcher.Stop().empty());
  EXPECT_EQ(AppLog, second);
  log_.reset();
  EXPECT_EQ(AppLog, nullptr);
}

}  // namespace
