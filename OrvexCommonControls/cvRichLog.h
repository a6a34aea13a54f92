// The log pane: a rich-edit control that takes messages at six verbosity levels, shows each level
// in its own colour, drops messages below a threshold, can stamp rows with the date, the time and
// an indentation, and saves its content as rich text or appends it to a text file.
#pragma once

#include <string>

#include "toolkit/RichEdit.h"
#include "OrvexCommonControls/cLogUtils.h"

// Row colours of the levels (red in the low byte).
inline constexpr tk::TColor clLogVerbose = 0x808080;    // grey, also for hints
inline constexpr tk::TColor clLogHint = 0x808080;       // grey
inline constexpr tk::TColor clLogInfo = 0x000000;       // black, also for unlevelled rows
inline constexpr tk::TColor clLogImportant = 0xAE0D3E;  // deep blue-violet 62,13,174
inline constexpr tk::TColor clLogWarning = 0x0058DF;    // orange 223,88,0
inline constexpr tk::TColor clLogError = 0x0000FF;      // red

class TRichLog : public tk::TRichEdit {
 public:
  explicit TRichLog(tk::TComponent* owner);
  ~TRichLog() override;

  // Threshold: a levelled message is added only when its level is at or above it (lvInfos).
  TLogVerb Verbosity() const { return FVerbosity; }
  void SetVerbosity(TLogVerb value) { FVerbosity = value; }
  // The threshold counted from 1 (1 = lvVerbose ... 6 = lvErrors); declared default 3.
  int VerbosityAsInt() const;
  void SetVerbosityAsInt(int value);
  // Scroll to the last row after each message (true).
  bool AutoScroll() const { return FAutoScroll; }
  void SetAutoScroll(bool value) { FAutoScroll = value; }
  // Put the current date / time in front of each row (false).
  bool InsertDate() const { return FInsertDate; }
  void SetInsertDate(bool value) { FInsertDate = value; }
  bool InsertTime() const { return FInsertTime; }
  void SetInsertTime(bool value) { FInsertTime = value; }

  // Fired after every error / warning message, with the log as sender, also when the message
  // was filtered out or empty.
  tk::TNotifyEvent OnError;
  tk::TNotifyEvent OnWarn;

  void AddColorMsg(const std::wstring& Mesaj, tk::TColor Culoare);
  void AddMsg(const std::wstring& Mesaj);
  void AddBold(const std::wstring& Mesaj);
  void AddMsgLvl(const std::wstring& Mesaj, TLogVerb MsgType);
  void AddVerb(const std::wstring& Mesaj);
  void AddHint(const std::wstring& Mesaj);
  void AddInfo(const std::wstring& Mesaj);
  void AddImpo(const std::wstring& Mesaj);
  void AddWarn(const std::wstring& Mesaj);
  void AddError(const std::wstring& Mesaj);
  void AddInteger(int i);
  void AddMsgInt(const std::wstring& Mesaj, int i);
  void AddEmptyRow();
  void AddDateStamp();
  void AddFromFile(const std::wstring& FileName, TLogVerb MsgType);

  // Writes the whole content as an RTF file. tk::EFCreateError when the file cannot be created
  // (missing folder, no permission, locked), tk::EInOutError for any other failure.
  void SaveAsRtf(const std::wstring& FullPath);
  // Appends the plain text (every row followed by CR LF) to the file as UTF-8 without a mark.
  void AppendToFile(const std::wstring& FullPath);
  // Replaces the content with the file's, read as RTF or else as text; false when no file exists.
  bool LoadFromFile(const std::wstring& FullPath);
  void RemoveLastEmptyRows();
  void CopyAll();

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  // Number of blanks put at the very start of each row.
  int Indent = 0;

 private:
  void AddLevelled(const std::wstring& Mesaj, TLogVerb level, tk::TColor color);
  void AddLineFlat(const std::wstring& line);
  void AddRawLine(std::wstring line);
  void ScrollToBottom();

  TLogVerb FVerbosity = lvInfos;
  bool FAutoScroll = true;
  bool FInsertDate = false;
  bool FInsertTime = false;
  bool scrollPending_ = false;
};

// The most recently constructed log; only the log's constructor and destructor write it.
extern TRichLog* AppLog;
