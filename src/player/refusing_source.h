// A source for a file known by its content as a kind of audio the player has no decoder for:
// every run is refused, with the reason it was made with.
#pragma once

#include <string>
#include <utility>

#include "audio_source.h"

namespace zirvak {

class RefusingSource final : public AudioSource {
public:
    explicit RefusingSource(std::string why) : why_(std::move(why)) {}
    RunStart Start(std::optional<uint32_t>) override {
        RunStart run;
        run.problem = FileProblem::kUnsupported;
        run.detail = why_;
        return run;
    }
    SourceBuffer Fill(uint8_t, uint32_t) override { return {}; }
    AudioFormat format() const override { return {}; }
    uint32_t lengthMs() const override { return 0; }
    bool fileChanged() const override { return false; }

private:
    std::string why_;
};

}  // namespace zirvak
