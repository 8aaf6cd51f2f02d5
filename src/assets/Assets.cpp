#include "assets/Assets.h"

#include "assets/EmbeddedFile.h"

#define EMBED_ASSET(accessor, symbol, file)                                         \
  extern "C" const unsigned char symbol[];                                          \
  extern "C" const unsigned char symbol##End[];                                     \
  __asm__(EMBEDDED_FILE(symbol, VEMORA_ASSET_DIR "/" file));                        \
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
