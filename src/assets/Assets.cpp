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

// Content not yet authored is an empty asset; the loaders refuse it cleanly.
#define MISSING_ASSET(accessor) \
  Asset accessor() { return {nullptr, 0}; }

EMBED_ASSET(SongImage, vemoraSong, "song.xm")
MISSING_ASSET(UpperLogoImage)
MISSING_ASSET(LowerLogoImage)
MISSING_ASSET(TitleImage)
MISSING_ASSET(RotoTextureImage)
MISSING_ASSET(RotoFrameImage)
MISSING_ASSET(WaterBackgroundImage)
MISSING_ASSET(WaterBallImage)
MISSING_ASSET(WaterLensImage)
MISSING_ASSET(FontData)
