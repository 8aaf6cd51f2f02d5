#include "assets/Assets.h"

// Files are pulled in with the assembler's .incbin, so a 3 MB song costs nothing to compile.
#if defined(_WIN32)
#define ASSET_SECTION ".section .rdata,\"dr\"\n"
#define ASSET_SECTION_END ".text\n"
#else
#define ASSET_SECTION ".section .rodata\n"
#define ASSET_SECTION_END ".previous\n"
#endif
#if defined(_WIN32) && !defined(_WIN64)
#define ASSET_SYMBOL(name) "_" #name  // i686 COFF symbols carry a leading underscore
#else
#define ASSET_SYMBOL(name) #name
#endif

#define EMBED_ASSET(accessor, symbol, file)                                                   \
  extern "C" const unsigned char symbol[];                                                    \
  extern "C" const unsigned char symbol##End[];                                               \
  __asm__(ASSET_SECTION ".global " ASSET_SYMBOL(symbol) "\n.balign 16\n" ASSET_SYMBOL(symbol) \
          ":\n.incbin \"" VEMORA_ASSET_DIR "/" file "\"\n.global " ASSET_SYMBOL(symbol##End)  \
          "\n" ASSET_SYMBOL(symbol##End) ":\n.byte 0\n" ASSET_SECTION_END);                          \
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
