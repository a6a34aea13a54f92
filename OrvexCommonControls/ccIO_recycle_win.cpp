// ccIO's Recycle Bin on Windows: the shell's delete operation, watched for what it asks, and what
// became of the item.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/BufferText.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/SysError.h"
#include "toolkit/SystemLibrary.h"
#include "toolkit/Text.h"
#include "OrvexCommonControls/ccIO.h"

namespace {

// Watches the dialogs the shell opens on this thread while it deletes an item. What it asks
// while it is told to ask nothing else (FOF_NOCONFIRMATION) is its offer to delete for good what
// the Recycle Bin cannot take: a box with Yes and No. For an item that holds links the offer is
// declined unseen, since deleting for good walks into links (Wine's shell empties their targets);
// the tree is looked through only when the shell asks, so an item the Recycle Bin takes costs
// nothing.
class DeleteOperationWatch {
 public:
  explicit DeleteOperationWatch(std::wstring item)
      : item_(std::move(item)), previous_(std::exchange(current_, this)) {
    hook_.reset(::SetWindowsHookExW(WH_CBT, Proc, nullptr, ::GetCurrentThreadId()));
  }
  DeleteOperationWatch(const DeleteOperationWatch&) = delete;
  DeleteOperationWatch& operator=(const DeleteOperationWatch&) = delete;
  ~DeleteOperationWatch() {
    hook_.reset();
    current_ = previous_;
  }

  bool Watching() const { return static_cast<bool>(hook_); }
  // An offer to delete for good was shown, or declined unseen.
  bool Offered() const { return offers_ > 0 || declinedUnseen_; }
  // Every dialog the operation showed was such an offer.
  bool OnlyOffers() const { return others_ == 0; }
  bool ShowedNothing() const { return offers_ == 0 && others_ == 0 && !declinedUnseen_; }

 private:
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    if (current_ && code == HCBT_CREATEWND &&
        IsDialogClass(reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->lpszClass) &&
        current_->ItemHoldsLink()) {
      current_->declinedUnseen_ = true;
      return 1;  // the window is not made; the shell takes that as No
    }
    if (current_ && code == HCBT_ACTIVATE) current_->Seen(reinterpret_cast<HWND>(wParam));
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static bool IsDialogClass(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) return name == WC_DIALOG;
    return name && std::wstring_view(name) == L"#32770";
  }
  void Seen(HWND window) {
    if (!seen_.insert(window).second) return;
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wstring_view(name) != L"#32770") return;
    if (::GetDlgItem(window, IDYES) && ::GetDlgItem(window, IDNO))
      ++offers_;
    else
      ++others_;
  }
  bool ItemHoldsLink() {
    if (!holdsLink_) holdsLink_ = HoldsLink(item_);
    return *holdsLink_;
  }

  // The shell runs its operation on the calling thread, and RecycleItem is called on the GUI
  // thread: one watch at a time.
  static inline DeleteOperationWatch* current_ = nullptr;
  std::wstring item_;
  DeleteOperationWatch* previous_;
  std::optional<bool> holdsLink_;
  std::set<HWND> seen_;
  unsigned offers_ = 0, others_ = 0;
  bool declinedUnseen_ = false;
  tk::UniqueHHOOK hook_;
};

}  // namespace

// --- the Recycle Bin ---

TRecycleOutcome RecycleItemOutcome(const std::wstring& path, bool allowUndo, bool confirm,
                                   bool silent) {
  // The shell takes a folder named with its trailing backslash as done without touching it.
  const std::wstring item = WithoutTrailingBackslash(path);
  if (item.empty()) return TRecycleOutcome::Failed;
  std::wstring source = item;
  source.push_back(L'\0');  // the list ends with a second NUL

  // Deleting for good goes through links on some systems; without undo there is no other way.
  if (!allowUndo && HoldsLink(item)) return TRecycleOutcome::Declined;

  // A link goes as the entry it is, never as the folder it leads to (where the shell knows how).
  FILEOP_FLAGS flags = FOF_NORECURSEREPARSE;
  if (allowUndo) flags |= FOF_ALLOWUNDO;
  if (silent)
    flags |= FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
  else if (!confirm)
    flags |= FOF_NOCONFIRMATION;
  // Without a question the shell deletes for good what the Recycle Bin cannot take; the user
  // who asked for the Recycle Bin must hear of it first, and an item that holds links must be
  // asked about so that the offer can be declined.
  const bool warned = allowUndo && (!silent || HoldsLink(item));
  if (warned) flags |= FOF_WANTNUKEWARNING;

  DeleteOperationWatch watch(item);
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = tk::App().MainFormHandle();
  operation.wFunc = FO_DELETE;
  operation.pFrom = source.c_str();
  operation.fFlags = flags;
  const int result = ::SHFileOperationW(&operation);
  if (result != 0 || operation.fAnyOperationsAborted || PathExists(item))
    return watch.Offered() ? TRecycleOutcome::Declined : TRecycleOutcome::Failed;
  if (!watch.Watching()) return TRecycleOutcome::Unknown;
  if (!allowUndo) return TRecycleOutcome::DeletedForGood;
  // With the warning asked for, the shell deletes nothing for good unasked: gone without a
  // question is recycled, gone after the offer alone is deleted for good by the user's Yes.
  if (!warned) return TRecycleOutcome::Unknown;
  if (watch.ShowedNothing()) return TRecycleOutcome::Recycled;
  return !confirm && watch.OnlyOffers() ? TRecycleOutcome::DeletedForGood
                                        : TRecycleOutcome::Unknown;
}

bool RecycleItem(const std::wstring& path, bool allowUndo, bool confirm, bool silent) {
  const TRecycleOutcome outcome = RecycleItemOutcome(path, allowUndo, confirm, silent);
  return outcome != TRecycleOutcome::Declined && outcome != TRecycleOutcome::Failed;
}
