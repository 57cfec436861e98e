#include "file_problem.h"

namespace zirvak {

std::string DescribeFileProblem(const std::string& path, FileProblem problem,
                                const std::string& detail) {
    const std::string because = detail.empty() ? "" : " (" + detail + ")";
    switch (problem) {
        case FileProblem::kNone:
            return path;
        case FileProblem::kMissing:
            return path + ": no such file";
        case FileProblem::kNotReadable:
            return path + ": cannot be read" + because;
        case FileProblem::kNotRegular:
            return path + ": not a regular file" + because;
        case FileProblem::kNotPlayable:
            return path + ": not a playable WAV or MPEG file" + because;
        case FileProblem::kNoAudio:
            return "no audio in " + path;
        case FileProblem::kChanged:
            return path + ": the file changed while playing";
    }
    return path;
}

}  // namespace zirvak
