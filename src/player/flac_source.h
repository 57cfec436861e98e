// FLAC files as a source, decoded by libFLAC's stream decoder (known by "fLaC" at their start or
// after ID3v2 tags; the table's entry ends flac_source.cpp). The decoder reads the file only
// through InputFile, from the "fLaC" marker on (an ID3v2 tag before it is stepped over), never
// past the size the file was opened with.
//
// The output is the file's sample frames at its own rate, as 16-bit PCM (pcm_reduce.h: deeper
// samples dithered, more than two channels mixed to stereo). The length is STREAMINFO's sample
// count (counted by decoding once where the encoder left it out). A run after a seek starts on
// the exact sample frame of that millisecond.
//
// Damage (a frame whose CRC fails, bytes where no frame can be found) plays what libFLAC
// decodes: a frame lost leaves silence of its length in its place, so what follows keeps its
// time; a file that ends before its sample count ends the run there. The errors are counted.
// Metadata that libFLAC cannot read to its end (a block longer than the file) is refused as
// damage: no frame decodes after it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "audio_source.h"
#include "file_change_watch.h"
#include "input_file.h"
#include "pcm_run_buffers.h"

namespace zirvak {

class FlacSource final : public AudioSource {
public:
    explicit FlacSource(InputFile& file);
    ~FlacSource() override;
    FlacSource(const FlacSource&) = delete;
    FlacSource& operator=(const FlacSource&) = delete;

    RunStart Start(std::optional<uint32_t> seekMs) override;
    SourceBuffer Fill(uint8_t buffer, uint32_t index) override;
    AudioFormat format() const override { return format_; }
    uint32_t lengthMs() const override;
    bool fileChanged() const override { return watch_.seen(); }

    // What the file says of itself, once a Start read it.
    uint32_t bitsPerSample() const { return bits_; }
    int32_t fileChannels() const { return fileChannels_; }
    uint64_t totalFrames() const { return totalFrames_; }
    // The damage met since the source was made: errors libFLAC reported (lost sync, a bad
    // header, a CRC that failed) and the sample frames that played as silence for it.
    uint64_t decodeErrors() const { return decodeErrors_; }
    uint64_t framesLost() const { return framesLost_; }

    // Sample frames in each output buffer (the last may hold fewer).
    static constexpr uint32_t kFramesPerBuffer = PcmRunBuffers::kFramesPerBuffer;

    struct Callbacks;  // libFLAC's callbacks, which reach into the source

private:
    FileProblem SetUp(std::string* detail);
    bool MoveTo(uint64_t frame);
    uint32_t Produce(int16_t* out, uint32_t frames);
    int16_t* Append(const void* samples, uint64_t count);

    InputFile& file_;
    FileChangeWatch watch_;
    void* decoder_ = nullptr;   // FLAC__StreamDecoder
    uint64_t streamStart_ = 0;  // the offset of "fLaC"
    uint64_t readAt_ = 0;       // the decoder's read position, from streamStart_

    bool haveInfo_ = false;
    uint32_t bits_ = 0;
    int32_t fileChannels_ = 0;
    uint64_t totalFrames_ = 0;
    AudioFormat format_;

    // The decoded frames not yet copied to an output buffer, as 16-bit PCM.
    std::unique_ptr<int16_t[]> carry_;
    uint32_t carryFrames_ = 0;  // in carry_
    uint32_t carryTaken_ = 0;   // of them, copied out already
    uint64_t silenceDue_ = 0;   // frames of silence owed for frames lost to damage
    uint64_t nextFrame_ = 0;    // the song's frame the next decoded sample belongs to
    uint64_t discard_ = 0;      // decoded frames to drop before output (a seek by decoding)
    bool counting_ = false;     // decoding only to count the frames

    PcmRunBuffers buffers_;
    uint64_t startFrame_ = 0;
    uint64_t decodeErrors_ = 0;
    uint64_t framesLost_ = 0;
};

}  // namespace zirvak
