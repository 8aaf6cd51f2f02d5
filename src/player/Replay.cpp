// Replay engine: walks orders, rows and ticks, drives one mixer voice per channel, and reports
// the song position after each Render.
#include <algorithm>
#include <cstring>

#include "player/Channel.h"
#include "player/Effects.h"
#include "player/Modinfo.h"
#include "player/Xmplayer.h"

namespace {

// Stands in for the cell of a row that a pattern does not have (a pattern of 0 rows).
constexpr PatternCell kEmptyCell{};

int EffectiveSongLength(const XMMusicPlayer& p) {
  return std::min<int>(p.songLength, XMMusicPlayer::kMaxOrders);
}

void ResetChannel(ChannelState& c) {
  std::memset(&c, 0, sizeof c);
  c.cutCounter = c.delayCounter = -1;
  c.instrumentIndex = 255;
  c.period = c.targetPeriod = 0x7fffffff;
  c.panningEnvelopeValue = 32;
  c.volumeEnvelopeValue = 64;
  c.fadeoutVolume = 65535;
  c.volume = 0x7fffffff;  // replaced by the first note's sample volume
  c.panning = 128;
}

void PublishPosition(PlayerInfo& info, int32_t order, int32_t row) {
  info.position.store((static_cast<uint32_t>(order) << 16) | (static_cast<uint32_t>(row) & 0xFFFF),
                      std::memory_order_release);
}

}  // namespace

void XMMusicPlayer::SetPosition(int newOrder, int newRow) {
  const int length = EffectiveSongLength(*this);
  order = row = tick = samplesLeft = breakRow = 0;
  nextOrder = 1;
  if (length > 0) {
    order = std::clamp(newOrder, 0, length - 1);
    patternRows = orderRows[order];
    row = std::clamp(newRow, 0, std::max(patternRows - 1, 0));
    nextOrder = order + 1;
    pattern = orderTable[order];
    rowCursor = orderData[order] + row * channelCount;
  } else {
    // No song: there is no table to index, and Render mixes silence.
    pattern = 0;
    rowCursor = nullptr;
  }
  UpdateTickLength();
  songEnded = 0;
  loopJumpPending = 0;
  breakPending = 0;
  loopStartRow = 0;
  loopCount = -1;
  patternDelay = -1;
  vibratoControl = tremoloControl = 4;
  vibratoTable = tremoloTable = waveformTables[0];
  for (ChannelState& c : channels) ResetChannel(c);
  resetVoicesPending = 1;
}

namespace {

void EndRow(XMMusicPlayer& p) {
  if (p.patternDelay > 0) {
    p.patternDelay--;
    return;
  }
  p.patternDelay = -1;
  const int32_t stride = p.channelCount;
  bool leave;
  if (p.loopJumpPending) {
    p.loopJumpPending = 0;
    // A loop start past the last row (E6y exhausted on it) ends the pattern instead.
    leave = p.loopStartRow >= p.patternRows;
    if (!leave) p.row = p.loopStartRow;
  } else {
    p.row++;
    leave = p.row >= p.patternRows || p.breakPending;
  }
  if (!leave) {
    p.rowCursor = p.orderData[p.order] + p.row * stride;
    return;
  }
  const int length = EffectiveSongLength(p);
  if (p.nextOrder < p.order) p.songEnded = 1;
  p.order = p.nextOrder;
  if (p.order >= length || p.order < 0) {
    p.order = p.restartPosition >= 0 && p.restartPosition < length ? p.restartPosition : 0;
    p.songEnded = 1;
  }
  p.nextOrder = p.order + 1;
  p.row = p.breakRow;
  p.breakRow = 0;
  p.patternRows = p.orderRows[p.order];
  p.pattern = p.orderTable[p.order];
  // A break row beyond the new pattern starts it at its first row.
  if (p.row >= p.patternRows) p.row = 0;
  p.rowCursor = p.orderData[p.order] + p.row * stride;
  p.breakPending = 0;
  p.loopStartRow = 0;
  p.loopCount = -1;
}

void RunTick(XMMusicPlayer& p, SoftwareMixer* mixer) {
  // The row's first pass takes every channel's note, even behind the channel holding EEx.
  TickContext context{p, mixer, p.patternDelay != -1};
  const int channels = std::min(p.channelCount, XMMusicPlayer::kMaxChannels);
  const bool rowExists = p.row < p.patternRows && p.rowCursor;
  MixerVoice spare{};
  for (int i = 0; i < channels; i++) {
    const PatternCell& cell = rowExists ? p.rowCursor[i] : kEmptyCell;
    MixerVoice& voice = i < mixer->voiceCount ? mixer->voices[i] : spare;
    ChannelStep(context, i, cell, voice);
  }
  p.tick++;
  // ">=": speed 0 (F00) ends a row on every tick.
  if (p.tick >= p.speed) {
    EndRow(p);
    p.tick = 0;
  }
  p.volumeRefresh = 0;
}

void FillInfo(const XMMusicPlayer& p, const SoftwareMixer* mixer, PlayerInfo& info) {
  info.order = p.order;
  info.pattern = p.pattern;
  info.row = p.row;
  info.patternRows = p.patternRows;
  info.tick = p.tick;
  info.speed = p.speed;
  info.globalVolume = p.globalVolume;
  info.songEnded = p.songEnded ? 1 : 0;
  const int count = info.levels ? std::min({info.channelCount, p.channelCount,
                                            XMMusicPlayer::kMaxChannels})
                                : 0;
  for (int i = 0; i < count; i++) {
    ChannelLevel& level = info.levels[i];
    const bool playing = mixer && i < mixer->voiceCount && mixer->voices[i].playMode != 0;
    if (!playing) {
      level.left = level.right = 0;
      continue;
    }
    const ChannelState& c = p.channels[i];
    const int32_t v = ClampVolume(c.volume) * 0x1FFFFFF;
    const int32_t pan = FinalPanning(c.panning, c.panningEnvelopeValue);
    level.left = ChannelGain(v, c.fadeoutVolume, c.volumeEnvelopeValue, 0x7fffffff,
                             p.globalVolume, 255 - pan) | 1;
    level.right = ChannelGain(v, c.fadeoutVolume, c.volumeEnvelopeValue, 0x7fffffff,
                              p.globalVolume, pan) | 1;
  }
  PublishPosition(info, p.order, p.row);
}

}  // namespace

void XMMusicPlayer::Render(SoftwareMixer* mixer, uint8_t*& buffer, int frames, PlayerInfo* info,
                           uint8_t clearFirst) {
  if (!mixer) return;
  if (resetVoicesPending) {
    mixer->resetVoices();
    resetVoicesPending = 0;
  }
  const bool haveSong = EffectiveSongLength(*this) > 0 && patternBlock && rowCursor;
  while (haveSong && frames > 0) {
    if (samplesLeft == 0) {
      if (songEnded && !looping) break;
      RunTick(*this, mixer);
    }
    if (samplesLeft < 1) samplesLeft = std::max(samplesPerTick, 1);
    const int n = std::min(frames, samplesLeft);
    mixer->mix(buffer, n, clearFirst);
    frames -= n;
    samplesLeft -= n;
  }
  if (frames > 0) {
    for (int i = 0; i < mixer->voiceCount; i++) mixer->voices[i].playMode = 0;
    mixer->mix(buffer, frames, clearFirst);
  }
  if (info) FillInfo(*this, mixer, *info);
}
