#include "commands.h"
#include "input.h"
#include "output_file.h"
#include "pcm_file_writer.h"
#include "pcm_walk.h"

namespace zirvak::cli {

int RunDecode(const std::string& path, const std::string& outPath, const PlayOptions& options) {
    Input in;
    std::string error;
    // The whole stream; gapless, an MPEG stream with a LAME tag (or an iTunSMPB comment) is the
    // song as the encoder took it in, as playback plays it, otherwise every frame.
    if (!OpenInput(path, in, error, {0, kWholeStreamMs, options.gapless.value_or(false)}))
        return Fail(error);
    OutputFile out;
    if (!out.Prepare(outPath, {path}, error)) return Fail(error);

    const PcmFormat format = PcmFormatOf(in);
    PcmFileWriter writer;
    if (!writer.Open(out.writePath(), HasWavExtension(outPath), format.rate, format.channels, 16,
                     &error))
        return Fail(Words(Say::kCannotWrite, outPath, error));
    const bool whole = WalkPcm(
        in, [&writer](const uint8_t* bytes, size_t length) { writer.Write(bytes, length); });
    if (!writer.Close()) return Fail(Words(Say::kCannotWrite, outPath));
    if (!whole || in.file.Changed()) return Fail(DescribeFileProblem(path, FileProblem::kChanged));
    if (!out.Commit(error)) return Fail(error);
    return 0;
}

}  // namespace zirvak::cli
