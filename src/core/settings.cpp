#include "settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <optional>
#include <sstream>
#include <system_error>

#include "tag_text.h"
#include "whole_file.h"

namespace zirvak {

namespace {

namespace fs = std::filesystem;

// A settings file is a few lines; anything much longer is not ours.
constexpr std::uintmax_t kMaxFileBytes = 64 * 1024;

// The whole decimal number `text`, if it lies in [low, high].
bool ParseInt(const std::string& text, int low, int high, int& out) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end || value < low || value > high) return false;
    out = value;
    return true;
}

// The whole of `path` when it is a regular file of at most kMaxFileBytes. Opened before it is
// looked at, without waiting: a FIFO or device put in its place is never waited on or read.
std::optional<std::string> SmallFileText(const std::string& path) {
    if (path.empty()) return std::nullopt;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    std::optional<std::string> text;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= off_t(kMaxFileBytes)) {
        text.emplace(kMaxFileBytes + 1, '\0');
        size_t done = 0;
        for (ssize_t n = 1; n != 0 && done < text->size();) {
            n = read(fd, text->data() + done, text->size() - done);
            if (n < 0 && errno != EINTR) break;
            done += n > 0 ? size_t(n) : 0;
        }
        text->resize(done);
        if (done > kMaxFileBytes) text.reset();  // grown since: not ours
    }
    close(fd);
    return text;
}

}  // namespace

std::string SettingsPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/zirvak/settings";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config/zirvak/settings";
    return {};
}

Settings LoadSettings(const std::string& path) {
    Settings settings;
    const std::optional<std::string> text = SmallFileText(path);
    if (!text) return settings;
    std::istringstream in(*text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // written on Windows
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "volume") {
            ParseInt(value, 0, 100, settings.volumePercent);
        } else if (key == "zoom") {
            ParseInt(value, 0, Settings::kMaxZoom, settings.zoom);
        } else if (key == "replaygain") {
            settings.replayGain = ParseReplayGainMode(value).value_or(settings.replayGain);
        } else if (key == "replaygain-preamp") {
            const std::optional<double> db = ParseReplayGainDb(value);
            if (db && std::abs(*db) <= 15) settings.replayGainPreampDb = *db;
        } else if (key == "replaygain-fallback") {
            settings.replayGainFallbackDb =
                ParseReplayGainDb(value).value_or(settings.replayGainFallbackDb);
        } else if (key == "gapless" && (value == "on" || value == "off")) {
            settings.gapless = value == "on";
        } else if (key == "replaygain-clipping" && (value == "prevent" || value == "allow")) {
            settings.replayGainPreventClipping = value == "prevent";
        } else if (key == "last-folder" && !value.empty() && value[0] == '/') {
            settings.lastFolder = value;
        }
    }
    return settings;
}

bool SaveSettings(const std::string& path, const Settings& settings) {
    if (path.empty()) return false;
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    std::ostringstream out;
    out.imbue(std::locale::classic());  // "2.5", whatever the desktop's language
    out << "volume=" << settings.volumePercent << "\n"
        << "zoom=" << settings.zoom << "\n"
        << "replaygain=" << ReplayGainModeName(settings.replayGain) << "\n"
        << "replaygain-preamp=" << settings.replayGainPreampDb << "\n"
        << "replaygain-fallback=" << settings.replayGainFallbackDb << "\n"
        << "replaygain-clipping=" << (settings.replayGainPreventClipping ? "prevent" : "allow")
        << "\n"
        << "gapless=" << (settings.gapless ? "on" : "off") << "\n";
    // A folder name with a line break in it cannot be stored; it is forgotten instead.
    if (settings.lastFolder.find('\n') == std::string::npos)
        out << "last-folder=" << settings.lastFolder << "\n";
    // Private: the last folder says where the user keeps their music.
    return ReplaceFile(path, out.str(), 0600);
}

}  // namespace zirvak
