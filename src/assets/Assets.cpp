#include "assets/Assets.h"

// Files are pulled in with the assembler's .incbin, so a 3 MB song costs nothing to compile.
// Each target's assembler wants the data placed its own way: wasm objects keep every data
// symbol in a section of its own, with a type and a size, and have no section stack.
#if defined(__wasm__)
#define ASSET_SECTION(symbol) ".section .rodata." #symbol ",\"\",@\n"
#define ASSET_SECTION_END ""
#elif defined(_WIN32)
#define ASSET_SECTION(symbol) ".section .rdata,\"dr\"\n"
#define ASSET_SECTION_END ".text\n"
#else
#define ASSET_SECTION(symbol) ".section .rodata\n"
#define ASSET_SECTION_END ".previous\n"
#endif
#if defined(_WIN32) && !defined(_WIN64)
#define ASSET_SYMBOL(name) "_" #name  // i686 COFF symbols carry a leading underscore
#else
#define ASSET_SYMBOL(name) #name
#endif
#if defined(_WIN32)
#define ASSET_OBJECT(label) ""  // COFF symbols have no object type or size
#define ASSET_SIZE(label, bytes) ""
#else
#define ASSET_OBJECT(label) ".type " label ",@object\n"
#define ASSET_SIZE(label, bytes) ".size " label ", " bytes "\n"
#endif

#define EMBED_ASSET(accessor, symbol, file)                                                         \
  extern "C" const unsigned char symbol[];                                                          \
  extern "C" const unsigned char symbol##End[];                                                     \
  __asm__(ASSET_SECTION(symbol) ".global " ASSET_SYMBOL(symbol) "\n" ASSET_OBJECT(ASSET_SYMBOL(symbol)) \
          ".balign 16\n" ASSET_SYMBOL(symbol) ":\n.incbin \"" VEMORA_ASSET_DIR "/" file "\"\n"            \
          ASSET_SIZE(ASSET_SYMBOL(symbol), ". - " ASSET_SYMBOL(symbol))                               \
          ".global " ASSET_SYMBOL(symbol##End) "\n" ASSET_OBJECT(ASSET_SYMBOL(symbol##End))            \
          ASSET_SYMBOL(symbol##End) ":\n.byte 0\n" ASSET_SIZE(ASSET_SYMBOL(symbol##End), "1")          \
          ASSET_SECTION_END);                                                                       \
  Asset accessor() { return {symbol, static_cast<int>(symbol##End - symbol)}; }

EMBED_ASSET(SongImage, vemoraSong, "song.xm")
EMBED_ASSET(UpperLogoImage, vemoraUpperLogo, "logo_upper.pcx")
EMBED_ASSET(LowerLogoImage, vemoraLowerLogo, "logo_lower.pcx")
EMBED_ASSET(TitleImage, vemoraTitle, "title.pcx")
EMBED_ASSET(RotoTextureImage, vemoraRotoTexture, "roto_texture.pcx")
EMBED_ASSET(RotoFrameImage, vemoraRotoFrame, "roto_frame.pcx")
EMBED_ASSET(WaterBackgroundImage, vemoraWaterBackground, "water_background.pcx")
EMBED_ASSET(WaterBallImage, vemoraWaterBall, "water_ball.pcx")
EMBED_ASSET(WaterLensImage, vemoraWaterLens, "water_lens.pcx")
EMBED_ASSET(FontData, vemoraFontData, "font.bin")
