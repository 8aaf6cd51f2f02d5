#include "IconFiles.h"

#include <algorithm>
#include <array>

namespace {

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  // Least significant bit first, as deflate packs its fields.
  void Bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
  }
  // Huffman codes go most significant bit first.
  void Code(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
  }
  void Flush() {
    if (used_ > 0) out_.push_back(current_);
    current_ = 0;
    used_ = 0;
  }

 private:
  void Bit(uint32_t bit) {
    current_ |= static_cast<uint8_t>(bit << used_);
    if (++used_ == 8) Flush();
  }
  std::vector<uint8_t>& out_;
  uint8_t current_ = 0;
  int used_ = 0;
};

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistanceBase = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                               33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr int kWindow = 32768, kMinMatch = 3, kMaxMatch = 258, kChainLimit = 64;

// The fixed literal/length code of deflate.
void Symbol(BitWriter& bits, int symbol) {
  if (symbol < 144)
    bits.Code(0x30 + symbol, 8);
  else if (symbol < 256)
    bits.Code(0x190 + symbol - 144, 9);
  else if (symbol < 280)
    bits.Code(symbol - 256, 7);
  else
    bits.Code(0xC0 + symbol - 280, 8);
}

// Index of the last table entry whose base is at most value.
template <size_t N>
int Bucket(const std::array<int, N>& bases, int value) {
  return static_cast<int>(std::upper_bound(bases.begin(), bases.end(), value) - bases.begin()) - 1;
}

void Match(BitWriter& bits, int length, int distance) {
  const int l = Bucket(kLengthBase, length), d = Bucket(kDistanceBase, distance);
  Symbol(bits, 257 + l);
  bits.Bits(static_cast<uint32_t>(length - kLengthBase[l]), kLengthExtra[l]);
  bits.Code(static_cast<uint32_t>(d), 5);
  bits.Bits(static_cast<uint32_t>(distance - kDistanceBase[d]), kDistanceExtra[d]);
}

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

uint32_t Adler32(const std::vector<uint8_t>& data) {
  uint32_t a = 1, b = 0;
  for (uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

void Big32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}
void Little16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void Little32(std::vector<uint8_t>& out, uint32_t value) {
  Little16(out, value & 0xFFFF);
  Little16(out, value >> 16);
}

void Chunk(std::vector<uint8_t>& png, const char type[4], const std::vector<uint8_t>& body) {
  Big32(png, static_cast<uint32_t>(body.size()));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), body.begin(), body.end());
  Big32(png, Crc32(png.data() + start, png.size() - start));
}

}  // namespace

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out = {0x78, 0x01};
  BitWriter bits(out);
  bits.Bits(1, 1);  // the only block
  bits.Bits(1, 2);  // fixed codes
  // Chains of earlier positions with the same three bytes, newest first.
  std::vector<int> head(1 << 15, -1), previous(data.size(), -1);
  const auto hash = [&](size_t at) { return (data[at] << 10 ^ data[at + 1] << 5 ^ data[at + 2]) & 0x7FFF; };
  const auto insert = [&](size_t at) {
    if (at + kMinMatch > data.size()) return;
    previous[at] = head[hash(at)];
    head[hash(at)] = static_cast<int>(at);
  };
  for (size_t at = 0; at < data.size();) {
    int bestLength = 0, bestDistance = 0;
    if (at + kMinMatch <= data.size()) {
      int candidate = head[hash(at)];
      for (int chain = 0; candidate >= 0 && chain < kChainLimit && at - candidate <= kWindow; ++chain) {
        const int limit = static_cast<int>(std::min<size_t>(kMaxMatch, data.size() - at));
        int length = 0;
        while (length < limit && data[candidate + length] == data[at + length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          bestDistance = static_cast<int>(at - candidate);
        }
        candidate = previous[candidate];
      }
    }
    if (bestLength >= kMinMatch) {
      Match(bits, bestLength, bestDistance);
      for (int i = 0; i < bestLength; ++i) insert(at + i);
      at += bestLength;
    } else {
      Symbol(bits, data[at]);
      insert(at);
      ++at;
    }
  }
  Symbol(bits, 256);
  bits.Flush();
  Big32(out, Adler32(data));
  return out;
}

std::vector<uint8_t> EncodePng(const IconPicture& picture) {
  const int size = picture.size;
  // Each row filtered by the difference to the pixel on its left ("Sub"): smooth shading repeats.
  std::vector<uint8_t> rows;
  for (int y = 0; y < size; ++y) {
    rows.push_back(1);
    for (int x = 0; x < size; ++x) {
      const uint32_t p = picture.pixels[static_cast<size_t>(y) * size + x];
      const uint32_t left = x > 0 ? picture.pixels[static_cast<size_t>(y) * size + x - 1] : 0;
      for (int shift : {16, 8, 0, 24}) rows.push_back(static_cast<uint8_t>((p >> shift) - (left >> shift)));
    }
  }
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  Big32(header, static_cast<uint32_t>(size));
  Big32(header, static_cast<uint32_t>(size));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, adaptive filters, no interlace
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", Deflate(rows));
  Chunk(png, "IEND", {});
  return png;
}

std::vector<uint8_t> EncodeIco(const std::vector<IconPicture>& pictures) {
  std::vector<uint8_t> ico;
  Little16(ico, 0);
  Little16(ico, 1);
  Little16(ico, static_cast<uint32_t>(pictures.size()));
  std::vector<uint8_t> images;
  for (const IconPicture& picture : pictures) {
    const int size = picture.size;
    const uint32_t maskRow = static_cast<uint32_t>((size + 31) / 32 * 4);
    std::vector<uint8_t> image;
    Little32(image, 40);  // BITMAPINFOHEADER: twice the height, the colours then the mask
    Little32(image, static_cast<uint32_t>(size));
    Little32(image, static_cast<uint32_t>(size * 2));
    Little16(image, 1);
    Little16(image, 32);
    Little32(image, 0);
    Little32(image, static_cast<uint32_t>(size * size * 4) + maskRow * size);
    for (int i = 0; i < 4; ++i) Little32(image, 0);
    for (int y = size - 1; y >= 0; --y)
      for (int x = 0; x < size; ++x) Little32(image, picture.pixels[static_cast<size_t>(y) * size + x]);
    // The mask, for systems without alpha: set where the picture is mostly transparent.
    for (int y = size - 1; y >= 0; --y) {
      std::vector<uint8_t> row(maskRow, 0);
      for (int x = 0; x < size; ++x)
        if ((picture.pixels[static_cast<size_t>(y) * size + x] >> 24) < 128) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      image.insert(image.end(), row.begin(), row.end());
    }
    ico.push_back(static_cast<uint8_t>(size >= 256 ? 0 : size));
    ico.push_back(static_cast<uint8_t>(size >= 256 ? 0 : size));
    ico.insert(ico.end(), {0, 0});
    Little16(ico, 1);
    Little16(ico, 32);
    Little32(ico, static_cast<uint32_t>(image.size()));
    Little32(ico, static_cast<uint32_t>(6 + 16 * pictures.size() + images.size()));
    images.insert(images.end(), image.begin(), image.end());
  }
  ico.insert(ico.end(), images.begin(), images.end());
  return ico;
}
