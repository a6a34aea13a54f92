// What the running program does with its own file: its short name, the development-folder test
// and the self-delete. The rest of ccCore is below ccIO; these stand on it.
#include <windows.h>

#include <string>
#include <utility>

#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"
#include "toolkit/Application.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/SystemLibrary.h"

std::wstring AppShortName() {
  return ExtractOnlyName(AppExeName());
}

bool RunningInDevFolder() {
  const std::wstring exe = AppExeName();
  return IsFile(FolderPart(exe, psAll) + WithoutExtension(FileNamePart(exe, psAll)) + L".dpr");
}

// --- self-delete ---

namespace {

// A path as the self-delete script can hold it exactly: as it is, else its short form; empty
// when neither will do (then the script leaves that path alone).
std::wstring BatchSpelling(const std::wstring& path) {
  if (BatchWritable(path)) return path;
  const std::wstring shortPath = ShortPath(path);
  return BatchWritable(shortPath) ? shortPath : std::wstring();
}

// The script's bytes: its text is ASCII by construction, and no conversion may change it.
std::string ScriptBytes(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) {
    if (c > 0x7F) throw tk::Exception(L"The self-delete script holds a character it cannot keep.");
    bytes.push_back(static_cast<char>(c));
  }
  return bytes;
}

// The ping program that paces the script's tries, as the script can name it.
std::wstring PingSpelling() {
  const std::wstring system = tk::SystemFolder();
  return system.empty() ? L"" : BatchSpelling(system + L"\\ping.exe");
}

// The interpreter is named explicitly and the script by a path relative to the working folder,
// the temporary folder: no path reaches the command line, where a % cannot be escaped and the
// process would otherwise keep the folder it was started from (often the one being removed).
// Named by a path, no search (PATH, where the current folder is left out of it) can find another
// file of that name. /d skips AutoRun commands; /e:on and /v:off keep set /a available and a ! in
// a path plain text, whatever the registry asks for.
void StartSelfDeleteScript(const std::wstring& workingFolder, const std::wstring& script) {
  const std::wstring system = tk::SystemFolder();
  if (system.empty()) return;
  const std::wstring interpreter = system + L"\\cmd.exe";
  std::wstring commandLine = L"cmd.exe /d /e:on /v:off /c \"\".\\" + script + L"\"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        IDLE_PRIORITY_CLASS, nullptr, workingFolder.c_str(), &startup, &process))
    return;
  // Not waited for: the script outlives this process.
  tk::UniqueHandle thread(process.hThread);
  tk::UniqueHandle started(process.hProcess);
}

// AppShortName with its last extension replaced by ".BAT" (a.b gives a.BAT). The name goes into
// the script and onto the interpreter's command line, where a % cannot be escaped: a character
// the script could not hold exactly, and a %, becomes "_".
std::wstring SelfDeleteScriptName() {
  std::wstring name = WithoutExtension(AppShortName());
  for (wchar_t& c : name)
    if (c == L'%' || !BatchWritable(std::wstring(1, c))) c = L'_';
  return name + L".BAT";
}

}  // namespace

void ScheduleSelfDelete(const std::wstring& runFolder) {
  static bool scheduled = false;
  if (std::exchange(scheduled, true)) return;
  if (runFolder.empty()) {
    const std::wstring temp = GetTempFolder();
    const std::wstring scriptName = SelfDeleteScriptName();
    // The script in the temporary folder, the executable by its full path wherever it runs.
    const std::wstring spelledTemp = BatchSpelling(temp);
    WriteFileWhole(temp + scriptName,
                   ScriptBytes(SelfDeleteScriptText(
                       BatchSpelling(AppExeName()),
                       spelledTemp.empty() ? L"" : spelledTemp + scriptName, PingSpelling())));
    StartSelfDeleteScript(temp, scriptName);
    return;
  }
  // Everything by its name below the temporary folder. The script lies beside the run folder, not
  // in it: an interpreter may hold its script open to the end, and the folder must be empty to
  // go. A program name the script cannot hold is matched by its extension in a folder that holds
  // no other program.
  const std::wstring own = WithoutTrailingBackslash(runFolder);
  const std::wstring parent = FolderPart(own, psBackslash);
  const std::wstring folder = FileNamePart(own, psBackslash);
  const std::wstring exeName = FileNamePart(AppExeName(), psAll);
  const std::wstring exe = folder + L"\\" + (BatchWritable(exeName) ? exeName : L"*.exe");
  const std::wstring script = FileNamePart(RunFolderScript(own), psBackslash);
  WriteFileWhole(parent + script,
                 ScriptBytes(SelfDeleteScriptText(exe, script, PingSpelling(), folder)));
  StartSelfDeleteScript(parent, script);
}

void SelfDelete(const std::wstring& runFolder) {
  ScheduleSelfDelete(runFolder);
  tk::App().Terminate();
}
