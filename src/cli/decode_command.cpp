#include "commands.h"
#include "gapless_mpeg_source.h"
#include "input.h"
#include "output_file.h"
#include "pcm_file_writer.h"
#include "pcm_walk.h"
#include "player_engine.h"

namespace zirvak::cli {

int RunDecode(const std::string& path, const std::string& outPath, const PlayOptions& options) {
    Input in;
    std::string error;
    if (!OpenInput(path, in, error)) return Fail(error);
    if (options.gapless.value_or(false) && !in.isWave && !in.source) {
        // An MPEG stream with a LAME tag: the song as the encoder took it in, as playback plays it.
        auto gapless = std::make_unique<GaplessMpegSource>(in.file, kDefaultEndMs);
        RunStart run = gapless->Start(std::nullopt);
        if (run.problem == FileProblem::kNone && !run.noBufferMemory && gapless->trim()) {
            in.source = std::move(gapless);
            in.run = run;
        }
    }
    OutputFile out;
    if (!out.Prepare(outPath, {path}, error)) return Fail(error);

    const PcmFormat format = PcmFormatOf(in);
    PcmFileWriter writer;
    if (!writer.Open(out.writePath(), HasWavExtension(outPath), format.rate, format.channels,
                     format.bits, &error))
        return Fail(Words(Say::kCannotWrite, outPath, error));
    const bool whole = WalkPcm(
        in, [&writer](const uint8_t* bytes, size_t length) { writer.Write(bytes, length); });
    if (!writer.Close()) return Fail(Words(Say::kCannotWrite, outPath));
    if (!whole || in.file.Changed()) return Fail(DescribeFileProblem(path, FileProblem::kChanged));
    if (!out.Commit(error)) return Fail(error);
    return 0;
}

}  // namespace zirvak::cli
