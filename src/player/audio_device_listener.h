// What an audio device reports back to its owner: each written buffer done, exactly once
// (audio_device.h says when).
#pragma once

#include <cstdint>

namespace zirvak {

class AudioDeviceListener {
public:
    virtual void OnBufferDone(int32_t tag) = 0;

protected:
    ~AudioDeviceListener() = default;
};

}  // namespace zirvak
