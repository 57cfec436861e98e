#include "cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace zirvak::test {

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Waits up to `ms` for child `pid` to end; its exit status (128 + signal when a signal ended it),
// kept in `status`, or -1 while it runs.
int WaitForChild(pid_t pid, int& status, int ms) {
    if (status != -1 || pid <= 0) return status;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int raw = 0;
        if (waitpid(pid, &raw, WNOHANG) == pid) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            return status;
        }
        if (Clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

std::string Quote(const std::string& s) {
    std::string quoted = "'";
    for (char c : s) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

CliResult Cli(const std::string& args) {
    const std::string base =
        (std::filesystem::temp_directory_path() / ("zirvak-cli-" + std::to_string(getpid())))
            .string();
    const std::string out = base + ".out", err = base + ".err";
    const int raw = std::system(("timeout 20 " + Quote(ZIRVAK_CLI) + " " + args + " >" +
                                 Quote(out) + " 2>" + Quote(err) + " </dev/null")
                                    .c_str());
    CliResult r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return r;
}

Process::Process(const std::vector<std::string>& argv, const std::string& out,
                 const std::string& err) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int o =
            open(out.empty() ? "/dev/null" : out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e =
            open(err.empty() ? "/dev/null" : err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0), dup2(o, 1), dup2(e, 2);
        execvp(args[0], args.data());
        _exit(127);
    }
}

Process::~Process() {
    if (Wait(0) == -1 && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void Process::Signal(int sig) {
    if (pid_ > 0 && status_ == -1) kill(pid_, sig);
}

int Process::Wait(int ms) {
    return WaitForChild(pid_, status_, ms);
}

namespace {

winsize Size(int columns) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(columns);
    return size;
}

}  // namespace

PtyCli::PtyCli(const std::string& args, int columns) {
    winsize size = Size(columns);
    child_ = forkpty(&master_, nullptr, nullptr, columns > 0 ? &size : nullptr);
    if (child_ == 0) {
        execl("/bin/sh", "sh", "-c", ("exec " + Quote(ZIRVAK_CLI) + " " + args).c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
}

PtyCli::~PtyCli() {
    if (WaitForExit(0) == -1 && child_ > 0) {
        kill(child_, SIGKILL);
        waitpid(child_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
}

bool PtyCli::TerminalEchoesLines() const {
    termios t{};
    return tcgetattr(master_, &t) == 0 && (t.c_lflag & ICANON) != 0 && (t.c_lflag & ECHO) != 0;
}

void PtyCli::SetColumns(int columns) {
    const winsize size = Size(columns);
    ioctl(master_, TIOCSWINSZ, &size);
}

void PtyCli::Type(const std::string& keys) {
    if (write(master_, keys.data(), keys.size()) < 0) return;
}

const std::string& PtyCli::ReadFor(int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, int(left)) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) break;  // the program has gone and closed its side
        output_.append(buffer, size_t(n));
    }
    return output_;
}

int PtyCli::WaitForExit(int ms) {
    return WaitForChild(child_, status_, ms);
}

}  // namespace zirvak::test
