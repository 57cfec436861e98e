// Runs zirvak-cli as a user does: with arguments and redirected output, or in a pseudo-terminal
// that the test types into.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zirvak::test {

std::string Quote(const std::string& s);

struct CliResult {
    int status = -1;
    std::string out, err;
};

// Runs zirvak-cli with `args` (quoted as a shell needs them), at most 20 s.
CliResult Cli(const std::string& args);

// A program run in the background, its output going to files (empty names: /dev/null), stdin
// from /dev/null. Killed when the object goes, if still running.
class Process {
public:
    Process(const std::vector<std::string>& argv, const std::string& out, const std::string& err);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void Signal(int sig);
    // Waits up to `ms` for the program to end; its exit status (128 + signal when a signal
    // ended it), or -1 when it is still running.
    int Wait(int ms);
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

// zirvak-cli in a pseudo-terminal, as in a terminal window.
class PtyCli {
public:
    // A terminal `columns` wide (by 24 lines); 0 leaves the size unset, as a terminal that
    // does not say.
    explicit PtyCli(const std::string& args, int columns = 0);
    ~PtyCli();
    PtyCli(const PtyCli&) = delete;
    PtyCli& operator=(const PtyCli&) = delete;

    void Type(const std::string& keys);
    // Resizes the terminal, as a user resizes its window (the program gets SIGWINCH).
    void SetColumns(int columns);
    // Reads what the program writes for `ms` milliseconds (or until it exits); returns all of
    // its output so far.
    const std::string& ReadFor(int ms);
    // Waits up to `ms` for the program to exit; its exit status, or -1 when it has not exited.
    int WaitForExit(int ms);
    pid_t pid() const { return child_; }
    // The terminal's settings as the program left them.
    bool TerminalEchoesLines() const;

private:
    int master_ = -1;
    pid_t child_ = -1;
    int status_ = -1;
    std::string output_;
};

}  // namespace zirvak::test
