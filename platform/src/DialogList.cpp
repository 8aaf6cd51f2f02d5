// The open list of a combo box: what it shows, its scroll bar, and how it closes.
#include <algorithm>

#include "Dialog.h"

namespace vemora::platform {

namespace {

void ShowHighlight(Dialog& dialog) {
  const Control& control = dialog.controls[dialog.drop.control];
  const ListGeometry list = ListOf(dialog, control);
  DroppedList& drop = dialog.drop;
  if (drop.highlight >= 0 && drop.highlight < drop.top) drop.top = drop.highlight;
  if (drop.highlight >= drop.top + list.rows) drop.top = drop.highlight - list.rows + 1;
  drop.top = std::clamp(drop.top, 0, MaxTop(list, ItemCount(control)));
  dialog.dirty = true;
}

// The item row under y, or -1 below the last item.
int ItemAt(const Dialog& dialog, const ListGeometry& list, int y) {
  const int row = std::clamp((y - list.rect.top - 1) / list.itemHeight, 0, list.rows - 1);
  const int item = dialog.drop.top + row;
  return item < ItemCount(dialog.controls[dialog.drop.control]) ? item : -1;
}

bool InItems(const ListGeometry& list, int x, int y) {
  return Contains(list.rect, x, y) && !(list.scrollBar && x >= list.bar.left);
}

void ScrollBarDown(Dialog& dialog, const ListGeometry& list, int y) {
  const int count = ItemCount(dialog.controls[dialog.drop.control]);
  const ScrollParts parts = ScrollPartsOf(list, count, dialog.drop.top);
  const int top = dialog.drop.top;
  if (y < parts.up.bottom)
    ScrollList(dialog, top - 1);
  else if (y >= parts.down.top)
    ScrollList(dialog, top + 1);
  else if (y < parts.thumb.top)
    ScrollList(dialog, top - list.rows);
  else if (y >= parts.thumb.bottom)
    ScrollList(dialog, top + list.rows);
  else
    dialog.drop.thumbGrab = y - parts.thumb.top;
}

void DragThumb(Dialog& dialog, const ListGeometry& list, int y) {
  const int count = ItemCount(dialog.controls[dialog.drop.control]);
  const ScrollParts parts = ScrollPartsOf(list, count, dialog.drop.top);
  if (parts.thumbRange <= 0) return;
  const int offset = y - dialog.drop.thumbGrab - parts.trackTop;
  const int range = MaxTop(list, count);
  ScrollList(dialog, (offset * range * 2 + parts.thumbRange) / (parts.thumbRange * 2));
}

}  // namespace

void OpenList(Dialog& dialog, int index, Notifications& out) {
  const Control& control = dialog.controls[index];
  Notify(dialog, index, CBN_DROPDOWN, out);
  dialog.drop = DroppedList{};
  dialog.drop.control = index;
  // A combo box with an edit field shows the item its text names.
  dialog.drop.highlight = control.kind == ControlKind::DropDownCombo
                              ? (control.text.empty() ? -1 : ItemStartingWith(control, control.text, -1))
                              : control.selection;
  dialog.drop.top = std::max(0, dialog.drop.highlight);
  ShowHighlight(dialog);
}

void CloseList(Dialog& dialog, bool accept, Notifications& out) {
  const int index = dialog.drop.control;
  const int item = dialog.drop.highlight;
  dialog.drop = DroppedList{};
  dialog.dirty = true;
  if (!accept || item < 0) {
    Notify(dialog, index, CBN_SELENDCANCEL, out);
    Notify(dialog, index, CBN_CLOSEUP, out);
    return;
  }
  Notify(dialog, index, CBN_SELENDOK, out);
  Notify(dialog, index, CBN_CLOSEUP, out);
  Choose(dialog.controls[index], item);
  Notify(dialog, index, CBN_SELCHANGE, out);
}

void MoveHighlight(Dialog& dialog, int item) {
  const int count = ItemCount(dialog.controls[dialog.drop.control]);
  if (count == 0) return;
  dialog.drop.highlight = std::clamp(item, 0, count - 1);
  ShowHighlight(dialog);
}

void ScrollList(Dialog& dialog, int top) {
  const Control& control = dialog.controls[dialog.drop.control];
  dialog.drop.top = std::clamp(top, 0, MaxTop(ListOf(dialog, control), ItemCount(control)));
  dialog.dirty = true;
}

void ListMouse(Dialog& dialog, UINT message, int x, int y, Notifications& out) {
  const ListGeometry list = ListOf(dialog, dialog.controls[dialog.drop.control]);
  DroppedList& drop = dialog.drop;
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!Contains(list.rect, x, y)) {
        CloseList(dialog, false, out);  // the click closes the list and goes nowhere else
      } else if (!InItems(list, x, y)) {
        ScrollBarDown(dialog, list, y);
      } else {
        drop.tracking = true;
        MoveHighlight(dialog, ItemAt(dialog, list, y));
      }
      break;
    case WM_MOUSEMOVE:
      if (drop.thumbGrab >= 0) {
        DragThumb(dialog, list, y);
      } else if (InItems(list, x, y) && ItemAt(dialog, list, y) >= 0) {
        drop.highlight = ItemAt(dialog, list, y);
        dialog.dirty = true;
      }
      break;
    case WM_LBUTTONUP:
      if (drop.thumbGrab >= 0) {
        drop.thumbGrab = -1;
      } else if (drop.tracking && InItems(list, x, y) && ItemAt(dialog, list, y) >= 0) {
        drop.highlight = ItemAt(dialog, list, y);
        CloseList(dialog, true, out);
        return;
      }
      drop.tracking = false;
      break;
  }
}

}  // namespace vemora::platform
