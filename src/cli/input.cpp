#include "input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "audio_source_factory.h"
#include "printable.h"

namespace zirvak::cli {

bool OpenInput(const std::string& path, Input& in, std::string& error) {
    std::string detail;
    FileProblem problem = in.file.Open(path, &detail);
    if (problem == FileProblem::kNone) {
        in.isWave = LooksLikeWav(in.file);
        if (in.isWave) {
            problem = ReadWavHeader(in.file, in.wav, &detail);
        } else if ((in.source = MakeCompressedSource(in.file))) {
            in.run = in.source->Start(std::nullopt);
            problem = in.run.problem;
            detail = in.run.detail;
            if (in.run.noBufferMemory) {
                error = Words(Say::kNoMemoryFor, path);
                return false;
            }
        } else {
            in.decoder = mpeg::CreateDecoder();
            problem = OpenMpegStream(*in.decoder, in.file, in.mpeg);
        }
    }
    if (problem == FileProblem::kNone) return true;
    error = DescribeFileProblem(path, problem, detail);
    return false;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "zirvak-cli: %s\n", Printable(message).c_str());
    return 1;
}

bool FlushStandardOutput() {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    const int error = errno;
    Fail(error != 0 ? std::string("cannot write to standard output (") + std::strerror(error) + ")"
                    : std::string("cannot write to standard output"));
    return false;
}

std::string FormatDuration(double seconds) {
    char text[32];
    const int minutes = int(seconds / 60);
    std::snprintf(text, sizeof text, "%d:%06.3f", minutes, seconds - 60.0 * minutes);
    return text;
}

}  // namespace zirvak::cli
