// The show's content, embedded in the program at build time from the files in this folder.
#pragma once

struct Asset {
  const unsigned char* data;
  int size;
};

// Each accessor returns the exact stored bytes of one file of src/assets.
Asset SongImage();        // song.xm
Asset UpperLogoImage();   // logo_upper.pcx
Asset LowerLogoImage();   // logo_lower.pcx
Asset TitleImage();       // title.pcx
Asset RotoTextureImage(); // roto_texture.pcx
Asset RotoFrameImage();   // roto_frame.pcx
Asset WaterBackgroundImage();  // water_background.pcx
Asset WaterBallImage();   // water_ball.pcx
Asset WaterLensImage();   // water_lens.pcx
Asset FontData();         // font.bin
