// Where the audio of an MPEG file lies (after and before its tags), what a walk over its headers
// finds, and the stream set up for decoding that playback and the command-line tools share.
#pragma once

#include <cstdint>
#include <optional>

#include "byte_source.h"
#include "file_problem.h"
#include "itunes_gap.h"
#include "mpeg_decoder.h"
#include "mpeg_frame_walk.h"

namespace zirvak {

struct MpegAudioBounds {
    uint64_t audioStart = 0;  // where the frame search began: after an ID3v2 tag
    uint64_t audioEnd = 0;    // end of the audio: before trailing ID3v1 and APE tags
    uint64_t firstFrame = 0;  // the stream's first frame
};

// Skips an ID3v2 tag, leaves out a trailing 128-byte "TAG" block and an APE tag, and finds the
// first frame: right at the start (after the tag), or further on where several frames of one
// stream follow it, so that no other kind of file is taken for MPEG audio. A tag whose size runs
// past the end or over every frame is taken as damaged and the frames are looked for from its
// header on. kNotPlayable when no header of any stream is found, kNoAudio when headers are found
// but no frame of a stream; `decoderError` then holds the decoder's reason. Free-format streams
// (bit-rate index 0), which are not played, have no frame.
FileProblem LocateMpegAudio(mpeg::Decoder& decoder, ByteSource& source, MpegAudioBounds& bounds,
                            int32_t* decoderError = nullptr);

// What a header-only walk over the whole stream finds.
struct MpegScan {
    uint64_t slotCount = 0;  // slots the walk yields: frames and lost frames' silence
    uint64_t audioEnd = 0;   // the end of the last frame: trailing zeros and tags are not audio
    uint64_t frames = 0;     // frames found, and their bytes
    uint64_t frameBytes = 0;
    bool bitrateVaries = false;
    // Damage: where the stream broke off and went on further, the bytes skipped there, and the
    // frames lost in those gaps that play as silence.
    uint64_t gaps = 0;
    uint64_t gapBytes = 0;
    uint64_t lostFrames = 0;
};
MpegScan ScanMpegStream(mpeg::Decoder& decoder, ByteSource& source, const MpegAudioBounds& bounds);

// An MPEG stream located, scanned and set up for decoding.
struct MpegStream {
    MpegAudioBounds bounds;
    MpegScan scan;
    std::optional<MpegFrameWalk> walk;
    // The encoder's delay and padding, from a LAME tag in the first frame, or else from an
    // iTunSMPB comment in the ID3v2 tag.
    std::optional<mpeg::EncoderGap> encoderGap;
    std::optional<ITunesGap> itunesGap;
    // The first frame carries a Xing or Info header: it is no sound.
    bool tagFrame = false;

    // True when the first frame carries a Xing or VBRI header (it plays as a silent frame).
    bool hasVbrHeader() const;
    // The slots to play: those scanned, no more than a VBR header announces (plus its own).
    uint64_t playableSlots() const;
    // Frames of sound among them: the playable slots less a VBR header's frame.
    uint64_t audioFrames() const;
    // Output samples (per channel) of one frame, and its duration.
    uint32_t samplesPerFrame() const;
    double frameMs() const;
};

// Locates, scans and sets the stream of `source` up on `decoder` (with the options it holds
// when `keepOptions`), or returns why it cannot be played.
FileProblem OpenMpegStream(mpeg::Decoder& decoder, ByteSource& source, MpegStream& stream,
                           bool keepOptions = false);

}  // namespace zirvak
