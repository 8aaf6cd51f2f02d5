// Modal dialogs built from the program's dialog templates: the dialog manager's records, shared
// by the units that create, drive and draw them. Everything here is used with the lock held.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Core.h"
#include "DialogText.h"
#include "Window.h"

namespace vemora::platform {

enum class ControlKind { GroupBox, Label, DropDownList, DropDownCombo, CheckBox, PushButton, Other };

struct Control {
  int id = -1;
  std::string className;
  ControlKind kind = ControlKind::Other;
  DWORD style = 0;
  RECT rect{};            // client pixels; for combo boxes the closed field only
  int listSpace = 0;      // combo boxes: the height below the field that the list may take
  std::string text;       // caption, or the edit field of a combo box
  std::vector<std::string> items;
  int selection = -1;
  int droppedWidth = 0;   // CB_SETDROPPEDWIDTH; the list is never narrower than the field
  UINT check = BST_UNCHECKED;
  int caret = 0;          // edit field, in bytes; `anchor` is the selection's other end
  int anchor = 0;

  bool Visible() const { return (style & WS_VISIBLE) != 0; }
  bool IsCombo() const { return kind == ControlKind::DropDownList || kind == ControlKind::DropDownCombo; }
  bool IsButton() const { return kind == ControlKind::CheckBox || kind == ControlKind::PushButton; }
  bool Focusable() const { return Visible() && (IsCombo() || IsButton()); }
};

// The open list of a combo box.
struct DroppedList {
  int control = -1;     // -1: none is open
  int highlight = -1;   // the item under the mouse or moved to with the keys
  int top = 0;          // first item shown
  bool tracking = false;  // the button went down on the combo box or the list: release picks
  int thumbGrab = -1;     // dragging the scroll box: the grab point's offset inside it
};

struct Dialog {
  std::uint64_t serial = 0;  // never reused: names the controls' handles
  HWND hwnd = nullptr;
  int clientWidth = 0, clientHeight = 0;
  DLGPROC procedure = nullptr;
  std::uintptr_t templateId = 0;  // MAKEINTRESOURCEA value
  std::string title;
  bool ended = false;
  INT_PTR result = -1;
  RECT finalRect{};      // the window's, screen coordinates, when it ended
  HICON icon = nullptr;  // the class icon
  std::vector<Control> controls;
  int defaultId = IDOK;
  DialogText* face = nullptr;  // the host's, that the text is measured and drawn with
  int baseX = 6, baseY = 13;  // dialog base units: average character width and the font's height
  int fontPixels = 11;
  int focus = -1;             // control index; -1: the dialog itself
  int pressed = -1;           // button held down
  bool pressedInside = false;
  bool pressedBySpace = false;
  DroppedList drop;
  bool dirty = true;
  bool inModalLoop = false;
};

// WM_COMMAND parameters for the dialog procedure, sent once the lock is released.
using Notifications = std::vector<std::pair<WPARAM, LPARAM>>;

inline int ItemCount(const Control& control) { return static_cast<int>(control.items.size()); }
inline bool Contains(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// A user's action in a dialog's script (testing.h's DialogStep says what each kind does).
struct ScriptStep {
  enum class Kind { Check, Uncheck, Press, Close, Select, Type, Key, Click };
  Kind kind = Kind::Close;
  int control = 0;
  int index = 0;     // Select: the item; Key: the virtual key; Click: x
  std::string text;  // Type: the new text
  int y = 0;         // Click: y
  bool shift = false;  // Key: with Shift held
};
// The script of the next dialog that opens.
void QueueDialogAnswers(std::vector<ScriptStep> steps);
const std::vector<Dialog*>& RunDialogs();  // this run's, in opening order
void ResetDialogs();

Dialog* DialogOfWindow(HWND hwnd);
HWND ControlHandle(const Dialog& dialog, int index);
int ControlIndex(const Dialog& dialog, int id);  // -1 when there is none
// Messages to a control's handle (lock held on entry and exit); false if `hwnd` is no control.
bool SendToControl(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Sends the notifications to the dialog procedure (lock held on entry and exit).
void Deliver(std::unique_lock<std::mutex>& held, const Dialog& dialog, const Notifications& notifications);

// DialogControls.cpp: controls from the template, their messages and their geometry.
ControlKind KindOf(const std::string& className, DWORD style);
void Notify(const Dialog& dialog, int index, int code, Notifications& out);  // from the control at `index`
// The first item that starts with `prefix` (case ignored), searching from `after` + 1 round the list.
int ItemStartingWith(const Control& control, const std::string& prefix, int after);
void Choose(Control& control, int item);  // the selection, and the edit field's text
LRESULT ControlMessage(Control& control, UINT message, WPARAM wParam, LPARAM lParam);
std::string ShownText(const Control& control);
void SetEditText(Control& control, const std::string& text);  // everything selected, as Windows leaves it
RECT DropButtonRect(const Control& control);
RECT FieldTextRect(const Control& control);  // where a combo box shows its text
RECT CheckSquareRect(const Control& control);
struct ListGeometry {
  RECT rect{};          // outer rectangle, border included
  int rows = 0;         // items shown at once
  int itemHeight = 0;
  bool scrollBar = false;
  RECT bar{};           // the scroll bar, when there is one
};
ListGeometry ListOf(const Dialog& dialog, const Control& control);
int MaxTop(const ListGeometry& list, int count);
struct ScrollParts {
  RECT up, down, thumb;
  int trackTop;    // where the scroll box is at the first item
  int thumbRange;  // how far it moves from there to the last position
};
ScrollParts ScrollPartsOf(const ListGeometry& list, int count, int top);

// DialogList.cpp: the open list of a combo box (lock held).
void OpenList(Dialog& dialog, int index, Notifications& out);
void CloseList(Dialog& dialog, bool accept, Notifications& out);  // accept: the highlighted item
void MoveHighlight(Dialog& dialog, int item);
void ScrollList(Dialog& dialog, int top);
void ListMouse(Dialog& dialog, UINT message, int x, int y, Notifications& out);

// DialogScript.cpp: a script's user actions (lock held on entry and exit).
void RunSteps(std::unique_lock<std::mutex>& held, Dialog& dialog, const std::vector<ScriptStep>& steps);
// What ends a dialog that its script left open: Enter, then the close box.
void PressEnterThenClose(std::unique_lock<std::mutex>& held, Dialog& dialog);

// DialogInput.cpp: what the user does (lock held); notifications are collected in `out`.
void FocusControl(Dialog& dialog, int index, Notifications& out);
void ClickControl(Dialog& dialog, int index, Notifications& out);
void PickItem(Dialog& dialog, int index, int item, Notifications& out);
void ReplaceText(Dialog& dialog, int index, const std::string& text, Notifications& out);
struct KeyModifiers {
  bool shift = false;
  bool alt = false;
};
// Keyboard and mouse messages of the dialog's window; false for other messages.
bool HandleDialogInput(Dialog& dialog, const MSG& message, KeyModifiers keys, Notifications& out);

// DialogPaint.cpp: draws the dialog into its window's pixels.
void PaintDialog(Dialog& dialog, Window& window);

}  // namespace vemora::platform
