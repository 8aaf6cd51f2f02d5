#include "Icons.h"

#include <cstdlib>

#include "Resources.h"

namespace vemora::platform {

namespace {

constexpr std::uintptr_t kIconBase = 0x03000000;
constexpr std::uintptr_t kProgramIcons = 0x03100000;  // from the program's resources

std::uint16_t ResourceIdOf(HICON icon) {
  const auto value = reinterpret_cast<std::uintptr_t>(icon);
  return value >= kProgramIcons && value < kProgramIcons + 0x10000 ? static_cast<std::uint16_t>(value - kProgramIcons) : 0;
}

// The group's entry nearest to the preferred size: its RT_ICON id.
bool ChooseEntry(const ResourceData& group, int preferred, std::uint16_t& id) {
  ByteReader reader{group.bytes, group.size};
  std::uint16_t reserved, type, count;
  if (!reader.Word(reserved) || !reader.Word(type) || !reader.Word(count) || type != 1) return false;
  int best = -1;
  for (std::uint16_t n = 0; n < count; ++n) {
    std::uint32_t sizes, bytes;
    std::uint16_t planes, bits, entryId;
    if (!reader.Dword(sizes) || !reader.Word(planes) || !reader.Word(bits) || !reader.Dword(bytes) || !reader.Word(entryId))
      return false;
    const int width = (sizes & 0xFF) == 0 ? 256 : static_cast<int>(sizes & 0xFF);
    if (best < 0 || std::abs(width - preferred) < std::abs(best - preferred)) {
      best = width;
      id = entryId;
    }
  }
  return best > 0;
}

// A 32-bit device-independent picture of twice the icon's height (colours, then the mask).
bool DecodeIcon(const ResourceData& data, IconImage& image) {
  ByteReader reader{data.bytes, data.size};
  std::uint32_t headerSize, width, doubleHeight;
  std::uint16_t planes, bits;
  if (!reader.Dword(headerSize) || !reader.Dword(width) || !reader.Dword(doubleHeight) || !reader.Word(planes) ||
      !reader.Word(bits) || bits != 32 || width == 0 || width > 256 || doubleHeight != width * 2 ||
      !reader.Skip(headerSize - 16) || data.size - reader.at < std::size_t{width} * width * 4)
    return false;
  image.size = static_cast<int>(width);
  image.pixels.assign(std::size_t{width} * width, 0);
  for (std::uint32_t row = 0; row < width; ++row)  // bottom row first
    for (std::uint32_t x = 0; x < width; ++x) reader.Dword(image.pixels[(width - 1 - row) * width + x]);
  return true;
}

}  // namespace

bool ProgramIconImage(HICON icon, int preferred, IconImage& image) {
  ResourceData group, picture;
  std::uint16_t id = 0;
  const std::uint16_t groupId = ResourceIdOf(icon);
  return groupId != 0 && FindProgramResource(kGroupIconResource, groupId, group) && ChooseEntry(group, preferred, id) &&
         FindProgramResource(kIconResource, id, picture) && DecodeIcon(picture, image);
}

}  // namespace vemora::platform

using namespace vemora::platform;

// A handle names the resource it came from: the program's own icons, or the system's.
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;
  const auto id = static_cast<std::uint16_t>(reinterpret_cast<std::uintptr_t>(name));
  if (instance == nullptr) return reinterpret_cast<HICON>(kIconBase + id);
  ResourceData group;
  if (!FindProgramResource(kGroupIconResource, id, group)) return nullptr;
  return reinterpret_cast<HICON>(kProgramIcons + id);
}
