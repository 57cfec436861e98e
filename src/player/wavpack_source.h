// WavPack files as a source, decoded by libwavpack (known by the "wvpk" of their first block, at
// their start or after ID3v2 tags; the table's entry ends wavpack_source.cpp). The file is read
// only through InputFile, never past the size it was opened with; a hybrid file's correction
// file (its name with a "c" after it: song.wv, song.wvc) is read beside it when it is there, which
// makes the hybrid file lossless again.
//
// The output is the file's sample frames at its own rate, as 16-bit PCM (pcm_reduce.h: deeper
// samples and floats dithered, more than two channels mixed to stereo), at the exact sample
// frame a seek asks for. The length is the file's sample count (counted by decoding once where
// the encoder left it out). Damage plays what libwavpack decodes: a block that fails its check
// sounds as silence of its length, so what follows keeps its time; a file cut short ends the run
// where it ends.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "audio_source.h"
#include "file_change_watch.h"
#include "input_file.h"
#include "pcm_run_buffers.h"

namespace zirvak {

class WavPackSource final : public AudioSource {
public:
    explicit WavPackSource(InputFile& file);
    ~WavPackSource() override;
    WavPackSource(const WavPackSource&) = delete;
    WavPackSource& operator=(const WavPackSource&) = delete;

    RunStart Start(std::optional<uint32_t> seekMs) override;
    SourceBuffer Fill(uint8_t buffer, uint32_t index) override;
    AudioFormat format() const override { return format_; }
    uint32_t lengthMs() const override;
    bool fileChanged() const override { return watch_.seen(); }

    // What the file says of itself, once a Start read it: a hybrid file is lossy unless it
    // was corrected.
    uint32_t bitsPerSample() const { return bits_; }
    bool isFloat() const { return float_; }
    bool isHybrid() const { return hybrid_; }
    bool corrected() const { return corrected_; }
    int32_t fileChannels() const { return fileChannels_; }
    uint64_t totalFrames() const { return totalFrames_; }
    // The blocks libwavpack found damaged since the source was made.
    uint64_t decodeErrors() const { return decodeErrors_; }

    // Sample frames in each output buffer (the last may hold fewer).
    static constexpr uint32_t kFramesPerBuffer = PcmRunBuffers::kFramesPerBuffer;

    // One file as libwavpack reads it: the file and where its reads are.
    struct Stream {
        InputFile* file = nullptr;
        FileChangeWatch* watch = nullptr;  // the main file's: a correction file has none
        uint64_t readAt = 0;
    };

private:
    FileProblem SetUp(std::string* detail);
    void* Open(char* error);  // a WavpackContext on both streams from their starts
    void CloseContext();
    bool MoveTo(uint64_t frame);
    bool Discard(uint64_t frames);
    uint32_t Unpack(uint32_t frames);  // into unpacked_; how many frames came
    uint32_t Produce(int16_t* out, uint32_t frames);

    InputFile& file_;
    InputFile correctionFile_;
    FileChangeWatch watch_;
    Stream main_, correction_;
    void* context_ = nullptr;  // WavpackContext

    bool haveInfo_ = false;
    uint32_t bits_ = 0;        // of the samples as the file holds them
    uint32_t unpackBits_ = 0;  // of the values libwavpack gives: its bytes a sample, in bits
    bool float_ = false;
    bool hybrid_ = false;
    bool corrected_ = false;
    int32_t fileChannels_ = 0;
    uint64_t totalFrames_ = 0;
    AudioFormat format_;

    std::unique_ptr<int32_t[]> unpacked_;  // one unpack, interleaved
    std::unique_ptr<int32_t[]> planar_;    // the same, a channel after another
    std::unique_ptr<float[]> floats_;      // or as floats

    PcmRunBuffers buffers_;
    uint64_t startFrame_ = 0;
    uint64_t nextFrame_ = 0;  // the song's frame the next unpacked one is
    uint64_t decodeErrors_ = 0;
};

}  // namespace zirvak
