// What the Ogg sources (Vorbis through libvorbisfile, Opus through opusfile) share, each known
// by the first packet of its stream (stream_marker.h; their entries end their files): the file
// read through InputFile from the "OggS" of the first page on (an ID3v2 tag before it is
// stepped over), never past the size it was opened with; and runs of the library's float
// output made into 16-bit PCM (pcm_reduce.h), at the exact sample frame a seek asks for, for
// the length the granule positions give.
//
// Damage (a page lost or spoiled) plays what the library decodes; where its position jumps
// after a hole over samples it could not decode, silence of their length stands in for them, so
// what follows keeps its time, up to the length the last granule position gives. A chained stream
// whose rate or channels change ends the run there.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio_source.h"
#include "file_change_watch.h"
#include "info_lines.h"
#include "input_file.h"
#include "pcm_run_buffers.h"

namespace zirvak {

class OggSource : public AudioSource {
public:
    explicit OggSource(InputFile& file) : file_(file), watch_(file) {}

    RunStart Start(std::optional<uint32_t> seekMs) final;
    SourceBuffer Fill(uint8_t buffer, uint32_t index) final;
    AudioFormat format() const final { return format_; }
    uint32_t lengthMs() const final;
    bool fileChanged() const final { return watch_.seen(); }

    int32_t fileChannels() const { return fileChannels_; }
    uint64_t totalFrames() const { return totalFrames_; }
    // Holes the library reported and the sample frames that played as silence for them.
    uint64_t decodeErrors() const { return decodeErrors_; }
    uint64_t framesLost() const { return framesLost_; }

    // Sample frames in each output buffer (the last may hold fewer).
    static constexpr uint32_t kFramesPerBuffer = PcmRunBuffers::kFramesPerBuffer;

    // The file as the libraries read it: bytes from the stream's start, `whence` as fseek's.
    size_t ReadBytes(uint8_t* out, size_t length);
    bool SeekBytes(int64_t offset, int whence);
    int64_t TellBytes() const { return int64_t(readAt_); }

protected:
    // What a read of the library gave: frames written, a hole (data lost), or the end.
    struct Decoded {
        uint32_t frames = 0;
        bool hole = false;
        bool end = false;
        bool otherShape = false;  // a link of another rate or channel count: the run ends
    };

    // Opens the stream (from readAt_ 0) and sets the rate, channels and totalFrames.
    virtual FileProblem OpenStream(std::string* detail) = 0;
    virtual void CloseStream() = 0;
    virtual bool SeekStream(uint64_t frame) = 0;
    // Decodes up to `frames` sample frames into `out`, the first being the song's `firstFrame`.
    virtual Decoded ReadStream(int16_t* out, uint32_t frames, uint64_t firstFrame) = 0;
    // The library's position: the sample frame its next read gives, or -1.
    virtual int64_t Position() = 0;

    void SetStreamFormat(int32_t rate, int32_t channels, uint64_t totalFrames);
    // For OpenStream when memory ran out: the run says so, and a later Start opens again.
    FileProblem NoMemory() {
        noMemory_ = true;
        return FileProblem::kNone;
    }

private:
    bool ReopenStream();
    uint32_t Produce(int16_t* out, uint32_t frames);

    InputFile& file_;
    FileChangeWatch watch_;
    uint64_t streamStart_ = 0;  // the offset of the first "OggS"
    uint64_t readAt_ = 0;       // the library's read position, from streamStart_

    int32_t fileChannels_ = 0;
    uint64_t totalFrames_ = 0;
    AudioFormat format_;

    PcmRunBuffers buffers_;
    uint64_t startFrame_ = 0;
    uint64_t nextFrame_ = 0;   // the song's frame the next output sample belongs to
    uint64_t silenceDue_ = 0;  // frames of silence owed for frames lost to damage
    bool ended_ = false;       // the library has nothing more to give this run
    bool noMemory_ = false;    // OpenStream found no memory
    bool reopen_ = false;      // the stream is closed: the next Start opens it
    // The library's position less the song's frame. Its count may move without a loss: where a
    // stream's first pages are missing it counts from 0 until a page's granule position says
    // where it stands. After a hole, a move forward is samples lost.
    int64_t positionOffset_ = 0;
    bool holeSince_ = false;
    uint64_t decodeErrors_ = 0;
    uint64_t framesLost_ = 0;
};

// What `zirvak-cli info` says of an Ogg stream whose run has started: its format ("Ogg
// `codec`"), rate, channels, average bit rate over `fileBytes` and duration.
std::vector<InfoLine> DescribeOggStream(const OggSource& source, const char* codec,
                                        uint64_t fileBytes);

}  // namespace zirvak
