// XM loader: XMMusicPlayer::LoadFile, LoadMemory, ParseImage and Unload (declared in
// Xmplayer.h). The image comes from outside: every read is checked against its size and every
// size is computed in 64 bits.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "player/Modinfo.h"
#include "player/Xmplayer.h"

void* (*xmLoaderAllocate)(size_t count, size_t size) = calloc;

namespace {

constexpr const char kFormatName[] = "FastTracker II Module, F1.04";
constexpr int kMaxRows = 1024;
constexpr int kEmptyPatternRows = 64;
constexpr uint32_t kSampleHeaderBytes = 40;
constexpr uint32_t kInstrumentFieldBytes = 241;  // up to and including the fadeout word

class Reader {
 public:
  Reader(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}
  uint64_t size() const { return size_; }
  bool Has(uint64_t offset, uint64_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }
  // Callers check Has first.
  uint8_t U8(uint64_t o) const { return data_[o]; }
  uint16_t U16(uint64_t o) const { return static_cast<uint16_t>(data_[o] | data_[o + 1] << 8); }
  uint32_t U32(uint64_t o) const {
    return static_cast<uint32_t>(U16(o)) | static_cast<uint32_t>(U16(o + 2)) << 16;
  }
  const uint8_t* At(uint64_t o) const { return data_ + o; }

 private:
  const uint8_t* data_;
  uint64_t size_;
};

void AddMemory(int32_t& used, uint64_t bytes) {
  const uint64_t sum = static_cast<uint64_t>(used) + bytes;
  used = sum > INT_MAX ? INT_MAX : static_cast<int32_t>(sum);
}

// Unpacks one pattern; reads stop at the end of its packed data, later cells stay empty.
void DecodePattern(const Reader& in, uint64_t begin, uint64_t packedSize, PatternCell* cells,
                   uint64_t cellCount) {
  uint64_t end = begin + packedSize;
  if (end > in.size()) end = in.size();
  uint64_t src = begin;
  for (uint64_t c = 0; c < cellCount && src < end; c++) {
    uint8_t* cell = &cells[c].note;
    const uint8_t first = in.U8(src);
    if (first & 0x80) {
      src++;
      for (int bit = 0; bit < 5; bit++) {
        if (!(first & (1 << bit))) continue;
        if (src >= end) return;
        cell[bit] = in.U8(src++);
      }
    } else {
      for (int i = 0; i < 5 && src < end; i++) cell[i] = in.U8(src++);
    }
  }
}

struct EnvelopeSource {
  int points, sustain, loopStart, loopEnd;
};

// Copies 12 points and clamps the counts and indices to what the replay can index.
void CopyEnvelope(const Reader& in, uint64_t pointsAt, EnvelopePoint* out, EnvelopeSource s,
                  int32_t& points, int32_t& sustain, int32_t& loopStart, int32_t& loopEnd) {
  for (int i = 0; i < 12; i++) {
    out[i].tick = in.U16(pointsAt + 4 * i);
    const uint16_t v = in.U16(pointsAt + 4 * i + 2);
    out[i].value = v > 64 ? 64 : v;
  }
  points = s.points > 12 ? 12 : s.points;
  const int last = points > 0 ? points - 1 : 0;
  sustain = s.sustain > last ? last : s.sustain;
  loopStart = s.loopStart > last ? last : s.loopStart;
  loopEnd = s.loopEnd > last ? last : s.loopEnd;
}

// Fields of one sample header, as the loader keeps them before the data is placed.
struct SampleHeader {
  uint32_t length;  // bytes as stored
  uint32_t loopStart, loopLength;
  int volume, finetune, type, panning, relativeNote;
};

SampleHeader ReadSampleHeader(const Reader& in, uint64_t at) {
  SampleHeader h;
  h.length = in.U32(at);
  h.loopStart = in.U32(at + 4);
  h.loopLength = in.U32(at + 8);
  h.volume = in.U8(at + 12);
  h.finetune = static_cast<int8_t>(in.U8(at + 13));
  h.type = in.U8(at + 14);
  h.panning = in.U8(at + 15);
  h.relativeNote = static_cast<int8_t>(in.U8(at + 16));
  return h;
}

// Bytes a sample keeps: whole frames of its stored length. Data that the image's end cuts off
// plays as silence, as long as the silence of the whole song stays within the image's own size;
// beyond that the sample ends where the image does, so stored lengths cannot demand gigabytes.
uint64_t KeptLength(const SampleHeader& h, uint64_t present, uint64_t& silenceBudget) {
  uint64_t length = h.length;
  if (length > present) {
    const uint64_t missing = length - present;
    if (missing <= silenceBudget && length <= INT_MAX / 2) {
      silenceBudget -= missing;
    } else {
      length = present;
    }
  }
  return (h.type & 0x10) ? length & ~uint64_t{1} : length;
}

// Decodes the delta PCM of one sample into its record; `present` bytes are inside the image.
void PlaceSample(const Reader& in, uint64_t dataAt, uint64_t present, uint64_t length,
                 const SampleHeader& h, SampleRecord& s, int32_t& memoryUsed) {
  const int bpf = (h.type & 0x10) ? 2 : 1;
  s.bytesPerFrame = bpf;
  if (length == 0) return;  // format 0: an empty sample

  s.format = bpf == 2 ? 3 : 1;
  s.volume = h.volume > 64 ? 64 : h.volume;
  s.panning = h.panning;
  s.finetune = h.finetune;
  s.relativeNote = h.relativeNote;
  const int loopBits = h.type & 3;
  s.loopType = loopBits == 3 ? 0 : loopBits;
  uint8_t* data = static_cast<uint8_t*>(xmLoaderAllocate(length + 3 * bpf, 1));
  if (!data) return;
  uint64_t decoded = length < present ? length : present;
  decoded -= decoded % bpf;
  std::memset(data + decoded, 0, length - decoded + 3 * bpf);
  AddMemory(memoryUsed, length);
  s.data = data;
  s.length = static_cast<int32_t>(length);

  uint64_t loopStart = h.loopStart - h.loopStart % bpf;
  uint64_t loopEnd = loopStart + (h.loopLength - h.loopLength % bpf);
  if (loopEnd > length) loopEnd = length;
  if (loopStart > length) loopStart = length;
  if (loopStart >= loopEnd) s.loopType = 0;
  s.end = data + length;
  s.loopStart = data + loopStart;
  s.loopEnd = data + loopEnd;

  const uint8_t* src = decoded ? in.At(dataAt) : nullptr;
  if (bpf == 1) {
    int8_t acc = 0;
    for (uint64_t i = 0; i < decoded; i++) {
      acc = static_cast<int8_t>(acc + static_cast<int8_t>(src[i]));
      data[i] = static_cast<uint8_t>(acc);
    }
  } else {
    uint16_t acc = 0;
    for (uint64_t i = 0; i < decoded; i += 2) {
      acc = static_cast<uint16_t>(acc + (src[i] | src[i + 1] << 8));
      data[i] = static_cast<uint8_t>(acc);
      data[i + 1] = static_cast<uint8_t>(acc >> 8);
    }
  }
  if (s.loopType == 0) {
    s.end -= bpf;
  } else {
    // The interpolation reads one frame past the loop end: make it the loop start.
    std::memmove(s.loopEnd, s.loopStart, 2 * bpf);
  }
  s.valid = 1;
}

struct InstrumentLayout {
  uint64_t header;        // instrument header
  uint64_t sampleHeaders; // first sample header
  uint64_t sampleHeaderSize;
  uint32_t sampleCount;
};

char* CopyName(char* to, const uint8_t* from, int n, bool spaces) {
  for (int i = 0; i < n; i++) to[i] = (spaces && from[i] == 0) ? ' ' : static_cast<char>(from[i]);
  to[n] = 0;
  return to;
}

uint64_t AlignUp(uint64_t x, uint64_t a) { return (x + a - 1) / a * a; }

}  // namespace

bool XMMusicPlayer::LoadFile(const char* path, SongInfo** info) {
  Unload();
  if (info) *info = nullptr;
  if (!path) return true;
  FILE* f = std::fopen(path, "rb");
  if (!f) return true;
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  if (size <= 0 || size > INT_MAX || std::fseek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    return true;
  }
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
  if (!buffer) {
    std::fclose(f);
    return true;
  }
  const size_t got = std::fread(buffer, 1, static_cast<size_t>(size), f);
  std::fclose(f);
  bool failed = true;
  if (got == static_cast<size_t>(size)) {
    image = buffer;
    imageSize = static_cast<int32_t>(size);
    failed = ParseImage(info);
  }
  image = nullptr;
  imageSize = 0;
  std::free(buffer);
  SetPosition(0, 0);
  bpm = initialBpm;
  speed = initialSpeed;
  globalVolume = initialGlobalVolume;
  SetMixRate(mixRate);
  return failed;
}

bool XMMusicPlayer::LoadMemory(const void* data, int size, SongInfo** info) {
  Unload();
  if (info) *info = nullptr;
  if (!data || size <= 0) return true;
  image = static_cast<const uint8_t*>(data);
  imageSize = size;
  const bool failed = ParseImage(info);
  image = nullptr;
  imageSize = 0;
  return failed;
}

void XMMusicPlayer::Unload() {
  std::free(patternBlock);
  patternBlock = nullptr;
  for (InstrumentRecord*& slot : instruments) {
    if (!slot) continue;
    if (slot->samples) {
      for (int i = 0; i < slot->sampleCount; i++) std::free(slot->samples[i].data);
      std::free(slot->samples);
    }
    std::free(slot);
    slot = nullptr;
  }
  for (int i = 0; i < kMaxOrders; i++) {
    orderTable[i] = orderRows[i] = 0;
    orderData[i] = nullptr;
  }
  rowCursor = nullptr;
  image = nullptr;
  imageSize = 0;
  Reset();
}

bool XMMusicPlayer::ParseImage(SongInfo** info) {
  if (!image || imageSize <= 0) return true;
  const Reader in(image, static_cast<uint64_t>(imageSize));
  if (!in.Has(0, 336) || in.U16(58) != 0x0104) return true;

  // A failed parse leaves an empty player rather than half a song.
  auto fail = [this]() {
    const uint8_t* held = image;
    const int32_t heldSize = imageSize;
    Unload();
    image = held;
    imageSize = heldSize;
    return true;
  };

  const int channels = in.U16(68);
  const int length = in.U16(64);
  const int patterns = in.U16(70);
  const int instrumentTotal = in.U16(72);
  if (channels == 0 || channels > kMaxChannels || length == 0 || length > kMaxOrders ||
      patterns == 0 || patterns > kMaxPatterns || instrumentTotal > kMaxInstruments) {
    return true;
  }
  channelCount = channels;
  songLength = length;
  restartPosition = in.U16(66);
  patternCount = patterns;
  instrumentCount = instrumentTotal;
  if (in.U16(74) & 1) {
    periodFunction = LinearPeriod;
    stepFunction = LinearStep;
    amigaFrequencies = 0;
  } else {
    periodFunction = AmigaPeriod;
    stepFunction = AmigaStep;
    amigaFrequencies = 1;
  }
  initialBpm = in.U16(78);
  initialSpeed = in.U16(76);

  // Pattern headers: rows and where each packed block lies.
  int32_t rows[kMaxPatterns];
  uint64_t packedAt[kMaxPatterns], packedSize[kMaxPatterns];
  uint64_t cellOffset[kMaxPatterns];
  uint64_t totalRows = 0;
  uint64_t at = 60 + static_cast<uint64_t>(in.U32(60));
  for (int p = 0; p < patterns; p++) {
    if (!in.Has(at, 9)) return fail();
    int r = in.U16(at + 5);
    if (r == 0) r = kEmptyPatternRows;
    if (r > kMaxRows) return fail();
    rows[p] = r;
    cellOffset[p] = totalRows * channels;
    totalRows += r;
    packedAt[p] = at + in.U32(at);
    packedSize[p] = in.U16(at + 7);
    at = packedAt[p] + packedSize[p];
  }

  const uint64_t cellCount = totalRows * channels;
  patternBlock = static_cast<PatternCell*>(xmLoaderAllocate(cellCount, sizeof(PatternCell)));
  if (!patternBlock) return fail();
  AddMemory(memoryUsed, cellCount * sizeof(PatternCell));
  for (int p = 0; p < patterns; p++) {
    DecodePattern(in, packedAt[p], packedSize[p], patternBlock + cellOffset[p],
                  static_cast<uint64_t>(rows[p]) * channels);
  }

  // Instruments follow the last pattern; each one's sample headers, then its sample data.
  InstrumentLayout layout[kMaxInstruments] = {};
  uint64_t sampleHeadersRead = 0;
  uint64_t infoDataBytes = 0;
  uint64_t silenceBudget = in.size();
  for (int i = 0; i < instrumentTotal; i++) {
    if (!in.Has(at, 29)) return fail();
    layout[i].header = at;
    const uint32_t count = in.U16(at + 27);
    const uint64_t headerSize = in.U32(at);
    if (count == 0) {
      at += headerSize;
      continue;
    }
    if (!in.Has(at, kInstrumentFieldBytes)) return fail();
    // A header size below the fields read from it still steps over those fields.
    uint64_t sampleHeaderSize = in.U32(at + 29);
    if (sampleHeaderSize < kSampleHeaderBytes) sampleHeaderSize = kSampleHeaderBytes;
    const uint64_t headers = at + headerSize;
    if (!in.Has(headers, (count - 1) * sampleHeaderSize + kSampleHeaderBytes)) return fail();
    layout[i] = {at, headers, sampleHeaderSize, count};

    InstrumentRecord* record =
        static_cast<InstrumentRecord*>(xmLoaderAllocate(1, sizeof(InstrumentRecord)));
    if (record) {
      record->samples = static_cast<SampleRecord*>(xmLoaderAllocate(count, sizeof(SampleRecord)));
      if (!record->samples) {
        std::free(record);
        record = nullptr;
      } else {
        AddMemory(memoryUsed, sizeof(InstrumentRecord) + uint64_t{count} * sizeof(SampleRecord));
        record->sampleCount = static_cast<int32_t>(count);
        instruments[i] = record;
      }
    }
    if (record) {
      std::memcpy(record->keymap, in.At(at + 33), 96);
      CopyEnvelope(in, at + 129, record->volumeEnvelope,
                   {in.U8(at + 225), in.U8(at + 227), in.U8(at + 228), in.U8(at + 229)},
                   record->volumePoints, record->volumeSustain, record->volumeLoopStart,
                   record->volumeLoopEnd);
      CopyEnvelope(in, at + 177, record->panningEnvelope,
                   {in.U8(at + 226), in.U8(at + 230), in.U8(at + 231), in.U8(at + 232)},
                   record->panningPoints, record->panningSustain, record->panningLoopStart,
                   record->panningLoopEnd);
      record->volumeType = in.U8(at + 233);
      record->panningType = in.U8(at + 234);
      record->fadeout = in.U16(at + 239);
    }

    // Data of the samples, in header order, right behind the last header.
    uint64_t data = headers + count * sampleHeaderSize;
    for (uint32_t k = 0; k < count; k++) {
      const SampleHeader h = ReadSampleHeader(in, headers + k * sampleHeaderSize);
      const uint64_t present = data < in.size() ? in.size() - data : 0;
      const uint64_t kept = KeptLength(h, present, silenceBudget);
      if (record) {
        PlaceSample(in, data, present, kept, h, record->samples[k], memoryUsed);
      }
      infoDataBytes += (kept + 255) / 256;
      data += h.length;
    }
    sampleHeadersRead += count;
    at = data;
  }

  // Order positions naming a missing pattern play pattern 0.
  for (int p = 0; p < kMaxOrders; p++) {
    const int n = in.U8(80 + p);
    orderTable[p] = n;
    const int used = n < patterns ? n : 0;
    orderRows[p] = rows[used];
    orderData[p] = patternBlock + cellOffset[used];
  }

  if (info) {
    const uint64_t formatBytes = sizeof kFormatName;
    uint64_t size = sizeof(SongInfo) + 21 + formatBytes;
    size = AlignUp(size, alignof(int32_t));
    const uint64_t rowsAt = size;
    size += 4ull * length;
    size = AlignUp(size, alignof(SongInfoInstrument));
    const uint64_t instrumentsAt = size;
    size += (sizeof(SongInfoInstrument) + 23) * static_cast<uint64_t>(instrumentTotal);
    size = AlignUp(size, alignof(SongInfoSample));
    const uint64_t samplesAt = size;
    size += (sizeof(SongInfoSample) + 23) * sampleHeadersRead;
    size += infoDataBytes;
    uint8_t* block = size <= INT_MAX ? static_cast<uint8_t*>(xmLoaderAllocate(size, 1)) : nullptr;
    if (block) {
      SongInfo* s = reinterpret_cast<SongInfo*>(block);
      char* text = reinterpret_cast<char*>(block + sizeof(SongInfo));
      s->name = CopyName(text, in.At(17), 20, false);
      s->formatName = text + 21;
      std::memcpy(s->formatName, kFormatName, formatBytes);
      s->imageSize = imageSize;
      s->memoryUsed = memoryUsed;
      s->blockSize = static_cast<int32_t>(size);
      s->channelCount = channels;
      s->songLength = length;
      s->orderRows = reinterpret_cast<int32_t*>(block + rowsAt);
      for (int p = 0; p < length; p++) s->orderRows[p] = orderRows[p];
      s->patternCount = patterns;
      s->sampleCount = static_cast<int32_t>(sampleHeadersRead);
      s->instrumentCount = instrumentTotal;
      s->instruments = reinterpret_cast<SongInfoInstrument*>(block + instrumentsAt);
      char* names = reinterpret_cast<char*>(s->instruments + instrumentTotal);
      for (int i = 0; i < instrumentTotal; i++) {
        s->instruments[i].name = CopyName(names + 23 * i, in.At(layout[i].header + 4), 22, true);
      }
      s->samples = reinterpret_cast<SongInfoSample*>(block + samplesAt);
      names = reinterpret_cast<char*>(s->samples + sampleHeadersRead);
      uint64_t n = 0;
      for (int i = 0; i < instrumentTotal; i++) {
        for (uint32_t k = 0; k < layout[i].sampleCount; k++, n++) {
          const uint64_t h = layout[i].sampleHeaders + k * layout[i].sampleHeaderSize;
          s->samples[n].name = CopyName(names + 23 * n, in.At(h + 18), 22, true);
        }
      }
      *info = s;
    }
  }

  UpdateTickLength();
  SetPosition(0, 0);
  bpm = initialBpm;
  speed = initialSpeed;
  globalVolume = initialGlobalVolume;
  SetMixRate(mixRate);
  return false;
}
