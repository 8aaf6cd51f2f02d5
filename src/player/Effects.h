// Volume-column and effect commands of a pattern cell. Each returns the update requests it raises.
#pragma once
#include <cstdint>

class SoftwareMixer;
class XMMusicPlayer;
struct ChannelState;
struct MixerVoice;
struct PatternCell;

// Update requests raised during a channel's step and applied to its voice at the end of it.
constexpr uint32_t RequestTrigger = 1u << 0;
constexpr uint32_t RequestRestart = 1u << 1;
constexpr uint32_t RequestVolume = 1u << 2;
constexpr uint32_t RequestFrequency = 1u << 3;
constexpr uint32_t RequestStop = 1u << 4;

// What one tick knows besides the player: the mixer (null when there is none) and whether a
// pattern delay was already pending when the tick began.
struct TickContext {
  XMMusicPlayer& player;
  SoftwareMixer* mixer;
  bool delayPending;
};

uint32_t VolumeColumnFirstTick(TickContext& context, ChannelState& channel, uint8_t byte);
uint32_t VolumeColumnLaterTick(TickContext& context, ChannelState& channel, uint8_t byte);
uint32_t EffectFirstTick(TickContext& context, ChannelState& channel, const PatternCell& cell);
uint32_t EffectLaterTick(TickContext& context, ChannelState& channel, const PatternCell& cell);

// Left, right and centre gains from the channel's state (tremor, tremolo, envelopes, panning).
void ComputeGains(const XMMusicPlayer& player, const ChannelState& channel, MixerVoice& voice);
// Rewrites the gains of every voice after a global volume change.
void RefreshAllGains(XMMusicPlayer& player, SoftwareMixer* mixer);
