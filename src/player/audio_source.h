// Where the engine's sound comes from, and exactly what the engine relies on. A source reads one
// kind of audio file and turns it into interleaved signed 16-bit little-endian PCM, one output
// buffer at a time; the engine plays every kind through this contract alone, and picks the
// source by the file's content (audio_source_factory.h).
//
// - Start(seekMs): begins a run: from the start of the clip the source was made with, or, with
//   seekMs, from that millisecond of the stream (the clip's end stays). Reads what the file says
//   about its sound on the first call (again on a later one when the first found no memory),
//   fills output buffer 0 and returns it, with the index of the run's last buffer and the
//   sample frame of the song the run begins at (0 without seekMs). Or says why the run cannot
//   start: the file's problem and its detail, or no memory for the buffers (a later Start tries
//   again).
// - Fill(buffer, index): fills output buffer `buffer` (0 or 1) with buffer `index` of the run
//   (1 up to the last) and returns it. The engine asks for each index once, in order, and only
//   after it has taken back the bytes the buffer held. A buffer that came short (the file
//   changed or ended early) is the run's last; one that came short with no bytes at all ends
//   the run before it.
// - The bytes returned stay valid and unchanged until the same output buffer is filled again,
//   or the next Start, or the source is destroyed.
// - format(), lengthMs(): the sound's rate and channels, and where its clip ends in ms of the
//   stream, as the last Start that read them left them (zero before).
// - fileChanged(): true once the run may read no more of the file: it changed on disk (was
//   truncated or rewritten) or a read came back short. The run then plays what was read. Every
//   Start clears it.
// - The engine calls Start and Fill holding its lock, from its owner's thread or the device's
//   completion thread, never at once; format and lengthMs from its owner's thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio_device.h"
#include "file_problem.h"

namespace zirvak {

// The end of a clip that plays a song whole: 100 minutes.
inline constexpr uint32_t kDefaultEndMs = 6000000;

// An output buffer filled by a source. cameShort: the file ended or changed before the buffer
// was full, so it is the run's last.
struct SourceBuffer {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    bool cameShort = false;
};

// How a run begins, or why it cannot.
struct RunStart {
    FileProblem problem = FileProblem::kNone;  // the file cannot be played, for `detail`
    std::string detail;
    bool noBufferMemory = false;
    SourceBuffer first;            // output buffer 0
    uint32_t lastBufferIndex = 0;  // buffers 0 .. lastBufferIndex are played
    uint64_t startFrame = 0;       // the sample frame of the song the run begins at
};

class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual RunStart Start(std::optional<uint32_t> seekMs) = 0;
    virtual SourceBuffer Fill(uint8_t buffer, uint32_t index) = 0;
    virtual AudioFormat format() const = 0;
    virtual uint32_t lengthMs() const = 0;
    virtual bool fileChanged() const = 0;
};

}  // namespace zirvak
