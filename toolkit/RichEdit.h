// The platform's rich-edit control (msftedit.dll, window class "RICHEDIT50W") as a row list: every
// row is one paragraph ending in its own paragraph mark, and a row appended at the end takes the
// colour and style of the insertion point.
//
// Content may be written before the control has its window (a form builds its controls before
// it creates the windows): it then goes to a hidden stand-in control of the same class and moves
// into the real window, formatting included, when that window is created. A Color set before
// then becomes the background.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Controls.h"

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TRichEdit;

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

// The rows of a rich-edit control, in the manner of a string list.
class TRichEditLines {
 public:
  explicit TRichEditLines(TRichEdit& edit) : edit_(edit) {}

  int Count() const;
  std::wstring Strings(int index) const;
  std::wstring operator[](int index) const { return Strings(index); }
  void Put(int index, const std::wstring& text);
  void Delete(int index);
  // Appends one row (a line break inside the text starts a further row) and returns its index.
  // A NUL ends the text, as it does for every window text.
  int Add(const std::wstring& text);
  void Clear();
  // Every row followed by CR LF, the last one included.
  std::wstring Text() const;

 private:
  TRichEdit& edit_;
};

class TRichEdit : public TWinControl {
 public:
  explicit TRichEdit(TComponent* owner);
  ~TRichEdit() override;

  TRichEditLines& Lines() { return lines_; }
  const TRichEditLines& Lines() const { return lines_; }
  void Clear();
  void SelectAll();
  void CopyToClipboard();

  // Colour and font style (TFontStyle bits) of the selection, or of the insertion point when
  // nothing is selected. A colour that follows the system reads as the system's colour.
  TColor SelColor() const;
  void SetSelColor(TColor color);
  unsigned SelStyle() const;
  void SetSelStyle(unsigned style);
  // Selection in characters, a paragraph mark counting as one.
  void SetSel(int start, int end);
  // Collapses the selection at the end of the text.
  void SelectEnd();
  int TextLength() const;

  // The whole content as the control's own Rich Text Format rendering (EInOutError on failure).
  std::string SaveRtfToString() const;
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

  // Changes between BeginUpdate and the matching EndUpdate are painted once, at the end.
  void BeginUpdate();
  void EndUpdate();

  // Scrolls to the last row, leaving the horizontal position where it is.
  void ScrollToLastRow();

  // The window that holds the content now: the control's own, or the stand-in before that exists.
  // Rows still waiting to go in (see Lines().Add) go in first.
  HWND EditHandle() const;

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void FillCreateParams(CreateParams& params) override;
  void CreateWnd() override;
  void PrepareRepaint() override { FlushPendingRows(); }

 private:
  friend class TRichEditLines;
  int LineCount() const;
  int LineStart(int line) const;
  int LineLength(int line) const;
  std::wstring TextRange(int start, int end) const;
  void ReplaceRange(int start, int end, const std::wstring& text);
  std::wstring PlainText() const;
  void ApplySettings(HWND edit) const;
  void HoldDrawing() const;
  void ResumeDrawing() const;
  // The text does not end in a paragraph mark, so a row appended must start with one.
  bool LastRowIsOpen() const;
  void MoveStandInContent();

  // Rows appended to the control's window wait here, each with the insertion point's format,
  // until anything else asks for the control (any message to its window included) or the
  // message loop comes round; then they go in with one stream. The control takes a row in a
  // fraction of a millisecond on Windows, but some implementations need more for every message,
  // which makes a burst of rows slow when each row is a message of its own.
  struct PendingRow {
    std::wstring text;
    COLORREF color;
    bool autoColor;
    unsigned style;
  };
  int DeferRow(const std::wstring& row);
  void FlushPendingRows() const;
  void AppendRowsNow(HWND edit, const std::vector<PendingRow>& rows) const;
  // The rows as a rich-text fragment for the end of the content.
  static std::string RowsAsRtf(const std::vector<PendingRow>& rows, bool startNewParagraph);
  bool Deferring() const { return !pending_.empty(); }

  mutable std::vector<PendingRow> pending_;
  mutable int pendingBase_ = 0;  // rows in the control when the first pending row came
  // The insertion point's format while rows are pending.
  mutable COLORREF pendingColor_ = 0;
  mutable bool pendingAutoColor_ = true;
  mutable unsigned pendingStyle_ = 0;
  mutable bool flushing_ = false;
  mutable bool flushPosted_ = false;

  TRichEditLines lines_{*this};
  TScrollStyle scrollBars_ = ssNone;
  int maxLength_ = 0;
  bool wordWrap_ = true;
  int updateCount_ = 0;
  // Painting is held during an update and from the first pending row until the rows are in.
  mutable bool drawingHeld_ = false;
  mutable tk::UniqueHWND standIn_;
};
