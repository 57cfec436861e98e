// Runs zirvak-cli as a user does: with arguments and redirected output, or in a pseudo-terminal
// that the test types into.
#pragma once

#include <sys/types.h>

#include <string>

namespace zirvak::test {

std::string Quote(const std::string& s);

struct CliResult {
    int status = -1;
    std::string out, err;
};

// Runs zirvak-cli with `args` (quoted as a shell needs them), at most 20 s.
CliResult Cli(const std::string& args);

// zirvak-cli in a pseudo-terminal, as in a terminal window.
class PtyCli {
public:
    explicit PtyCli(const std::string& args);
    ~PtyCli();
    PtyCli(const PtyCli&) = delete;
    PtyCli& operator=(const PtyCli&) = delete;

    void Type(const std::string& keys);
    // Reads what the program writes for `ms` milliseconds (or until it exits); returns all of
    // its output so far.
    const std::string& ReadFor(int ms);
    // Waits up to `ms` for the program to exit; its exit status, or -1 when it has not exited.
    int WaitForExit(int ms);

private:
    int master_ = -1;
    pid_t child_ = -1;
    int status_ = -1;
    std::string output_;
};

}  // namespace zirvak::test
