// The channel step: one song channel's work for a tick; channel i drives mixer voice i.
#pragma once

struct MixerVoice;
struct PatternCell;
struct TickContext;

// One channel's work for the current tick: cell, effects, counters, envelopes, voice update.
void ChannelStep(TickContext& context, int index, const PatternCell& cell, MixerVoice& voice);
