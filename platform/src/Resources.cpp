#include "Resources.h"

// Linked in by programs that carry resources; absent (null) in those that do not.
extern "C" {
__attribute__((weak)) extern const unsigned char vemoraResources[];
__attribute__((weak)) extern const unsigned char vemoraResourcesEnd[];
}

namespace vemora::platform {

bool ByteReader::Word(std::uint16_t& value) {
  if (at > size || size - at < 2) return false;
  value = static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
  at += 2;
  return true;
}

bool ByteReader::Dword(std::uint32_t& value) {
  std::uint16_t low, high;
  if (!Word(low) || !Word(high)) return false;
  value = low | static_cast<std::uint32_t>(high) << 16;
  return true;
}

bool ByteReader::Skip(std::size_t count) {
  if (at > size || size - at < count) return false;
  at += count;
  return true;
}

bool ByteReader::AlignTo(std::size_t boundary) { return Skip((boundary - at % boundary) % boundary); }

namespace {

// A type or name field: an ordinal (0xFFFF, value) or a NUL-terminated UTF-16 string.
bool ReadNameField(ByteReader& reader, bool& ordinal, std::uint16_t& value) {
  if (!reader.Word(value)) return false;
  ordinal = value == 0xFFFF;
  if (ordinal) return reader.Word(value);
  while (value != 0)
    if (!reader.Word(value)) return false;
  return true;
}

}  // namespace

bool FindResourceIn(const std::uint8_t* file, std::size_t size, std::uint16_t type, std::uint16_t id,
                    ResourceData& found) {
  if (file == nullptr) return false;
  std::size_t entry = 0;
  while (entry < size && size - entry >= 8) {
    ByteReader reader{file + entry, size - entry};
    std::uint32_t dataSize, headerSize;
    bool typeOrdinal, nameOrdinal;
    std::uint16_t typeValue, nameValue;
    if (!reader.Dword(dataSize) || !reader.Dword(headerSize) || !ReadNameField(reader, typeOrdinal, typeValue) ||
        !ReadNameField(reader, nameOrdinal, nameValue))
      return false;
    if (headerSize < reader.at || headerSize > reader.size || dataSize > reader.size - headerSize) return false;
    if (typeOrdinal && nameOrdinal && typeValue == type && nameValue == id) {
      found = {file + entry + headerSize, dataSize};
      return true;
    }
    const std::size_t next = headerSize + std::size_t{dataSize};
    entry += next + (4 - next % 4) % 4;
  }
  return false;
}

bool FindProgramResource(std::uint16_t type, std::uint16_t id, ResourceData& found) {
  if (vemoraResources == nullptr || vemoraResourcesEnd == nullptr) return false;
  return FindResourceIn(vemoraResources, static_cast<std::size_t>(vemoraResourcesEnd - vemoraResources), type, id,
                        found);
}

}  // namespace vemora::platform
