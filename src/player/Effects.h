// Volume-column and effect commands of a pattern cell. Each returns the update requests it raises.
#pragma once
#include <cstdint>

#include "player/Channel.h"

uint32_t VolumeColumnFirstTick(TickContext& context, ChannelState& channel, uint8_t byte);
uint32_t VolumeColumnLaterTick(TickContext& context, ChannelState& channel, uint8_t byte);
uint32_t EffectFirstTick(TickContext& context, ChannelState& channel, const PatternCell& cell);
uint32_t EffectLaterTick(TickContext& context, ChannelState& channel, const PatternCell& cell);

// Rewrites the gains of every voice after a global volume change.
void RefreshAllGains(XMMusicPlayer& player, SoftwareMixer* mixer);
