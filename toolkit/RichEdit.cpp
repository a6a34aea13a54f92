#include "toolkit/RichEdit.h"

#include <oleacc.h>

#include <richedit.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "toolkit/Errors.h"
#include "toolkit/StringList.h"
#include "toolkit/Text.h"
#include "toolkit/SystemLibrary.h"

namespace tk {

namespace {

constexpr wchar_t kRichEditClass[] = L"RICHEDIT50W";
constexpr unsigned kStyleMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;

void LoadRichEditLibrary() {
  if (!SystemLibrary(L"msftedit.dll"))
    throw Exception(L"The rich edit control (msftedit.dll) is not available.");
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
void SelectEndOf(HWND edit) {
  SelectRange(edit, 0x7FFFFFFF, 0x7FFFFFFF);
}

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

// The content as rich text; empty when the control reported an error.
std::string StreamOutRtf(HWND edit) {
  std::string rtf;
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&rtf), 0, StreamOutToString};
  Send(edit, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  if (stream.dwError != 0) rtf.clear();
  return rtf;
}

int TextLengthOf(HWND edit) {
  GETTEXTLENGTHEX query{GTL_PRECISE | GTL_NUMCHARS, 1200};
  return static_cast<int>(Send(edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0));
}

std::wstring TextRangeOf(HWND edit, int start, int end) {
  if (end <= start) return L"";
  std::wstring text(static_cast<size_t>(end - start) + 1, L'\0');
  TEXTRANGEW range{{start, end}, text.data()};
  LRESULT got = Send(edit, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  text.resize(static_cast<size_t>(std::max<LRESULT>(got, 0)));
  return text;
}

int LineCountOf(HWND edit) {
  return static_cast<int>(Send(edit, EM_GETLINECOUNT));
}

int LineStartOf(HWND edit, int line) {
  return static_cast<int>(Send(edit, EM_LINEINDEX, static_cast<WPARAM>(line)));
}

int LineLengthOf(HWND edit, int line) {
  const int start = LineStartOf(edit, line);
  if (start < 0) return 0;
  return static_cast<int>(Send(edit, EM_LINELENGTH, static_cast<WPARAM>(start)));
}

// The text does not end in a paragraph mark, so a row appended must start with one.
bool LastRowIsOpen(HWND edit) {
  const int end = TextLengthOf(edit);
  return end > 0 && TextRangeOf(edit, end - 1, end) != L"\r";
}

std::wstring PlainTextOf(HWND edit) {
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

void CheckRowIndex(int index, int count) {
  if (index < 0 || index >= count)
    throw ERangeError(L"List index out of bounds (" + DecimalText(index) + L")");
}

// Posted to the control's own window so that waiting rows go in once the loop comes round.
constexpr UINT kMoveWaitingRowsIn = WM_APP + 0x2A5;

CHARFORMAT2W RowFormat(const TRowFormat& row) {
  CHARFORMAT2W format{};
  format.dwMask = CFM_COLOR | kStyleMask;
  format.dwEffects = EffectsFromStyle(row.Style) | (row.AutoColor ? CFE_AUTOCOLOR : 0u);
  format.crTextColor = row.Color;
  return format;
}

TRowFormat FormatOf(const CHARFORMAT2W& format) {
  return TRowFormat{format.crTextColor, (format.dwEffects & CFE_AUTOCOLOR) != 0,
                    StyleFromEffects(format.dwEffects)};
}

// A control word with its number, such as \cf2 or \u-1234.
void AppendWord(std::string& out, const char* word, long value) {
  out += word;
  AppendDecimal(out, value);
}

// Text as rich text keeps every character: printable ASCII as it is (\, { and } escaped), every
// other character, control characters included, by its UTF-16 code with '?' for old readers, in
// a group of its own (some readers lose the rest of the word after a \u in running text).
void AppendRtfText(std::string& out, std::wstring_view text) {
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'{' || c == L'}') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      AppendWord(out, "{\\u", static_cast<int16_t>(c));
      out += "?}";
    }
  }
}

// The rows as rich text, each a paragraph in its own colour and style; `head` comes after the
// colour table (a font for a whole document; none for rows that take the insertion point's).
std::string RtfOf(const std::vector<TRichRow>& rows, bool startNewParagraph,
                  const std::string& fonts, const std::string& head) {
  std::vector<COLORREF> colors;
  std::string body = startNewParagraph ? "\\par " : "";
  static const char* const kOn[] = {"\\b", "\\i", "\\ul", "\\strike"};
  static const char* const kOff[] = {"\\b0", "\\i0", "\\ulnone", "\\strike0"};
  static const unsigned kBits[] = {fsBold, fsItalic, fsUnderline, fsStrikeOut};
  for (const TRichRow& row : rows) {
    size_t color = 0;
    if (!row.Format.AutoColor) {
      while (color < colors.size() && colors[color] != row.Format.Color) ++color;
      if (color == colors.size()) colors.push_back(row.Format.Color);
      ++color;
    }
    AppendWord(body, "\\cf", static_cast<long>(color));
    for (int i = 0; i < 4; ++i) body += (row.Format.Style & kBits[i]) ? kOn[i] : kOff[i];
    body += ' ';
    AppendRtfText(body, row.Text);
    body += "\\par\n";
  }
  std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1" + fonts + "{\\colortbl;";
  for (COLORREF color : colors) {
    AppendWord(rtf, "\\red", GetRValue(color));
    AppendWord(rtf, "\\green", GetGValue(color));
    AppendWord(rtf, "\\blue", GetBValue(color));
    rtf += ';';
  }
  return rtf + "}" + head + body + "}";
}

}  // namespace

// --- TRichEditLines ---

int TRichEditLines::Count() {
  HWND edit = edit_.ContentWindow();
  int lines = LineCountOf(edit);
  // The paragraph after the last row's mark is where the next row will go; it is not a row.
  if (lines > 0 && LineLengthOf(edit, lines - 1) == 0) --lines;
  return lines;
}

std::wstring TRichEditLines::Strings(int index) {
  CheckRowIndex(index, Count());
  HWND edit = edit_.ContentWindow();
  const int start = LineStartOf(edit, index);
  return TextRangeOf(edit, start, start + LineLengthOf(edit, index));
}

void TRichEditLines::Put(int index, const std::wstring& text) {
  CheckRowIndex(index, Count());
  HWND edit = edit_.ContentWindow();
  const int start = LineStartOf(edit, index);
  edit_.ReplaceRange(start, start + LineLengthOf(edit, index), text);
}

void TRichEditLines::Delete(int index) {
  CheckRowIndex(index, Count());
  auto& formats = edit_.rowFormats_;
  if (static_cast<size_t>(index) < formats.size()) formats.erase(formats.begin() + index);
  HWND edit = edit_.ContentWindow();
  int start = LineStartOf(edit, index);
  int end = LineStartOf(edit, index + 1);
  if (end < 0) {
    // A last row without its own paragraph mark: take the mark before it instead.
    end = TextLengthOf(edit);
    if (start > 0) --start;
  }
  edit_.ReplaceRange(start, end, L"");
}

int TRichEditLines::Add(const std::wstring& text) {
  const std::wstring line = text.substr(0, text.find(L'\0'));
  const TRowFormat written = edit_.NextRowFormat();
  if ((edit_.HandleAllocated() || !edit_.staging_.StandIn()) &&
      line.find_first_of(L"\r\n") == std::wstring::npos) {
    const int index = edit_.KeepRow(line);
    edit_.RecordRows(index, index + 1, written);
    return index;
  }
  const int before = Count();
  const int index = AddInWindow(text);
  edit_.RecordRows(before, Count(), written);
  return index;
}

int TRichEditLines::AddInWindow(const std::wstring& text) {
  // Constant work per row whatever the length of the content: the end is found from the
  // control's own length and only the character before it is read, so a long log grows in
  // linear time.
  HWND edit = edit_.ContentWindow();
  CHARFORMAT2W format = GetSelFormat(edit);
  format.dwMask = CFM_COLOR | kStyleMask;
  const bool needsMark = LastRowIsOpen(edit);
  TRichEditUpdate update(edit_);
  ScrollKeeper keep(edit);
  SelectEndOf(edit);
  SetSelFormat(edit, format);
  std::wstring row = (needsMark ? L"\r" : L"") + text + L"\r";
  Send(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(row.c_str()));
  // The insertion point keeps the format, so the next row added here looks the same.
  SetSelFormat(edit, format);
  return LineCountOf(edit) - 2;
}

void TRichEditLines::Clear() {
  edit_.Clear();
}

std::wstring TRichEditLines::Text() {
  std::wstring text = PlainTextOf(edit_.ContentWindow());
  if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, L"\r\n") != 0))
    text += L"\r\n";
  return text;
}

// --- TRichEditUpdate ---

TRichEditUpdate::TRichEditUpdate(TRichEdit& edit) : edit_(edit) {
  edit_.BeginUpdate();
}

TRichEditUpdate::~TRichEditUpdate() {
  edit_.EndUpdate();
}

// --- TRichEditStaging ---

HWND TRichEditStaging::CreateStandIn(const std::wstring& controlName) {
  LoadRichEditLibrary();
  HWND edit = ::CreateWindowExW(0, kRichEditClass, L"",
                                WS_POPUP | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 0, 0,
                                400, 300, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (!edit) throw Exception(L"Cannot create the window of " + controlName);
  standIn_.reset(edit);
  // Without a font of its own the control writes in the system font, which is bold, and a row
  // keeps its weight when it moves into the window: the stand-in writes regular text.
  Send(edit, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return edit;
}

bool TRichEditStaging::MoveStandInto(HWND window, const std::wstring& controlName) {
  if (!standIn_) return false;
  const std::string rtf = StreamOutRtf(standIn_.get());
  standIn_.reset();
  if (rtf.empty() || StreamIn(window, SF_RTF, rtf.data(), rtf.size()) != 0)
    throw EInOutError(L"The content of " + controlName + L" could not be moved into its window.");
  return true;
}

int TRichEditStaging::KeepRow(HWND window, int rowsInWindow, const std::wstring& row) {
  if (rows_.empty() && window) {
    base_ = rowsInWindow;
    // The row takes the insertion point's format, as one appended at once would.
    const CHARFORMAT2W format = GetSelFormat(window);
    autoColor_ = (format.dwEffects & CFE_AUTOCOLOR) != 0;
    color_ = format.crTextColor;
    style_ = StyleFromEffects(format.dwEffects);
  }
  rows_.push_back(TRichRow{row, TRowFormat{color_, autoColor_, style_}});
  return base_ + static_cast<int>(rows_.size()) - 1;
}

void TRichEditStaging::SetWaitingColor(COLORREF color) {
  color_ = color;
  autoColor_ = false;
}

void TRichEditStaging::SetWaitingStyle(unsigned style) {
  style_ = style & (fsBold | fsItalic | fsUnderline | fsStrikeOut);
}

void TRichEditStaging::MoveRowsInto(HWND window) {
  // Taken out first: the messages sent below reach the control, which asks for waiting rows.
  std::vector<TRichRow> rows;
  rows.swap(rows_);
  ScrollKeeper keep(window);
  SelectEndOf(window);
  if (!rows.empty()) {
    // The font is left to the insertion point, as for a row typed there.
    const std::string rtf = RtfOf(rows, LastRowIsOpen(window), "", "");
    if (StreamIn(window, SF_RTF | SFF_SELECTION, rtf.data(), rtf.size()) != 0)
      AppendRowsOneByOne(window, rows);
  }
  // The insertion point keeps the last row's format, so the next row looks the same; the stream
  // may leave the selection elsewhere (at the start, in an empty control).
  SelectEndOf(window);
  SetSelFormat(window, RowFormat(TRowFormat{color_, autoColor_, style_}));
}

// The slow way, one message per row: for a stream the control did not take.
void TRichEditStaging::AppendRowsOneByOne(HWND window, const std::vector<TRichRow>& rows) {
  for (const TRichRow& row : rows) {
    SelectEndOf(window);
    SetSelFormat(window, RowFormat(row.Format));
    const std::wstring text = (LastRowIsOpen(window) ? L"\r" : L"") + row.Text + L"\r";
    Send(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

// --- TRichEdit ---

TRichEdit::TRichEdit(TComponent* owner) : TWinControl(owner) {}

TRichEdit::~TRichEdit() = default;

void TRichEdit::FillCreateParams(CreateParams& params) {
  LoadRichEditLibrary();
  params.ClassName = kRichEditClass;
  params.Style = WS_CHILD | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL |
                 (readOnly_ ? ES_READONLY : ES_WANTRETURN) | (wordWrap_ ? 0 : ES_AUTOHSCROLL) |
                 ((scrollBars_ == ssVertical || scrollBars_ == ssBoth) ? WS_VSCROLL : 0) |
                 ((scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) ? WS_HSCROLL : 0);
  params.ExStyle = WS_EX_CLIENTEDGE;
}

void TRichEdit::CreateWnd() {
  ApplySettings(Handle());
  readyWindow_ = Handle();
  if (!staging_.MoveStandInto(Handle(), Name)) {
    // Rows written before the window go in at once, with one stream; the insertion point takes
    // the format they left.
    staging_.MoveRowsInto(Handle());
    ShowFromFirstRow();
    return;
  }
  // The rows keep their colours and styles but take the face and size of the control's font.
  CHARFORMAT2W font{};
  font.cbSize = sizeof(font);
  Send(Handle(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&font));
  font.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET;
  Send(Handle(), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&font));
  ShowFromFirstRow();
}

// Streaming leaves the caret, and with it the view, at the end of the last row; a pane that opens
// must show its rows from their first character.
void TRichEdit::ShowFromFirstRow() {
  SelectRange(Handle(), 0, 0);
  POINT origin{};
  Send(Handle(), EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&origin));
}

void TRichEdit::ApplySettings(HWND edit) const {
  if (maxLength_ > 0) Send(edit, EM_EXLIMITTEXT, 0, maxLength_);
  // A line width of 1 with no device means "do not wrap"; 0 wraps at the window's edge.
  Send(edit, EM_SETTARGETDEVICE, 0, wordWrap_ ? 0 : 1);
  // In high contrast the pane is the system's window, its rows in the system's window text.
  if (HighContrast())
    Send(edit, EM_SETBKGNDCOLOR, 1, 0);
  else if (Color() != clDefault)
    Send(edit, EM_SETBKGNDCOLOR, 0, ColorToRGB(Color()));
}

HWND TRichEdit::ContentWindow() {
  if (HandleAllocated()) {
    MoveWaitingRowsIn();
    return Handle();
  }
  if (!staging_.StandIn()) ApplySettings(staging_.CreateStandIn(Name));
  if (staging_.RowsWait()) staging_.MoveRowsInto(staging_.StandIn());
  return staging_.StandIn();
}

bool TRichEdit::Staged() const {
  return staging_.RowsWait() || (!HandleAllocated() && !staging_.StandIn());
}

void TRichEdit::MoveWaitingRowsIn() {
  // Not while the window is being made: its font, set then, would take the rows' styles away.
  if (!staging_.RowsWait() || !HandleAllocated() || readyWindow_ != Handle()) return;
  staging_.MoveRowsInto(Handle());
  ResumeDrawing();
}

int TRichEdit::KeepRow(const std::wstring& row) {
  const bool first = !staging_.RowsWait();
  // Without a window (and so without a stand-in) the control holds no rows yet.
  const int index =
      staging_.KeepRow(Handle(), first && HandleAllocated() ? lines_.Count() : 0, row);
  if (!HandleAllocated()) return index;
  if (first) HoldDrawing();
  if (!movePosted_) movePosted_ = ::PostMessageW(Handle(), kMoveWaitingRowsIn, 0, 0) != FALSE;
  return index;
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
void TRichEdit::HoldDrawing() {
  if (drawingHeld_ || !HandleAllocated()) return;
  if (!(::GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_VISIBLE)) return;
  Send(Handle(), WM_SETREDRAW, FALSE);
  drawingHeld_ = true;
}

// Painting resumes once no update is under way and no row waits to go in.
void TRichEdit::ResumeDrawing() {
  if (!drawingHeld_ || updateCount_ > 0 || staging_.RowsWait() || !HandleAllocated()) return;
  drawingHeld_ = false;
  Send(Handle(), WM_SETREDRAW, TRUE);
  ::RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

void TRichEdit::Clear() {
  TRichEditUpdate update(*this);
  ::SetWindowTextW(ContentWindow(), L"");
  rowFormats_.clear();
}

TRowFormat TRichEdit::NextRowFormat() {
  if (written_) return *written_;
  if (Staged()) return TRowFormat{staging_.WaitingColor(), false, staging_.WaitingStyle()};
  return FormatOf(GetSelFormat(ContentWindow()));
}

void TRichEdit::RecordRows(int from, int to, TRowFormat format) {
  rowFormats_.resize(static_cast<size_t>(std::max(from, 0)));
  rowFormats_.resize(static_cast<size_t>(std::max(to, from)), format);
}

void TRichEdit::RecordShownFormats() {
  const int count = lines_.Count();
  HWND edit = ContentWindow();
  ScrollKeeper keep(edit);
  rowFormats_.clear();
  for (int row = 0; row < count; ++row) {
    const int start = LineStartOf(edit, row);
    SelectRange(edit, start, start + 1);
    rowFormats_.push_back(FormatOf(GetSelFormat(edit)));
  }
  SelectEndOf(edit);
}

std::string TRichEdit::RowsAsRtf() {
  const int count = lines_.Count();
  // Content that changed behind the rows' back (typed into an editable control) is saved as shown.
  if (rowFormats_.size() != static_cast<size_t>(count)) RecordShownFormats();
  // Without word wrap every row is one paragraph: the whole text read once and cut at the
  // paragraph marks gives the rows, where reading them one by one takes a walk from the top each.
  // A row holding a line break of its own makes the counts differ: then they are read one by one.
  TStringList texts;
  if (!WordWrap()) texts.SetText(PlainTextOf(ContentWindow()));
  const bool whole = texts.Count() == count;
  std::vector<TRichRow> rows;
  for (int row = 0; row < count; ++row)
    rows.push_back(TRichRow{whole ? texts.Strings(row) : lines_.Strings(row),
                            rowFormats_[static_cast<size_t>(row)]});
  CHARFORMAT2W font{};
  font.cbSize = sizeof(font);
  Send(ContentWindow(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&font));
  std::string fonts = "{\\fonttbl{\\f0\\fnil ";
  AppendRtfText(fonts, font.szFaceName);
  fonts += ";}}";
  std::string head = "\\f0";
  // Half points: twips / 10.
  AppendWord(head, "\\fs", font.yHeight > 0 ? font.yHeight / 10 : 20);
  return RtfOf(rows, false, fonts, head + " ");
}

void TRichEdit::SelectAll() {
  SelectRange(ContentWindow(), 0, -1);
}

void TRichEdit::CopyToClipboard() {
  Send(ContentWindow(), WM_COPY);
}

TColor TRichEdit::SelColor() {
  if (Staged()) return staging_.WaitingColor();
  CHARFORMAT2W format = GetSelFormat(ContentWindow());
  if (format.dwEffects & CFE_AUTOCOLOR) return ColorToRGB(clWindowText);
  return format.crTextColor;
}

void TRichEdit::SetSelColor(TColor color) {
  TRowFormat written = NextRowFormat();
  written.Color = ColorToRGB(color);
  written.AutoColor = false;
  written_ = written;
  // High contrast shows the scheme's text colour; the row keeps its own for saving.
  if (HighContrast()) color = clWindowText;
  if (Staged()) {
    staging_.SetWaitingColor(ColorToRGB(color));
    return;
  }
  CHARFORMAT2W format{};
  format.dwMask = CFM_COLOR;
  format.crTextColor = ColorToRGB(color);
  SetSelFormat(ContentWindow(), format);
}

unsigned TRichEdit::SelStyle() {
  if (Staged()) return staging_.WaitingStyle();
  return StyleFromEffects(GetSelFormat(ContentWindow()).dwEffects);
}

void TRichEdit::SetSelStyle(unsigned style) {
  TRowFormat written = NextRowFormat();
  written.Style = style & (fsBold | fsItalic | fsUnderline | fsStrikeOut);
  written_ = written;
  if (Staged()) {
    staging_.SetWaitingStyle(style);
    return;
  }
  CHARFORMAT2W format{};
  format.dwMask = kStyleMask;
  format.dwEffects = EffectsFromStyle(style);
  SetSelFormat(ContentWindow(), format);
}

void TRichEdit::SetSel(int start, int end) {
  SelectRange(ContentWindow(), start, end);
}

void TRichEdit::SelectEnd() {
  // A waiting row leaves the insertion point at the end already.
  if (Staged()) return;
  HWND edit = ContentWindow();
  ScrollKeeper keep(edit);
  SelectEndOf(edit);
}

int TRichEdit::TextLength() {
  return TextLengthOf(ContentWindow());
}

void TRichEdit::ReplaceRange(int start, int end, const std::wstring& text) {
  HWND edit = ContentWindow();
  TRichEditUpdate update(*this);
  ScrollKeeper keep(edit);
  SelectRange(edit, start, end);
  Send(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string TRichEdit::SaveRtfToString() {
  const std::string rtf = StreamOutRtf(ContentWindow());
  if (rtf.empty())
    throw EInOutError(L"The content of " + Name + L" could not be rendered as rich text.");
  return rtf;
}

bool TRichEdit::LoadRtfFromString(const std::string& rtf) {
  TRichEditUpdate update(*this);
  const bool loaded = StreamIn(ContentWindow(), SF_RTF, rtf.data(), rtf.size()) == 0;
  RecordShownFormats();
  return loaded;
}

void TRichEdit::LoadPlainText(const std::wstring& text) {
  TRichEditUpdate update(*this);
  const DWORD error =
      StreamIn(ContentWindow(), SF_TEXT | SF_UNICODE, reinterpret_cast<const char*>(text.data()),
               text.size() * sizeof(wchar_t));
  RecordShownFormats();
  if (error != 0) throw EInOutError(L"The text could not be loaded into " + Name + L".");
}

void TRichEdit::ScrollToLastRow() {
  HWND edit = ContentWindow();
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

LRESULT TRichEdit::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMoveWaitingRowsIn) {
    movePosted_ = false;
    MoveWaitingRowsIn();
    return 0;
  }
  // Whoever asks the window anything, this program or another, sees the rows in place.
  MoveWaitingRowsIn();
  if (msg == WM_GETDLGCODE && readOnly_)
    return DefaultHandler(msg, wParam, lParam) &
           ~static_cast<LRESULT>(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE |
                                 DLGC_HASSETSEL);
  return TWinControl::WndProc(msg, wParam, lParam);
}

void TRichEdit::SetReadOnly(bool value) {
  readOnly_ = value;
  if (HandleAllocated()) Send(Handle(), EM_SETREADONLY, value ? TRUE : FALSE, 0);
}

AccessibleFacts TRichEdit::Describe() {
  AccessibleFacts facts = TWinControl::Describe();
  facts.Role = ROLE_SYSTEM_TEXT;
  facts.Value = lines_.Text();
  facts.AddedState = readOnly_ ? STATE_SYSTEM_READONLY : 0;
  return facts;
}

void TRichEdit::SetScrollBars(TScrollStyle value) {
  scrollBars_ = value;
}

void TRichEdit::SetMaxLength(int value) {
  maxLength_ = value;
  if (staging_.StandIn()) ApplySettings(staging_.StandIn());
  if (HandleAllocated()) ApplySettings(Handle());
}

void TRichEdit::SetWordWrap(bool value) {
  wordWrap_ = value;
  if (staging_.StandIn()) ApplySettings(staging_.StandIn());
  if (HandleAllocated()) ApplySettings(Handle());
}

}  // namespace tk
