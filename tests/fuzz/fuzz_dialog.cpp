// Feeds arbitrary bytes to the resource file reader and the dialog template parser: as a resource
// file whose dialog 1 is parsed, and as a template by itself. A parsed template must stay within
// what it was read from.
#include <cstddef>
#include <cstdint>

#include "DialogTemplate.h"
#include "Resources.h"

namespace {

void Parse(const std::uint8_t* bytes, std::size_t size) {
  vemora::platform::DialogTemplate parsed;
  if (!vemora::platform::ParseDialogTemplate(bytes, size, parsed)) return;
  std::size_t text = parsed.title.size() + parsed.typeface.size();
  for (const auto& item : parsed.items) text += item.text.size() + item.className.size();
  // Each character read takes two bytes and becomes at most three of UTF-8.
  if (text > size * 2) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vemora::platform::ResourceData found;
  if (vemora::platform::FindResourceIn(data, size, vemora::platform::kDialogResource, 1, found)) {
    if (found.bytes < data || found.size > size || found.bytes + found.size > data + size) __builtin_trap();
    Parse(found.bytes, found.size);
  }
  Parse(data, size);
  return 0;
}
