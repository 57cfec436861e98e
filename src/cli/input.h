// Opens the file a command reads: its format found by its content (format_table.h), and that
// format's source for it, its first run started, as playback plays it.
#pragma once

#include <memory>
#include <string>

#include "audio_source.h"
#include "format_table.h"
#include "input_file.h"
#include "messages.h"

namespace zirvak::cli {

struct Input {
    InputFile file;
    const FileFormat* format = nullptr;
    // The source, and its run from the start (buffer 0 filled).
    std::unique_ptr<AudioSource> source;
    RunStart run;
};

// Fills `in`, its source made with `options` (by default the whole stream, every frame), or
// returns false with the one-line reason in `error`.
bool OpenInput(const std::string& path, Input& in, std::string& error,
               const SourceOptions& options = {0, kWholeStreamMs, false});

// Prints "zirvak-cli: " and `message` (made printable: it names files) on stderr; returns exit
// status 1.
int Fail(const std::string& message);

// Flushes stdout; when what was printed could not all be written (a full disk, a closed pipe),
// says so on stderr and returns false: lost output is no success.
bool FlushStandardOutput();

}  // namespace zirvak::cli
