// The C runtime's rand of the platform Zirvak was first written for, never seeded. Owning one per
// flight keeps a flight's random choices reproducible and independent of other rand users.
#pragma once

#include <cstdint>

namespace zirvak {

class CrtRand {
public:
    static constexpr int32_t kMax = 0x7FFF;

    // Next value in 0..kMax.
    int32_t Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int32_t>(state_ >> 16 & 0x7FFF);
    }

private:
    uint32_t state_ = 1;
};

}  // namespace zirvak
