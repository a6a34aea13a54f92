#include "RichEdit.h"

#include <richedit.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "Errors.h"
#include "Text.h"
#include "SystemLibrary.h"

namespace {

constexpr wchar_t kRichEditClass[] = L"RICHEDIT50W";
constexpr unsigned kStyleMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;

void LoadRichEditLibrary() {
  if (!tk::SystemLibrary(L"msftedit.dll"))
    throw tk::Exception(L"The rich edit control (msftedit.dll) is not available.");
}

LRESULT Send(HWND edit, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
  return ::SendMessageW(edit, msg, wParam, lParam);
}

CHARFORMAT2W GetSelFormat(HWND edit) {
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  Send(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return format;
}

void SetSelFormat(HWND edit, CHARFORMAT2W format) {
  format.cbSize = sizeof(format);
  Send(edit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

void SelectRange(HWND edit, int start, int end) {
  CHARRANGE range{start, end};
  Send(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

// A position past the end is clamped to the end without finding a character offset first.
void SelectEndOf(HWND edit) { SelectRange(edit, 0x7FFFFFFF, 0x7FFFFFFF); }

unsigned StyleFromEffects(DWORD effects) {
  return ((effects & CFE_BOLD) ? fsBold : 0u) | ((effects & CFE_ITALIC) ? fsItalic : 0u) |
         ((effects & CFE_UNDERLINE) ? fsUnderline : 0u) |
         ((effects & CFE_STRIKEOUT) ? fsStrikeOut : 0u);
}

DWORD EffectsFromStyle(unsigned style) {
  return ((style & fsBold) ? CFE_BOLD : 0u) | ((style & fsItalic) ? CFE_ITALIC : 0u) |
         ((style & fsUnderline) ? CFE_UNDERLINE : 0u) |
         ((style & fsStrikeOut) ? CFE_STRIKEOUT : 0u);
}

// Changing the content must not move the view: only an explicit scroll request does that.
class ScrollKeeper {
 public:
  explicit ScrollKeeper(HWND edit) : edit_(edit) {
    Send(edit_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&pos_));
  }
  ~ScrollKeeper() { Send(edit_, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&pos_)); }
  ScrollKeeper(const ScrollKeeper&) = delete;
  ScrollKeeper& operator=(const ScrollKeeper&) = delete;

 private:
  HWND edit_;
  POINT pos_{};
};

DWORD CALLBACK StreamOutToString(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* written) {
  reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<const char*>(buffer),
                                                 static_cast<size_t>(count));
  *written = count;
  return 0;
}

struct StreamSource {
  const char* data;
  size_t size;
  size_t pos = 0;
};

DWORD CALLBACK StreamInFromMemory(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* read) {
  auto* source = reinterpret_cast<StreamSource*>(cookie);
  size_t n = std::min(static_cast<size_t>(count), source->size - source->pos);
  std::memcpy(buffer, source->data + source->pos, n);
  source->pos += n;
  *read = static_cast<LONG>(n);
  return 0;
}

// The error code the control reported, 0 when the stream was taken in whole.
DWORD StreamIn(HWND edit, WPARAM format, const char* data, size_t size) {
  StreamSource source{data, size};
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, StreamInFromMemory};
  Send(edit, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
  return stream.dwError;
}

}  // namespace

// --- TRichEditLines ---

int TRichEditLines::Count() const {
  int lines = edit_.LineCount();
  // The paragraph after the last row's mark is where the next row will go; it is not a row.
  if (lines > 0 && edit_.LineLength(lines - 1) == 0) --lines;
  return lines;
}

std::wstring TRichEditLines::Strings(int index) const {
  if (index < 0 || index >= Count())
    throw tk::ERangeError(L"List index out of bounds (" + tk::DecimalText(index) + L")");
  int start = edit_.LineStart(index);
  return edit_.TextRange(start, start + edit_.LineLength(index));
}

void TRichEditLines::Put(int index, const std::wstring& text) {
  if (index < 0 || index >= Count())
    throw tk::ERangeError(L"List index out of bounds (" + tk::DecimalText(index) + L")");
  int start = edit_.LineStart(index);
  edit_.ReplaceRange(start, start + edit_.LineLength(index), text);
}

void TRichEditLines::Delete(int index) {
  if (index < 0 || index >= Count())
    throw tk::ERangeError(L"List index out of bounds (" + tk::DecimalText(index) + L")");
  int start = edit_.LineStart(index);
  int end = edit_.LineStart(index + 1);
  if (end < 0) {
    // A last row without its own paragraph mark: take the mark before it instead.
    end = edit_.TextLength();
    if (start > 0) --start;
  }
  edit_.ReplaceRange(start, end, L"");
}

int TRichEditLines::Add(const std::wstring& text) {
  // A row of one line for the control's own window waits to go in with the rows after it.
  const std::wstring line = text.substr(0, text.find(L'\0'));
  if (edit_.HandleAllocated() && line.find_first_of(L"\r\n") == std::wstring::npos)
    return edit_.DeferRow(line);
  // Constant work per row whatever the length of the content: the end is found from the
  // control's own length and only the character before it is read, so a long log grows in
  // linear time.
  HWND edit = edit_.EditHandle();
  CHARFORMAT2W format = GetSelFormat(edit);
  format.dwMask = CFM_COLOR | kStyleMask;
  const bool needsMark = edit_.LastRowIsOpen();
  TRichEditUpdate update(edit_);
  ScrollKeeper keep(edit);
  SelectEndOf(edit);
  SetSelFormat(edit, format);
  std::wstring row = (needsMark ? L"\r" : L"") + text + L"\r";
  Send(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(row.c_str()));
  // The insertion point keeps the format, so the next row added here looks the same.
  SetSelFormat(edit, format);
  return edit_.LineCount() - 2;
}

void TRichEditLines::Clear() { edit_.Clear(); }

std::wstring TRichEditLines::Text() const {
  std::wstring text = edit_.PlainText();
  if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, L"\r\n") != 0))
    text += L"\r\n";
  return text;
}

// --- TRichEditUpdate ---

TRichEditUpdate::TRichEditUpdate(TRichEdit& edit) : edit_(edit) { edit_.BeginUpdate(); }

TRichEditUpdate::~TRichEditUpdate() { edit_.EndUpdate(); }

// --- TRichEdit ---

TRichEdit::TRichEdit(TComponent* owner) : TWinControl(owner) {}

TRichEdit::~TRichEdit() = default;

void TRichEdit::FillCreateParams(CreateParams& params) {
  LoadRichEditLibrary();
  params.ClassName = kRichEditClass;
  params.Style = WS_CHILD | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN |
                 (wordWrap_ ? 0 : ES_AUTOHSCROLL) |
                 ((scrollBars_ == ssVertical || scrollBars_ == ssBoth) ? WS_VSCROLL : 0) |
                 ((scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) ? WS_HSCROLL : 0);
  params.ExStyle = WS_EX_CLIENTEDGE;
}

void TRichEdit::CreateWnd() {
  ApplySettings(Handle());
  MoveStandInContent();
}

void TRichEdit::ApplySettings(HWND edit) const {
  if (maxLength_ > 0) Send(edit, EM_EXLIMITTEXT, 0, maxLength_);
  // A line width of 1 with no device means "do not wrap"; 0 wraps at the window's edge.
  Send(edit, EM_SETTARGETDEVICE, 0, wordWrap_ ? 0 : 1);
  if (Color() != clDefault) Send(edit, EM_SETBKGNDCOLOR, 0, ColorToRGB(Color()));
}

void TRichEdit::MoveStandInContent() {
  if (!standIn_) return;
  std::string rtf;
  EDITSTREAM out{reinterpret_cast<DWORD_PTR>(&rtf), 0, StreamOutToString};
  Send(standIn_.get(), EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&out));
  standIn_.reset();
  if (out.dwError != 0 || StreamIn(Handle(), SF_RTF, rtf.data(), rtf.size()) != 0)
    throw tk::EInOutError(L"The content of " + Name + L" could not be moved into its window.");
  // The rows keep their colours and styles but take the face and size of the control's font.
  CHARFORMAT2W font{};
  font.cbSize = sizeof(font);
  Send(Handle(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&font));
  font.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET;
  Send(Handle(), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&font));
  // Streaming leaves the caret, and with it the view, at the end of the last row; a pane that
  // opens must show its rows from their first character.
  SelectRange(Handle(), 0, 0);
  POINT origin{};
  Send(Handle(), EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&origin));
}

HWND TRichEdit::EditHandle() const {
  if (HandleAllocated()) {
    FlushPendingRows();
    return Handle();
  }
  if (!standIn_) {
    LoadRichEditLibrary();
    HWND edit = ::CreateWindowExW(0, kRichEditClass, L"",
                                  WS_POPUP | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 0, 0,
                                  400, 300, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!edit) throw tk::Exception(L"Cannot create the window of " + Name);
    standIn_.reset(edit);
    // Without a font of its own the control writes in the system font, which is bold, and a row
    // keeps its weight when it moves into the window: the stand-in writes regular text.
    Send(edit, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    ApplySettings(edit);
  }
  return standIn_.get();
}

void TRichEdit::BeginUpdate() {
  ++updateCount_;
  HoldDrawing();
}

void TRichEdit::EndUpdate() {
  if (updateCount_ == 0) return;
  --updateCount_;
  ResumeDrawing();
}

// Some implementations of the control paint after every single change, which makes a burst of
// rows cost a repaint each; with drawing held, the burst is painted once at the end.
void TRichEdit::HoldDrawing() const {
  if (drawingHeld_ || !HandleAllocated()) return;
  if (!(::GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_VISIBLE)) return;
  Send(Handle(), WM_SETREDRAW, FALSE);
  drawingHeld_ = true;
}

// Painting resumes once no update is under way and no row waits to go in.
void TRichEdit::ResumeDrawing() const {
  if (!drawingHeld_ || updateCount_ > 0 || Deferring() || !HandleAllocated()) return;
  drawingHeld_ = false;
  Send(Handle(), WM_SETREDRAW, TRUE);
  ::RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

void TRichEdit::Clear() {
  TRichEditUpdate update(*this);
  ::SetWindowTextW(EditHandle(), L"");
}

void TRichEdit::SelectAll() { SelectRange(EditHandle(), 0, -1); }

void TRichEdit::CopyToClipboard() { Send(EditHandle(), WM_COPY); }

TColor TRichEdit::SelColor() const {
  if (Deferring()) return pendingAutoColor_ ? ColorToRGB(clWindowText) : pendingColor_;
  CHARFORMAT2W format = GetSelFormat(EditHandle());
  if (format.dwEffects & CFE_AUTOCOLOR) return ColorToRGB(clWindowText);
  return format.crTextColor;
}

void TRichEdit::SetSelColor(TColor color) {
  if (Deferring()) {
    pendingColor_ = ColorToRGB(color);
    pendingAutoColor_ = false;
    return;
  }
  CHARFORMAT2W format{};
  format.dwMask = CFM_COLOR;
  format.crTextColor = ColorToRGB(color);
  SetSelFormat(EditHandle(), format);
}

unsigned TRichEdit::SelStyle() const {
  if (Deferring()) return pendingStyle_;
  return StyleFromEffects(GetSelFormat(EditHandle()).dwEffects);
}

void TRichEdit::SetSelStyle(unsigned style) {
  if (Deferring()) {
    pendingStyle_ = style & (fsBold | fsItalic | fsUnderline | fsStrikeOut);
    return;
  }
  CHARFORMAT2W format{};
  format.dwMask = kStyleMask;
  format.dwEffects = EffectsFromStyle(style);
  SetSelFormat(EditHandle(), format);
}

void TRichEdit::SetSel(int start, int end) { SelectRange(EditHandle(), start, end); }

void TRichEdit::SelectEnd() {
  // A pending row leaves the insertion point at the end already.
  if (Deferring()) return;
  HWND edit = EditHandle();
  ScrollKeeper keep(edit);
  SelectEndOf(edit);
}

bool TRichEdit::LastRowIsOpen() const {
  const int end = TextLength();
  return end > 0 && TextRange(end - 1, end) != L"\r";
}

int TRichEdit::TextLength() const {
  GETTEXTLENGTHEX query{GTL_PRECISE | GTL_NUMCHARS, 1200};
  return static_cast<int>(Send(EditHandle(), EM_GETTEXTLENGTHEX,
                               reinterpret_cast<WPARAM>(&query), 0));
}

int TRichEdit::LineCount() const { return static_cast<int>(Send(EditHandle(), EM_GETLINECOUNT)); }

int TRichEdit::LineStart(int line) const {
  return static_cast<int>(Send(EditHandle(), EM_LINEINDEX, static_cast<WPARAM>(line)));
}

int TRichEdit::LineLength(int line) const {
  int start = LineStart(line);
  if (start < 0) return 0;
  return static_cast<int>(Send(EditHandle(), EM_LINELENGTH, static_cast<WPARAM>(start)));
}

std::wstring TRichEdit::TextRange(int start, int end) const {
  if (end <= start) return L"";
  std::wstring text(static_cast<size_t>(end - start) + 1, L'\0');
  TEXTRANGEW range{{start, end}, text.data()};
  LRESULT got = Send(EditHandle(), EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  text.resize(static_cast<size_t>(std::max<LRESULT>(got, 0)));
  return text;
}

void TRichEdit::ReplaceRange(int start, int end, const std::wstring& text) {
  HWND edit = EditHandle();
  TRichEditUpdate update(*this);
  ScrollKeeper keep(edit);
  SelectRange(edit, start, end);
  Send(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring TRichEdit::PlainText() const {
  HWND edit = EditHandle();
  GETTEXTLENGTHEX query{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
  LRESULT length = Send(edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0);
  if (length <= 0) return L"";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GETTEXTEX get{};
  get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  get.flags = GT_USECRLF;
  get.codepage = 1200;
  LRESULT got = Send(edit, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                     reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::max<LRESULT>(got, 0)));
  return text;
}

std::string TRichEdit::SaveRtfToString() const {
  std::string rtf;
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&rtf), 0, StreamOutToString};
  Send(EditHandle(), EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  if (stream.dwError != 0 || rtf.empty())
    throw tk::EInOutError(L"The content of " + Name + L" could not be rendered as rich text.");
  return rtf;
}

bool TRichEdit::LoadRtfFromString(const std::string& rtf) {
  TRichEditUpdate update(*this);
  return StreamIn(EditHandle(), SF_RTF, rtf.data(), rtf.size()) == 0;
}

void TRichEdit::LoadPlainText(const std::wstring& text) {
  TRichEditUpdate update(*this);
  if (StreamIn(EditHandle(), SF_TEXT | SF_UNICODE, reinterpret_cast<const char*>(text.data()),
               text.size() * sizeof(wchar_t)) != 0)
    throw tk::EInOutError(L"The text could not be loaded into " + Name + L".");
}

void TRichEdit::ScrollToLastRow() {
  HWND edit = EditHandle();
  POINT before{};
  Send(edit, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&before));
  Send(edit, WM_VSCROLL, SB_BOTTOM);
  // Some implementations of the control also scroll to the widest row's end; a pane without
  // word wrap would then open in the middle of its rows.
  POINT after{};
  Send(edit, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&after));
  if (after.x != before.x) {
    after.x = before.x;
    Send(edit, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&after));
  }
}

// --- rows waiting to go in ---

namespace {

// Posted to the control's own window so that pending rows go in once the loop comes round.
constexpr UINT kFlushPendingRows = WM_APP + 0x2A5;

CHARFORMAT2W RowFormat(COLORREF color, bool autoColor, unsigned style) {
  CHARFORMAT2W format{};
  format.dwMask = CFM_COLOR | kStyleMask;
  format.dwEffects = EffectsFromStyle(style) | (autoColor ? CFE_AUTOCOLOR : 0u);
  format.crTextColor = color;
  return format;
}

// A control word with its number, such as \cf2 or \u-1234.
void AppendWord(std::string& out, const char* word, long value) {
  out += word;
  tk::AppendDecimal(out, value);
}

}  // namespace

int TRichEdit::DeferRow(const std::wstring& row) {
  HWND edit = Handle();
  if (!Deferring()) {
    pendingBase_ = lines_.Count();
    // The row takes the insertion point's format, as one appended at once would.
    const CHARFORMAT2W format = GetSelFormat(edit);
    pendingAutoColor_ = (format.dwEffects & CFE_AUTOCOLOR) != 0;
    pendingColor_ = format.crTextColor;
    pendingStyle_ = StyleFromEffects(format.dwEffects);
    HoldDrawing();
  }
  pending_.push_back(PendingRow{row, pendingColor_, pendingAutoColor_, pendingStyle_});
  if (!flushPosted_) flushPosted_ = ::PostMessageW(edit, kFlushPendingRows, 0, 0) != FALSE;
  return pendingBase_ + static_cast<int>(pending_.size()) - 1;
}

// Does nothing unless rows wait, and nothing while they are going in.
void TRichEdit::FlushPendingRows() const {
  if (!Deferring() || flushing_ || !HandleAllocated()) return;
  flushing_ = true;
  tk::ScopeExit done([this] { flushing_ = false; });
  std::vector<PendingRow> rows;
  rows.swap(pending_);
  HWND edit = Handle();
  {
    ScrollKeeper keep(edit);
    SelectEndOf(edit);
    const std::string rtf = RowsAsRtf(rows, LastRowIsOpen());
    if (StreamIn(edit, SF_RTF | SFF_SELECTION, rtf.data(), rtf.size()) != 0)
      AppendRowsNow(edit, rows);
    // The insertion point keeps the last row's format, so the next row looks the same.
    SetSelFormat(edit, RowFormat(pendingColor_, pendingAutoColor_, pendingStyle_));
  }
  ResumeDrawing();
}

// Rows as a rich-text fragment for the end of the content: each row a paragraph in its own colour
// and style; the font is left to the insertion point, as for a row typed there.
std::string TRichEdit::RowsAsRtf(const std::vector<PendingRow>& rows, bool startNewParagraph) {
  std::vector<COLORREF> colors;
  std::string body = startNewParagraph ? "\\par " : "";
  static const char* const kOn[] = {"\\b", "\\i", "\\ul", "\\strike"};
  static const char* const kOff[] = {"\\b0", "\\i0", "\\ulnone", "\\strike0"};
  static const unsigned kBits[] = {fsBold, fsItalic, fsUnderline, fsStrikeOut};
  for (const PendingRow& row : rows) {
    size_t color = 0;
    if (!row.autoColor) {
      while (color < colors.size() && colors[color] != row.color) ++color;
      if (color == colors.size()) colors.push_back(row.color);
      ++color;
    }
    AppendWord(body, "\\cf", static_cast<long>(color));
    for (int i = 0; i < 4; ++i) body += (row.style & kBits[i]) ? kOn[i] : kOff[i];
    body += ' ';
    for (wchar_t c : row.text) {
      if (c == L'\\' || c == L'{' || c == L'}') {
        body += '\\';
        body += static_cast<char>(c);
      } else if (c >= 0x20 && c < 0x80) {
        body += static_cast<char>(c);
      } else {
        // Every other character by its UTF-16 code, with a question mark for old readers.
        AppendWord(body, "\\u", static_cast<int16_t>(c));
        body += '?';
      }
    }
    body += "\\par\n";
  }
  std::string rtf = "{\\rtf1\\ansi\\uc1{\\colortbl;";
  for (COLORREF color : colors) {
    AppendWord(rtf, "\\red", GetRValue(color));
    AppendWord(rtf, "\\green", GetGValue(color));
    AppendWord(rtf, "\\blue", GetBValue(color));
    rtf += ';';
  }
  return rtf + "}" + body + "}";
}

// The slow way, one message per row: for a stream the control did not take.
void TRichEdit::AppendRowsNow(HWND edit, const std::vector<PendingRow>& rows) const {
  for (const PendingRow& row : rows) {
    SelectEndOf(edit);
    SetSelFormat(edit, RowFormat(row.color, row.autoColor, row.style));
    const std::wstring text = (LastRowIsOpen() ? L"\r" : L"") + row.text + L"\r";
    Send(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

LRESULT TRichEdit::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kFlushPendingRows) {
    flushPosted_ = false;
    FlushPendingRows();
    return 0;
  }
  // Whoever asks the window anything, this program or another, sees the rows in place.
  FlushPendingRows();
  return TWinControl::WndProc(msg, wParam, lParam);
}

void TRichEdit::SetScrollBars(TScrollStyle value) { scrollBars_ = value; }

void TRichEdit::SetMaxLength(int value) {
  maxLength_ = value;
  if (standIn_) ApplySettings(standIn_.get());
  if (HandleAllocated()) ApplySettings(Handle());
}

void TRichEdit::SetWordWrap(bool value) {
  wordWrap_ = value;
  if (standIn_) ApplySettings(standIn_.get());
  if (HandleAllocated()) ApplySettings(Handle());
}
