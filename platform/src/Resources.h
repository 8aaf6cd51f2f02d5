// The program's own resources: the windres output of its .rc file, linked into the program
// (see platform/entry/Resources.cpp), read the way Windows reads a module's resources.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vemora::platform {

constexpr std::uint16_t kIconResource = 3;
constexpr std::uint16_t kDialogResource = 5;
constexpr std::uint16_t kGroupIconResource = 14;

struct ResourceData {
  const std::uint8_t* bytes = nullptr;
  std::size_t size = 0;
};

// The resource of `type` with the ordinal name `id`; false when the program has none.
bool FindProgramResource(std::uint16_t type, std::uint16_t id, ResourceData& found);
// The same lookup in any resource file image (for the program's, and for checks of others).
bool FindResourceIn(const std::uint8_t* file, std::size_t size, std::uint16_t type, std::uint16_t id,
                    ResourceData& found);

// Little-endian reads that never leave [bytes, bytes + size): false when the value does not fit.
struct ByteReader {
  const std::uint8_t* bytes;
  std::size_t size;
  std::size_t at = 0;

  bool Word(std::uint16_t& value);
  bool Dword(std::uint32_t& value);
  bool Skip(std::size_t count);
  bool AlignTo(std::size_t boundary);  // relative to `bytes`
};

}  // namespace vemora::platform
