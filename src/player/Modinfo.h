// Pitch, volume and panning formulas of the replay engine: pure integer functions.
#pragma once
#include <cstdint>

// Indices -8..96 stored from 0: amigaPeriodTable[k + 8].
extern const int32_t amigaPeriodTable[105];
// 65536 x round(8363 x 2^((4543 - r) / 768)), r = 0..767.
extern const uint64_t linearStepTable[768];

int32_t LinearPeriod(int32_t note, int32_t finetune);
int32_t LinearStep(int32_t period, int32_t rate);
int32_t AmigaPeriod(int32_t note, int32_t finetune);  // note taken unsigned
int32_t AmigaStep(int32_t period, int32_t rate);      // rate taken unsigned
int32_t ChannelGain(int32_t v, int32_t fade, int32_t envelope, int32_t amplification,
                    int32_t globalVolume, int32_t panFactor);
int32_t FinalPanning(int32_t panning, int32_t envelopePanning);

// Period and volume arithmetic of the channel step and the effects.
int32_t SaturatePeriod(int64_t period);
int32_t ClampVolume(int64_t volume);
int32_t ClampPanning(int64_t panning);
