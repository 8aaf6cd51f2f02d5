// The program's resource script as both Windows toolchains compile it: the icon and the Settings
// dialog go into the 32- and the 64-bit program alike, the same bytes as the Linux build embeds.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kSource = VEMORA_SOURCE_DIR;
const std::string kScript = kSource + "/src/app/vemora.rc";
constexpr uint16_t kIcon = 3, kDialog = 5, kGroupIcon = 14;

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[256];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  pclose(pipe);
  return out;
}

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

// (type, name) -> data of every resource with ordinal type and name in a .res file.
std::map<std::pair<uint16_t, uint16_t>, std::vector<uint8_t>> Resources(const std::vector<uint8_t>& file) {
  std::map<std::pair<uint16_t, uint16_t>, std::vector<uint8_t>> found;
  for (size_t at = 0; at + 16 <= file.size();) {
    const uint32_t dataSize = Le32(file, at), headerSize = Le32(file, at + 4);
    if (headerSize < 16 || at + headerSize + dataSize > file.size()) break;
    if (Le16(file, at + 8) == 0xFFFF && Le16(file, at + 12) == 0xFFFF) {
      const auto first = file.begin() + static_cast<std::ptrdiff_t>(at + headerSize);
      found[{static_cast<uint16_t>(Le16(file, at + 10)), static_cast<uint16_t>(Le16(file, at + 14))}] =
          std::vector<uint8_t>(first, first + dataSize);
    }
    at += (headerSize + dataSize + 3) / 4 * 4;
  }
  return found;
}

class Toolchain : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (Output(std::string("command -v ") + GetParam() + "-windres").empty())
      GTEST_SKIP() << GetParam() << "-windres is not installed";
    dir_ = fs::temp_directory_path() / ("vemora-res-" + std::string(GetParam()) + "-" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }
  // Compiles the script as the Windows build does (the source folder is on the include path).
  std::string Compile(const char* format, const std::string& out) {
    return Output(std::string(GetParam()) + "-windres -I '" + kSource + "/src' -O " + format + " '" + kScript + "' -o '" +
                  out + "'");
  }
  fs::path dir_;
};

TEST_P(Toolchain, PutsTheIconAndTheSettingsDialogIntoTheProgram) {
  const std::string object = (dir_ / "vemora.o").string(), res = (dir_ / "vemora.res").string();
  ASSERT_EQ(Compile("coff", object), "");
  const std::string objdump = std::string(GetParam()) + "-objdump";
  EXPECT_NE(Output(objdump + " -f '" + object + "'").find(GetParam()[0] == 'i' ? "pe-i386" : "pe-x86-64"), std::string::npos);
  EXPECT_NE(Output(objdump + " -h '" + object + "'").find(".rsrc"), std::string::npos);

  ASSERT_EQ(Compile("res", res), "");
  auto resources = Resources(ReadFile(res));
  // The dialog: caption "Settings" and its fourteen controls.
  const std::vector<uint8_t>& dialog = resources[{kDialog, 1}];
  ASSERT_GT(dialog.size(), 40u);
  EXPECT_EQ(Le16(dialog, 8), 14u);
  const std::u16string caption = u"Settings";
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(dialog.data() + 22), caption.size()), caption);
  // The icon group: the 16 and the 32 pixel pictures of the committed .ico, 32 bits each.
  const std::vector<uint8_t>& group = resources[{kGroupIcon, 1}];
  ASSERT_EQ(group.size(), 6u + 2 * 14);
  ASSERT_EQ(Le16(group, 4), 2u);
  const std::vector<uint8_t> ico = ReadFile(kSource + "/src/assets/vemora.ico");
  ASSERT_EQ(Le16(ico, 4), 2u);
  for (size_t n = 0; n < 2; ++n) {
    const size_t entry = 6 + n * 14, icoEntry = 6 + n * 16;
    EXPECT_EQ(group[entry], n == 0 ? 16 : 32);
    EXPECT_EQ(Le16(group, entry + 6), 32u);
    const std::vector<uint8_t>& picture = resources[{kIcon, static_cast<uint16_t>(Le16(group, entry + 12))}];
    const auto first = ico.begin() + Le32(ico, icoEntry + 12);
    EXPECT_TRUE(picture == std::vector<uint8_t>(first, first + Le32(ico, icoEntry + 8))) << "picture " << n;
  }
  // The Linux build embeds the same resources.
  const std::vector<uint8_t> embedded = ReadFile(std::string(VEMORA_BIN_DIR) + "/../src/vemora_system.res");
  ASSERT_FALSE(embedded.empty());
  EXPECT_TRUE(Resources(embedded) == resources);
}

INSTANTIATE_TEST_SUITE_P(Windows, Toolchain, ::testing::Values("i686-w64-mingw32", "x86_64-w64-mingw32"));

TEST(Install, PutsTheProgramTheToolsADesktopEntryAndTheIconsUnderThePrefix) {
  const fs::path prefix = fs::temp_directory_path() / ("vemora-install-" + std::to_string(getpid()));
  const std::string build = std::string(VEMORA_BIN_DIR) + "/..";
  const std::string log = Output("cmake --install '" + build + "' --prefix '" + prefix.string() + "'");
  for (const char* program : {"vemora", "xmrender", "makesong", "makepictures", "makefont", "makeicon"}) {
    const fs::path path = prefix / "bin" / program;
    EXPECT_TRUE(fs::exists(path) && (fs::status(path).permissions() & fs::perms::owner_exec) != fs::perms::none)
        << program << "\n" << log;
  }
  const std::string entry = (prefix / "share/applications/vemora.desktop").string();
  const std::vector<uint8_t> text = ReadFile(entry);
  EXPECT_NE(std::string(text.begin(), text.end()).find("\nExec=" + (prefix / "bin/vemora").string() + "\n"), std::string::npos);
  if (!Output("command -v desktop-file-validate").empty()) {
    EXPECT_EQ(Output("desktop-file-validate '" + entry + "'"), "");
  }
  for (int size : {16, 32, 48, 256}) {
    const std::string dir = std::to_string(size) + "x" + std::to_string(size);
    EXPECT_TRUE(ReadFile((prefix / "share/icons/hicolor" / dir / "apps/vemora.png").string()) ==
                ReadFile(kSource + "/src/assets/vemora-" + std::to_string(size) + ".png"))
        << dir;
  }
  // The installed program runs from there (--help needs no display).
  EXPECT_EQ(Output("'" + (prefix / "bin/vemora").string() + "' --help").rfind("Usage: vemora", 0), 0u);
  std::error_code ignored;
  fs::remove_all(prefix, ignored);
}

}  // namespace
