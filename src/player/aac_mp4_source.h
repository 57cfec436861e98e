// AAC in an MP4 file (.m4a, .mp4, .m4b) as a source: the container read by the box reader and
// its sample tables, each access unit decoded by libfaad2 (the table's entry, for every MP4
// file, ends aac_mp4_source.cpp). AAC-LC and HE-AAC whose configuration says so.
//
// The output is the song as it was encoded, to the sample frame: the encoder's priming and the
// last frame's padding are cut by the edit list, else by an iTunSMPB item, else by the priming
// encoders usually put in (2112 samples). A seek decodes from an access unit before the one it
// lands in, as the stream needs, and plays from the exact frame asked for. An access unit that
// will not decode sounds as silence of its length, so what follows keeps its time; a file cut
// short plays what its tables find in it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "audio_source.h"
#include "file_change_watch.h"
#include "input_file.h"
#include "mp4_sample_table.h"
#include "mp4_track.h"
#include "pcm_run_buffers.h"

namespace zirvak {

// Where the encoder's gap was learned from.
enum class Mp4GapOrigin { kEditList, kITunSMPB, kUsualPriming };

class AacMp4Source final : public AudioSource {
public:
    explicit AacMp4Source(InputFile& file);
    ~AacMp4Source() override;
    AacMp4Source(const AacMp4Source&) = delete;
    AacMp4Source& operator=(const AacMp4Source&) = delete;

    RunStart Start(std::optional<uint32_t> seekMs) override;
    SourceBuffer Fill(uint8_t buffer, uint32_t index) override;
    AudioFormat format() const override { return format_; }
    uint32_t lengthMs() const override;
    bool fileChanged() const override { return watch_.seen(); }

    // What the file says of itself, once a Start read it.
    const Mp4AudioTrack& track() const { return track_; }
    bool spectralBandReplication() const { return sbr_; }
    int32_t fileChannels() const { return fileChannels_; }
    uint64_t totalFrames() const { return songFrames_; }
    uint64_t priming() const { return priming_; }
    uint64_t padding() const { return padding_; }
    Mp4GapOrigin gapOrigin() const { return gapOrigin_; }
    // Access units that would not decode since the source was made.
    uint64_t decodeErrors() const { return decodeErrors_; }

private:
    FileProblem SetUp(std::string* detail, bool* noMemory);
    bool OpenDecoder();
    void CloseDecoder();
    bool MoveTo(uint64_t frame);
    bool DecodeNext();  // the next access unit into pending_; false at the end
    uint32_t Produce(int16_t* out, uint32_t frames);

    InputFile& file_;
    FileChangeWatch watch_;
    void* decoder_ = nullptr;  // NeAACDecHandle
    Mp4AudioTrack track_;
    std::unique_ptr<Mp4SampleTable> table_;
    std::unique_ptr<uint8_t[]> config_;
    std::unique_ptr<uint8_t[]> unit_;   // one access unit's bytes
    std::unique_ptr<float[]> silence_;  // an access unit's frames of it
    std::unique_ptr<float[]> mono_;     // one channel of a unit decoded as two

    bool sbr_ = false;
    int32_t fileChannels_ = 0;
    int32_t decodedChannels_ = 0;  // as libfaad2 gives them
    uint32_t unitFrames_ = 0;      // output frames of one access unit
    uint64_t priming_ = 0;         // frames of the decoded stream before the song
    uint64_t padding_ = 0;
    uint64_t songFrames_ = 0;
    Mp4GapOrigin gapOrigin_ = Mp4GapOrigin::kUsualPriming;
    AudioFormat format_;

    // The decoded frames of the last access unit not yet handed out, and where they lie in
    // the decoded stream.
    const float* pending_ = nullptr;
    uint32_t pendingFrames_ = 0;
    uint64_t pendingAt_ = 0;
    uint64_t nextUnitAt_ = 0;  // where the next access unit's frames lie in the decoded stream

    PcmRunBuffers buffers_;
    uint64_t startFrame_ = 0;
    uint64_t nextFrame_ = 0;  // the song's frame that goes out next
    uint64_t decodeErrors_ = 0;
};

}  // namespace zirvak
