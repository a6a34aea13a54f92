#include "OrvexCommonControls/cvRichLog.h"

#include <memory>

#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/SysError.h"
#include "toolkit/Text.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/ccStringList.h"

TRichLog* AppLog = nullptr;

namespace {

constexpr int kMaxLength = 0x7FFFFFF0;

std::wstring LocalShortDate(const SYSTEMTIME& now) {
  wchar_t buffer[128] = {};
  int length = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, buffer,
                                 128, nullptr);
  return length > 0 ? std::wstring(buffer, static_cast<size_t>(length - 1)) : L"";
}

std::wstring LocalLongTime(const SYSTEMTIME& now) {
  wchar_t buffer[128] = {};
  int length = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &now, nullptr, buffer, 128);
  return length > 0 ? std::wstring(buffer, static_cast<size_t>(length - 1)) : L"";
}

std::wstring Today() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return LocalShortDate(now);
}

// Switches the date and time stamps off for one scope.
class StampsOff {
 public:
  StampsOff(TRichLog& log) : log_(log), date_(log.InsertDate()), time_(log.InsertTime()) {
    log_.SetInsertDate(false);
    log_.SetInsertTime(false);
  }
  ~StampsOff() {
    log_.SetInsertDate(date_);
    log_.SetInsertTime(time_);
  }
  StampsOff(const StampsOff&) = delete;
  StampsOff& operator=(const StampsOff&) = delete;

 private:
  TRichLog& log_;
  bool date_, time_;
};

std::string ReadWholeFile(const std::wstring& path) {
  tk::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    throw tk::EFOpenError(tk::FileErrorText(L"Cannot open file", path, ::GetLastError()));
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFF0)
    throw tk::EInOutError(L"Cannot read file \"" + path + L"\".");
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    throw tk::EInOutError(tk::FileErrorText(L"Cannot read file", path, ::GetLastError()));
  }
  return bytes;
}

}  // namespace

TRichLog::TRichLog(tk::TComponent* owner) : tk::TRichEdit(owner) {
  SetScrollBars(tk::ssBoth);
  SetMaxLength(kMaxLength);
  SetWordWrap(false);
  if (AppLog && !Loading()) {
    std::wstring form = AppLog->Parent() ? AppLog->Parent()->Name : L"";
    MesajError(L"AppLog already assigned to ctrl " + AppLog->Name + L"\r\n in form: " + form);
  }
  AppLog = this;
}

TRichLog::~TRichLog() {
  AppLog = nullptr;
}

int TRichLog::VerbosityAsInt() const {
  return LogVerbToInt(FVerbosity);
}

void TRichLog::SetVerbosityAsInt(int value) {
  FVerbosity = LogVerbFromInt(value);
}

void TRichLog::AddColorMsg(const std::wstring& Mesaj, tk::TColor Culoare) {
  tk::TRichEditUpdate update(*this);
  const unsigned style = SelStyle();
  tk::TStringList lines;
  lines.SetText(ReplaceChar(Mesaj, L'\0', L' '));
  for (int i = 0; i < lines.Count(); ++i) {
    std::wstring line = lines[i];
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    if (FInsertTime) line = LocalLongTime(now) + L"  " + line;
    if (FInsertDate) line = LocalShortDate(now) + L" " + line;
    if (Indent > 0) line.insert(0, static_cast<size_t>(Indent), L' ');
    SelectEnd();
    SetSelColor(Culoare);
    // Moving the caret gives it the style of the text before it; the row keeps the one it had.
    SetSelStyle(style);
    AddLineFlat(line);
  }
  if (lines.Count() > 0) SetSelStyle(style);
  if (FAutoScroll) ScrollToBottom();
}

void TRichLog::AddMsg(const std::wstring& Mesaj) {
  AddColorMsg(Mesaj, clLogInfo);
}

void TRichLog::AddBold(const std::wstring& Mesaj) {
  tk::TRichEditUpdate update(*this);
  // Bold goes to the insertion point at the end, never to text the user may have selected.
  SelectEnd();
  SetSelStyle(tk::fsBold);
  AddColorMsg(Mesaj, clLogInfo);
  SetSelStyle(0);
}

void TRichLog::AddLevelled(const std::wstring& Mesaj, TLogVerb level, tk::TColor color) {
  if (!Mesaj.empty() && FVerbosity <= level) AddColorMsg(Mesaj, color);
}

void TRichLog::AddMsgLvl(const std::wstring& Mesaj, TLogVerb MsgType) {
  switch (MsgType) {
    case lvVerbose:
      AddVerb(Mesaj);
      break;
    case lvHints:
      AddHint(Mesaj);
      break;
    case lvInfos:
      AddInfo(Mesaj);
      break;
    case lvImportant:
      AddImpo(Mesaj);
      break;
    case lvWarnings:
      AddWarn(Mesaj);
      break;
    case lvErrors:
      AddError(Mesaj);
      break;
  }
}

void TRichLog::AddVerb(const std::wstring& Mesaj) {
  AddLevelled(Mesaj, lvVerbose, clLogVerbose);
}
void TRichLog::AddHint(const std::wstring& Mesaj) {
  AddLevelled(Mesaj, lvHints, clLogHint);
}
void TRichLog::AddInfo(const std::wstring& Mesaj) {
  AddLevelled(Mesaj, lvInfos, clLogInfo);
}
void TRichLog::AddImpo(const std::wstring& Mesaj) {
  AddLevelled(Mesaj, lvImportant, clLogImportant);
}

void TRichLog::AddWarn(const std::wstring& Mesaj) {
  AddLevelled(Mesaj, lvWarnings, clLogWarning);
  if (OnWarn) OnWarn(this);
}

void TRichLog::AddError(const std::wstring& Mesaj) {
  AddLevelled(Mesaj, lvErrors, clLogError);
  if (OnError) OnError(this);
}

void TRichLog::AddInteger(int i) {
  AddInfo(tk::DecimalText(i));
}

void TRichLog::AddMsgInt(const std::wstring& Mesaj, int i) {
  AddInfo(Mesaj + tk::DecimalText(i));
}

void TRichLog::AddEmptyRow() {
  StampsOff plain(*this);
  AddMsg(L" ");
}

void TRichLog::AddDateStamp() {
  StampsOff plain(*this);
  AddColorMsg(Today(), clLogInfo);
}

void TRichLog::AddFromFile(const std::wstring& FileName, TLogVerb MsgType) {
  std::unique_ptr<TTSL> lines(StringFromFileTSL(FileName));
  for (int i = 0; i < lines->Count(); ++i) AddMsgLvl((*lines)[i], MsgType);
}

void TRichLog::AddLineFlat(const std::wstring& line) {
  AddRawLine(ReplaceEnters(line, L" "));
}

void TRichLog::AddRawLine(std::wstring line) {
  ReplaceCharInPlace(line, L'\0', L' ');
  Lines().Add(line);
}

void TRichLog::ScrollToBottom() {
  // One queued request serves a whole burst of rows.
  if (!HandleAllocated() || scrollPending_) return;
  scrollPending_ = ::PostMessageW(Handle(), WM_VSCROLL, SB_BOTTOM, 0) != FALSE;
}

LRESULT TRichLog::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_VSCROLL && LOWORD(wParam) == SB_BOTTOM && scrollPending_) {
    // The queued request arrives: scroll now, down only.
    scrollPending_ = false;
    ScrollToLastRow();
    return 0;
  }
  return tk::TRichEdit::WndProc(msg, wParam, lParam);
}

void TRichLog::SaveAsRtf(const std::wstring& FullPath) {
  // Our own writing rather than the control's: some controls write a character their code page
  // lacks as a look-alike (another folder's name), and in high contrast every row would be saved
  // in the scheme's text colour.
  WriteFileWhole(FullPath, RowsAsRtf());
}

void TRichLog::AppendToFile(const std::wstring& FullPath) {
  StringToFile(FullPath, Lines().Text(), false, false);
}

bool TRichLog::LoadFromFile(const std::wstring& FullPath) {
  if (!IsFile(FullPath)) return false;
  const std::string bytes = ReadWholeFile(FullPath);
  const std::string before = SaveRtfToString();
  if (LoadRtfFromString(bytes)) return true;
  try {
    LoadPlainText(tk::TextFromBytes(bytes));
  } catch (...) {
    LoadRtfFromString(before);
    throw;
  }
  return true;
}

void TRichLog::RemoveLastEmptyRows() {
  for (int i = Lines().Count() - 1; i >= 0 && Lines()[i].empty(); --i) Lines().Delete(i);
}

void TRichLog::CopyAll() {
  SelectAll();
  CopyToClipboard();
}
