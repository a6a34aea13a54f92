// The parts of ccCore that talk to Windows: message boxes, locale, the running executable.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"
#include "toolkit/Application.h"
#include "toolkit/BufferText.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/SysError.h"
#include "toolkit/SystemLibrary.h"
#include "toolkit/Text.h"

int MesajGeneric(const std::wstring& text, const std::wstring& caption, unsigned flags) {
  if (text.empty()) return 0;
  const std::wstring& title = caption.empty() ? AppName : caption;
  return tk::App().ShowMessageBox(CRLFToEnter(text), title, flags);
}

void MesajInfo(const std::wstring& text, const std::wstring& caption) {
  MesajGeneric(text, caption, MB_ICONINFORMATION);
}

void MesajWarning(const std::wstring& text) {
  MesajGeneric(text, AppName + L" - Warning", MB_ICONWARNING);
}

void MesajError(const std::wstring& text) {
  MesajGeneric(text, AppName + L" - Error", MB_ICONERROR);
}

bool MesajYesNo(const std::wstring& text, const std::wstring& caption) {
  if (text.empty()) throw tk::Exception(L"No message provided for MesajYesNo() !");
  return MesajGeneric(text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

wchar_t LocaleDecimalSeparator() {
  wchar_t buffer[8] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) > 1) return buffer[0];
  return L'.';
}

std::wstring Real2Str(double value, int decimals) {
  return Real2StrSep(value, decimals, LocaleDecimalSeparator());
}

std::wstring MilisecondsToTimeText(uint32_t milliseconds) {
  return MilisecondsToTimeTextSep(milliseconds, LocaleDecimalSeparator());
}

std::wstring AppExeName() {
  return tk::GrowingBufferText(
      [](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); });
}

bool RunningInDevFolder() {
  const std::wstring exe = AppExeName();
  return IsFile(FolderPart(exe, psAll) + WithoutExtension(FileNamePart(exe, psAll)) + L".dpr");
}

// --- version text ---

std::wstring AppShortName() {
  return ExtractOnlyName(AppExeName());
}

bool GetFileVersionFixed(const std::wstring& fileName, TFixedFileInfo& block) {
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  const auto getSize = tk::SystemFunction<SizeFn>(L"version.dll", "GetFileVersionInfoSizeW");
  const auto getInfo = tk::SystemFunction<InfoFn>(L"version.dll", "GetFileVersionInfoW");
  const auto query = tk::SystemFunction<QueryFn>(L"version.dll", "VerQueryValueW");
  if (!getSize || !getInfo || !query) return false;
  DWORD ignored = 0;
  const DWORD size = getSize(fileName.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> data(size);
  if (!getInfo(fileName.c_str(), 0, size, data.data())) return false;
  void* root = nullptr;
  UINT length = 0;
  if (!query(data.data(), L"\\", &root, &length) || !root || length != sizeof(TFixedFileInfo))
    return false;
  std::memcpy(&block, root, sizeof(TFixedFileInfo));
  return true;
}

std::wstring GetAppVersion() {
  TFixedFileInfo block{};
  if (!GetFileVersionFixed(AppExeName(), block)) return L"0";
  return tk::DecimalText(HIWORD(block.dwFileVersionMS)) + L"." +
         tk::DecimalText(LOWORD(block.dwFileVersionMS)) + L"." +
         tk::DecimalText(HIWORD(block.dwFileVersionLS));
}

// --- self-delete ---

namespace {

bool IsAscii(const std::wstring& text) {
  for (wchar_t c : text) {
    if (c > 127) return false;
  }
  return true;
}

// The script is written in the ANSI code page, but the command interpreter reads a batch file in
// the console's (OEM) code page: only ASCII means the same to both. Other paths are spelled in
// their short form, which exists for every existing file unless the volume does not keep short
// names; then the long form is the best there is.
std::wstring BatchSpelling(const std::wstring& path) {
  if (IsAscii(path)) return path;
  const std::wstring shortPath = tk::SizedBufferText([&path](wchar_t* buffer, DWORD size) {
    return ::GetShortPathNameW(path.c_str(), buffer, size);
  });
  return shortPath.empty() ? path : shortPath;
}

// AppShortName with its last extension replaced by ".BAT" (a.b gives a.BAT). A % would be
// expanded on the interpreter's command line, where it cannot be escaped, so it is replaced.
std::wstring SelfDeleteScriptName() {
  std::wstring name = WithoutExtension(AppShortName());
  ReplaceCharInPlace(name, L'%', L'_');
  return name + L".BAT";
}

[[noreturn]] void ThrowCreateError(const std::wstring& fileName, DWORD error) {
  throw tk::EFCreateError(tk::FileErrorText(L"Cannot create file", fileName, error));
}

// Creates (or replaces) the script first, so that its own short name exists to be written into it.
void SaveSelfDeleteScript(const std::wstring& scriptPath) {
  tk::UniqueFile file(::CreateFileW(scriptPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowCreateError(scriptPath, ::GetLastError());
  const std::string bytes =
      tk::ToAnsi(SelfDeleteScriptText(BatchSpelling(AppExeName()), BatchSpelling(scriptPath)));
  DWORD written = 0;
  if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    const DWORD error = ::GetLastError();
    file.reset();
    ::DeleteFileW(scriptPath.c_str());
    ThrowCreateError(scriptPath, error);
  }
}

// The interpreter is named explicitly and the script only by its name, relative to the temporary
// folder as working folder: no path reaches the command line, where a % cannot be escaped and the
// process would otherwise keep the folder it was started from (often the one being removed).
// /d skips AutoRun commands; /e:on and /v:off keep set /a available and a ! in a path plain text,
// whatever the registry asks for.
void StartSelfDeleteScript(const std::wstring& folder, const std::wstring& scriptName) {
  const std::wstring system = tk::SystemFolder();
  if (system.empty()) return;
  const std::wstring interpreter = system + L"\\cmd.exe";
  std::wstring commandLine = L"cmd.exe /d /e:on /v:off /c \"\"" + scriptName + L"\"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        IDLE_PRIORITY_CLASS, nullptr, folder.c_str(), &startup, &process))
    return;
  // Not waited for: the script outlives this process.
  tk::UniqueHandle thread(process.hThread);
  tk::UniqueHandle script(process.hProcess);
}

}  // namespace

void SelfDelete() {
  const std::wstring folder = GetTempFolder();
  const std::wstring scriptName = SelfDeleteScriptName();
  SaveSelfDeleteScript(folder + scriptName);
  StartSelfDeleteScript(folder, scriptName);
  tk::App().Terminate();
}
