// The standard binary dialog template (what windres makes of a DIALOG statement), read with
// every field checked against the resource's size.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vemora::platform {

struct DialogItemTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  int id = -1;                       // -1: no id (0xFFFF)
  std::string className;             // lower case: "button", "combobox", "static", ... or the name given
  std::string text;                  // UTF-8
};

struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string title;
  int pointSize = 0;  // with DS_SETFONT
  std::string typeface;
  std::vector<DialogItemTemplate> items;
};

// False for a damaged or truncated template, and for the extended form (DIALOGEX).
bool ParseDialogTemplate(const std::uint8_t* bytes, std::size_t size, DialogTemplate& parsed);

}  // namespace vemora::platform
