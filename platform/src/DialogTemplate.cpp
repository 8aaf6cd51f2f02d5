#include "DialogTemplate.h"

#include <cctype>

#include "Resources.h"

namespace vemora::platform {

namespace {

void AppendUtf8(std::string& out, std::uint16_t unit) {
  if (unit < 0x80) {
    out += static_cast<char>(unit);
  } else if (unit < 0x800) {
    out += static_cast<char>(0xC0 | unit >> 6);
    out += static_cast<char>(0x80 | (unit & 0x3F));
  } else if (unit >= 0xD800 && unit < 0xE000) {
    out += '?';  // halves of pairs: not in any dialog text we draw
  } else {
    out += static_cast<char>(0xE0 | unit >> 12);
    out += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (unit & 0x3F));
  }
}

bool ReadString(ByteReader& reader, std::string& text) {
  text.clear();
  for (;;) {
    std::uint16_t unit;
    if (!reader.Word(unit)) return false;
    if (unit == 0) return true;
    AppendUtf8(text, unit);
  }
}

// A field that holds nothing (0), an ordinal (0xFFFF, value) or a string.
bool ReadStringOrOrdinal(ByteReader& reader, std::string& text, int& ordinal) {
  std::uint16_t first;
  ordinal = -1;
  text.clear();
  if (!reader.Word(first)) return false;
  if (first == 0) return true;
  if (first == 0xFFFF) {
    std::uint16_t value;
    if (!reader.Word(value)) return false;
    ordinal = value;
    return true;
  }
  AppendUtf8(text, first);
  std::string rest;
  if (!ReadString(reader, rest)) return false;
  text += rest;
  return true;
}

std::string ClassName(const std::string& name, int ordinal) {
  switch (ordinal) {
    case 0x80: return "button";
    case 0x81: return "edit";
    case 0x82: return "static";
    case 0x83: return "listbox";
    case 0x84: return "scrollbar";
    case 0x85: return "combobox";
    default: break;
  }
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool ReadCoordinates(ByteReader& reader, int& x, int& y, int& cx, int& cy) {
  std::uint16_t values[4];
  for (std::uint16_t& value : values)
    if (!reader.Word(value)) return false;
  x = static_cast<std::int16_t>(values[0]);
  y = static_cast<std::int16_t>(values[1]);
  cx = static_cast<std::int16_t>(values[2]);
  cy = static_cast<std::int16_t>(values[3]);
  return true;
}

bool ReadItem(ByteReader& reader, DialogItemTemplate& item) {
  std::uint16_t id, extraBytes;
  std::string className;
  int classOrdinal, textOrdinal;
  if (!reader.AlignTo(4) || !reader.Dword(item.style) || !reader.Dword(item.exStyle) ||
      !ReadCoordinates(reader, item.x, item.y, item.cx, item.cy) || !reader.Word(id) ||
      !ReadStringOrOrdinal(reader, className, classOrdinal) || !ReadStringOrOrdinal(reader, item.text, textOrdinal))
    return false;
  item.id = id == 0xFFFF ? -1 : id;
  item.className = ClassName(className, classOrdinal);
  // Creation data: its size word counts itself.
  if (!reader.Word(extraBytes)) return false;
  return extraBytes <= 2 || reader.Skip(extraBytes - 2u);
}

}  // namespace

bool ParseDialogTemplate(const std::uint8_t* bytes, std::size_t size, DialogTemplate& parsed) {
  ByteReader reader{bytes, size};
  std::uint16_t count;
  std::string menu, className;
  int menuOrdinal, classOrdinal;
  parsed = DialogTemplate{};
  if (!reader.Dword(parsed.style) || !reader.Dword(parsed.exStyle)) return false;
  if ((parsed.style & 0xFFFF0000u) == 0xFFFF0000u) return false;  // version 1, signature 0xFFFF: extended
  if (!reader.Word(count) || !ReadCoordinates(reader, parsed.x, parsed.y, parsed.cx, parsed.cy) ||
      !ReadStringOrOrdinal(reader, menu, menuOrdinal) || !ReadStringOrOrdinal(reader, className, classOrdinal) ||
      !ReadString(reader, parsed.title))
    return false;
  if (parsed.style & DS_SETFONT) {
    std::uint16_t points;
    if (!reader.Word(points) || !ReadString(reader, parsed.typeface)) return false;
    parsed.pointSize = points;
  }
  // Items are kept as they are read: the count alone must not make a damaged template allocate.
  for (int i = 0; i < count; ++i) {
    DialogItemTemplate item;
    if (!ReadItem(reader, item)) return false;
    parsed.items.push_back(std::move(item));
  }
  return true;
}

}  // namespace vemora::platform
