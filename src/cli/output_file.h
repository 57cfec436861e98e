// Where decode and render write. The output is never the input itself (by path, symlink or
// hard link), and a regular file is written beside OUT under a temporary name that replaces
// OUT only once it is complete, so a failed or interrupted run leaves OUT as it was. Outputs
// that are not regular files (/dev/null, a pipe) are written directly.
#pragma once

#include <string>
#include <vector>

namespace zirvak::cli {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Prepares to write `path` for reading `inputPaths`. False with the one-line reason in
    // `error` when `path` is one of the inputs or cannot be written.
    bool Prepare(const std::string& path, const std::vector<std::string>& inputPaths,
                 std::string& error);
    // The file to write now: the temporary file, or `path` itself for a device or pipe.
    const std::string& writePath() const { return writePath_; }
    // Puts the finished file in place of `path`. False with the reason in `error`.
    bool Commit(std::string& error);

private:
    std::string path_;
    std::string writePath_;
    bool temporary_ = false;
};

}  // namespace zirvak::cli
