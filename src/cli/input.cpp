#include "input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "printable.h"

namespace zirvak::cli {

bool OpenInput(const std::string& path, Input& in, std::string& error,
               const SourceOptions& options) {
    std::string detail;
    FileProblem problem = in.file.Open(path, &detail);
    if (problem == FileProblem::kNone) {
        in.format = &FormatOf(in.file);
        in.source = in.format->makeSource(in.file, options);
        in.run = in.source->Start(std::nullopt);
        problem = in.run.problem;
        detail = in.run.detail;
        if (problem == FileProblem::kNone && in.run.noBufferMemory) {
            error = Words(Say::kNoMemoryFor, path);
            return false;
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

}  // namespace zirvak::cli
