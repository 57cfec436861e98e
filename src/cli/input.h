// Opens the file a command reads: a WAV file, an MPEG stream (located, scanned and set up), or a
// file of another compressed kind as playback's source for it, its run started.
#pragma once

#include <memory>
#include <string>

#include "audio_source.h"
#include "input_file.h"
#include "messages.h"
#include "mpeg_decoder.h"
#include "mpeg_stream.h"
#include "wav_file.h"

namespace zirvak::cli {

struct Input {
    InputFile file;
    bool isWave = false;
    WavInfo wav;
    mpeg::DecoderPtr decoder;
    MpegStream mpeg;
    // FLAC, Vorbis, Opus: the source, and its run from the start (buffer 0 filled).
    std::unique_ptr<AudioSource> source;
    RunStart run;
};

// Fills `in`, or returns false with the one-line reason in `error`.
bool OpenInput(const std::string& path, Input& in, std::string& error);

// Prints "zirvak-cli: " and `message` (made printable: it names files) on stderr; returns exit
// status 1.
int Fail(const std::string& message);

// Flushes stdout; when what was printed could not all be written (a full disk, a closed pipe),
// says so on stderr and returns false: lost output is no success.
bool FlushStandardOutput();

// m:ss.sss
std::string FormatDuration(double seconds);

}  // namespace zirvak::cli
