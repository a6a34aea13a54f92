// The platform's rich-edit control (msftedit.dll, window class "RICHEDIT50W") as a row list: every
// row is one paragraph ending in its own paragraph mark, and a row appended at the end takes the
// colour and style of the insertion point.
//
// Content may be written before the control has its window (a form builds its controls before
// it creates the windows): rows appended then wait and go in with one stream when the window is
// created; anything else asked of the control before then is answered by a hidden stand-in
// control of the same class, whose content moves into the real window, formatting included. A
// Color set before then becomes the background.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "toolkit/Controls.h"

namespace tk {

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TRichEdit;

// How a row was written: its colour (or the system's text colour) and font style (TFontStyle
// bits). In high contrast the screen shows every row in the scheme's colours; what was written
// is kept for saving.
struct TRowFormat {
  COLORREF Color = 0;
  bool AutoColor = true;
  unsigned Style = 0;
};

// A row with its format.
struct TRichRow {
  std::wstring Text;
  TRowFormat Format;
};

// Holds a rich-edit control's painting for one scope.
class TRichEditUpdate {
 public:
  explicit TRichEditUpdate(TRichEdit& edit);
  ~TRichEditUpdate();
  TRichEditUpdate(const TRichEditUpdate&) = delete;
  TRichEditUpdate& operator=(const TRichEditUpdate&) = delete;

 private:
  TRichEdit& edit_;
};

// The rows of a rich-edit control, in the manner of a string list. Reading them puts rows that
// wait to go in into the control first, so no reading method is const.
class TRichEditLines {
 public:
  explicit TRichEditLines(TRichEdit& edit) : edit_(edit) {}

  int Count();
  std::wstring Strings(int index);
  std::wstring operator[](int index) { return Strings(index); }
  void Put(int index, const std::wstring& text);
  void Delete(int index);
  // Appends one row (a line break inside the text starts a further row) and returns its index.
  // A NUL ends the text, as it does for every window text.
  int Add(const std::wstring& text);
  void Clear();
  // Every row followed by CR LF, the last one included.
  std::wstring Text();

 private:
  int AddInWindow(const std::wstring& text);

  TRichEdit& edit_;
};

// Content on its way into a rich-edit control's window.
//
// Rows appended to the window wait here, each with the insertion point's format, until anything
// else asks for the control (any message to its window included) or the message loop comes
// round; then they go in with one stream. The control takes a row in a fraction of a millisecond
// on Windows, but some implementations need more for every message, which makes a burst of rows
// slow when each row is a message of its own.
//
// Before the control has its window, appended rows wait here too, until the window is created;
// other content goes to a hidden stand-in control of the same class, which hands it over,
// formatting included, when the window is created.
class TRichEditStaging {
 public:
  // The stand-in, null until created.
  HWND StandIn() const { return standIn_.get(); }
  // Creates the stand-in; its settings are the control's to apply.
  HWND CreateStandIn(const std::wstring& controlName);
  // Streams the stand-in's content into the window and destroys the stand-in; false when there
  // was none. EInOutError when the window does not take the content.
  bool MoveStandInto(HWND window, const std::wstring& controlName);

  bool RowsWait() const { return !rows_.empty(); }
  // Keeps a row back and returns its index in the control; the first of a burst also takes the
  // window's insertion-point format (without a window, the format the rows kept so far left),
  // and the number of rows the control holds already.
  int KeepRow(HWND window, int rowsInWindow, const std::wstring& row);
  // The insertion point's format while rows wait, which the next row kept back takes.
  COLORREF WaitingColor() const { return autoColor_ ? ColorToRGB(clWindowText) : color_; }
  void SetWaitingColor(COLORREF color);
  unsigned WaitingStyle() const { return style_; }
  void SetWaitingStyle(unsigned style);
  // Streams every waiting row in at the end of the window's content (one message per row when
  // the control refuses the stream); the insertion point keeps the last row's format (with no
  // row waiting, the format set while none did).
  void MoveRowsInto(HWND window);

 private:
  static void AppendRowsOneByOne(HWND window, const std::vector<TRichRow>& rows);

  UniqueHWND standIn_;
  std::vector<TRichRow> rows_;
  int base_ = 0;  // rows in the control when the first waiting row came
  COLORREF color_ = 0;
  bool autoColor_ = true;
  unsigned style_ = 0;
};

class TRichEdit : public TWinControl {
 public:
  explicit TRichEdit(TComponent* owner);
  ~TRichEdit() override;

  TRichEditLines& Lines() { return lines_; }
  void Clear();
  void SelectAll();
  void CopyToClipboard();

  // Colour and font style (TFontStyle bits) of the selection, or of the insertion point when
  // nothing is selected. A colour that follows the system reads as the system's colour.
  TColor SelColor();
  void SetSelColor(TColor color);
  unsigned SelStyle();
  void SetSelStyle(unsigned style);
  // Selection in characters, a paragraph mark counting as one.
  void SetSel(int start, int end);
  // Collapses the selection at the end of the text.
  void SelectEnd();
  int TextLength();

  // The whole content as the control's own Rich Text Format rendering (EInOutError on failure).
  std::string SaveRtfToString();
  // The whole content as a Rich Text Format document of our own writing: every row a paragraph
  // in the colour and style it was written with, every character kept (\uN, with '?' for readers
  // that know none), whatever the control's own rendering would lose.
  std::string RowsAsRtf();
  // Replaces the content with an RTF document; false when the control does not accept it as RTF.
  bool LoadRtfFromString(const std::string& rtf);
  // Replaces the content with plain text (EInOutError on failure).
  void LoadPlainText(const std::wstring& text);

  // Read when the window is created; the control shows a bar once there is something to scroll.
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  // 0 keeps the control's own limit.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  // A read-only control is a pane to read: the user cannot change its rows (the program still
  // can), and Tab and Enter keep their meaning for the window instead of going into the text.
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);

  // Read-only text whose value is every row.
  AccessibleFacts Describe() override;

  // Changes between BeginUpdate and the matching EndUpdate are painted once, at the end.
  void BeginUpdate();
  void EndUpdate();

  // Scrolls to the last row, leaving the horizontal position where it is.
  void ScrollToLastRow();

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void FillCreateParams(CreateParams& params) override;
  void CreateWnd() override;
  void PrepareRepaint() override { MoveWaitingRowsIn(); }

 private:
  friend class TRichEditLines;
  // The window that holds the content now, with every waiting row in it: the control's own, or
  // the stand-in (created here on first use) before that exists.
  HWND ContentWindow();
  // The content is the waiting rows and the insertion point is theirs: rows wait, or the control
  // has neither its window nor a stand-in yet.
  bool Staged() const;
  void MoveWaitingRowsIn();
  // A row of one line, kept back to go in with the rows after it (or, before the control has its
  // window, with the window).
  int KeepRow(const std::wstring& row);
  void ReplaceRange(int start, int end, const std::wstring& text);
  // The format the next row is written with: the one last asked for, else the insertion point's.
  TRowFormat NextRowFormat();
  // Rows from `from` on were just written with that format.
  void RecordRows(int from, int to, TRowFormat format);
  // Every row's format as the control shows it, after content was loaded from elsewhere.
  void RecordShownFormats();
  void ApplySettings(HWND edit) const;
  void ShowFromFirstRow();
  void HoldDrawing();
  void ResumeDrawing();

  TRichEditStaging staging_;
  // Each row's format as written, row for row.
  std::vector<TRowFormat> rowFormats_;
  // The format asked for with SetSelColor and SetSelStyle, once asked.
  std::optional<TRowFormat> written_;
  // A request to move the waiting rows in is queued on the window.
  bool movePosted_ = false;
  // The window once made and set up: rows may go into it.
  HWND readyWindow_ = nullptr;
  TRichEditLines lines_{*this};
  TScrollStyle scrollBars_ = ssNone;
  int maxLength_ = 0;
  bool wordWrap_ = true;
  bool readOnly_ = false;
  int updateCount_ = 0;
  // Painting is held during an update and from the first waiting row until the rows are in.
  bool drawingHeld_ = false;
};

}  // namespace tk
