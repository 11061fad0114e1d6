// Volume ramps applied to sample blocks in place.
#pragma once

#include "audio/SampleBlock.h"

class AudioTransform {
  public:
    // Ramps the block's volume linearly from `fromPercent` to `toPercent` over
    // its frames, all channels alike: (0, 100) fades in, (100, 0) fades out.
    static void fade(SampleBlock& block, double fromPercent, double toPercent);
};
