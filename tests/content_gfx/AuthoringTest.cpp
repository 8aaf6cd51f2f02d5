// The committed content against the programs that make it, and against an independent reader.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "GfxTestSupport.h"
#include "effects/Pcx.h"

namespace {

using namespace gfxtest;
namespace fs = std::filesystem;

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "vemora-gfx-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string Quote(const std::string& s) { return "'" + s + "'"; }

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return out;
  char buffer[256];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  pclose(pipe);
  return out;
}

bool HaveTool(const char* name) { return Shell(std::string("command -v ") + name) == 0; }

const std::string kGlyphs = std::string(VEMORA_SOURCE_DIR) + "/tools/content/font/glyphs.txt";

TEST(Authoring, FontProgramReproducesTheCommittedFont) {
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string out = dir.path() + "/font.bin";
  ASSERT_EQ(Shell(Quote(std::string(VEMORA_BIN_DIR) + "/makefont") + " " + Quote(kGlyphs) + " " + Quote(out)), 0);
  std::vector<uint8_t> made = ReadFile(out), committed = ReadFile(AssetPath("font.bin"));
  ASSERT_FALSE(committed.empty());
  EXPECT_TRUE(made == committed);
}

TEST(Authoring, PictureProgramReproducesTheCommittedPictures) {
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  ASSERT_EQ(Shell(Quote(std::string(VEMORA_BIN_DIR) + "/makepictures") + " " + Quote(kGlyphs) + " " + Quote(dir.path())), 0);
  for (const PictureInfo& info : Pictures()) {
    std::vector<uint8_t> made = ReadFile(dir.path() + "/" + info.file), committed = ReadFile(AssetPath(info.file));
    ASSERT_FALSE(committed.empty()) << info.file;
    EXPECT_TRUE(made == committed) << info.file << " differs from what the program makes";
  }
}

const char* const kIconFiles[] = {"vemora.ico", "vemora-16.png", "vemora-32.png", "vemora-48.png", "vemora-256.png"};

TEST(Authoring, IconProgramReproducesTheCommittedIcons) {
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  ASSERT_EQ(Shell(Quote(std::string(VEMORA_BIN_DIR) + "/makeicon") + " " + Quote(dir.path())), 0);
  for (const char* file : kIconFiles) {
    std::vector<uint8_t> made = ReadFile(dir.path() + "/" + file), committed = ReadFile(AssetPath(file));
    ASSERT_FALSE(committed.empty()) << file;
    EXPECT_TRUE(made == committed) << file << " differs from what the program makes";
  }
}

TEST(Authoring, DialogFaceProgramReproducesTheCommittedFace) {
  const std::string program = std::string(VEMORA_BIN_DIR) + "/makedialogface";
  const std::string font = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
  if (!fs::exists(program)) GTEST_SKIP() << "this build has no SDL host, so no makedialogface";
  ASSERT_TRUE(fs::exists(font)) << "fonts-liberation2 is not installed";
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string out = dir.path() + "/BuiltInFaceData.cpp";
  ASSERT_EQ(Shell(Quote(program) + " " + Quote(font) + " " + Quote(out)), 0);
  std::vector<uint8_t> made = ReadFile(out),
                       committed = ReadFile(std::string(VEMORA_SOURCE_DIR) + "/platform/src/BuiltInFaceData.cpp");
  ASSERT_FALSE(committed.empty());
  EXPECT_TRUE(made == committed);
  EXPECT_NE(Shell(Quote(program) + " " + Quote(dir.path() + "/missing.ttf") + " " + Quote(out)), 0);
}

TEST(Authoring, FontProgramRejectsABrokenDescription) {
  ScratchDir dir;
  const std::string broken = dir.path() + "/broken.txt";
  FILE* f = std::fopen(broken.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("glyph 65 10 3,3,3\na ###\n", f);  // bands wider than the advance
  std::fclose(f);
  EXPECT_NE(Shell(Quote(std::string(VEMORA_BIN_DIR) + "/makefont") + " " + Quote(broken) + " " + Quote(dir.path() + "/x.bin")), 0);
}

TEST(ImageTools, IdentifyReadsEveryPictureAtItsSize) {
  if (!HaveTool("identify")) GTEST_SKIP() << "ImageMagick's identify is not installed";
  for (const PictureInfo& info : Pictures()) {
    std::string size = Output("identify -format '%w %h %m' " + Quote(AssetPath(info.file)));
    EXPECT_EQ(size, std::to_string(info.width) + " " + std::to_string(info.height) + " PCX") << info.file;
  }
}

TEST(ImageTools, ConvertTurnsEveryPictureIntoThePixelsOurDecoderSees) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
  ScratchDir dir;
  for (const PictureInfo& info : Pictures()) {
    SCOPED_TRACE(info.file);
    const std::string png = dir.path() + "/" + info.file + ".png";
    const std::string rgb = dir.path() + "/" + info.file + ".rgb";
    ASSERT_EQ(Shell("convert " + Quote(AssetPath(info.file)) + " " + Quote(png)), 0);
    EXPECT_GT(fs::file_size(png), 100u);
    ASSERT_EQ(Shell("convert " + Quote(AssetPath(info.file)) + " -depth 8 " + Quote("rgb:" + rgb)), 0);
    std::vector<uint8_t> theirs = ReadFile(rgb);
    std::vector<uint8_t> data = ReadFile(AssetPath(info.file));
    uint8_t *pixels = nullptr, *palette = nullptr;
    int32_t w = 0, h = 0;
    ASSERT_FALSE(PcxDecode(data.data(), static_cast<int32_t>(data.size()), &pixels, &palette, &w, &h));
    std::unique_ptr<uint8_t[]> ownPixels(pixels), ownPalette(palette);
    ASSERT_EQ(theirs.size(), static_cast<size_t>(w) * h * 3);
    size_t mismatches = 0;
    for (int i = 0; i < w * h; ++i)
      for (int c = 0; c < 3; ++c) mismatches += theirs[3 * i + c] != palette[4 * pixels[i] + c];
    EXPECT_EQ(mismatches, 0u);
  }
}

// Our PNGs (compressed by our own deflate) and the .ico, read by ImageMagick: every size is a tile
// with clear corners and a solid middle, and the .ico holds the same 16 and 32 pixel pictures.
TEST(ImageTools, ConvertReadsTheIconFilesAlike) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
  ScratchDir dir;
  auto rgba = [&](const std::string& source, const std::string& name) {
    const std::string out = dir.path() + "/" + name + ".rgba";
    EXPECT_EQ(Shell("convert " + Quote(source) + " -depth 8 " + Quote("rgba:" + out)), 0) << source;
    return ReadFile(out);
  };
  for (int size : {16, 32, 48, 256}) {
    SCOPED_TRACE(size);
    const std::vector<uint8_t> png = rgba(AssetPath("vemora-" + std::to_string(size) + ".png"), "png" + std::to_string(size));
    ASSERT_EQ(png.size(), static_cast<size_t>(size) * size * 4);
    EXPECT_LT(png[3], 16) << "the rounded corner is (nearly) clear";
    const size_t middle = (static_cast<size_t>(size / 2) * size + size / 2) * 4;
    EXPECT_EQ(png[middle + 3], 255);
    if (size <= 32) {
      EXPECT_TRUE(rgba(AssetPath("vemora.ico") + (size == 16 ? "[0]" : "[1]"), "ico" + std::to_string(size)) == png);
    }
  }
}

}  // namespace
