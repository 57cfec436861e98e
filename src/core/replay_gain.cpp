#include "replay_gain.h"

#include <cmath>

namespace zirvak {

namespace {

struct Gain {
    std::optional<double> db;
    std::optional<double> peak;
};

}  // namespace

std::optional<ReplayGainMode> ParseReplayGainMode(std::string_view text) {
    for (const ReplayGainMode mode : {ReplayGainMode::kOff, ReplayGainMode::kTrack,
                                      ReplayGainMode::kAlbum, ReplayGainMode::kAuto})
        if (text == ReplayGainModeName(mode)) return mode;
    return std::nullopt;
}

const char* ReplayGainModeName(ReplayGainMode mode) {
    switch (mode) {
        case ReplayGainMode::kOff:
            return "off";
        case ReplayGainMode::kTrack:
            return "track";
        case ReplayGainMode::kAlbum:
            return "album";
        case ReplayGainMode::kAuto:
            return "auto";
    }
    return "off";
}

double ReplayGainFactor(const ReplayGainValues& values, const ReplayGainSettings& settings,
                        bool inAlbum) {
    if (settings.mode == ReplayGainMode::kOff) return 1.0;
    const bool album = settings.mode == ReplayGainMode::kAlbum ||
                       (settings.mode == ReplayGainMode::kAuto && inAlbum);
    const Gain track{values.trackGainDb, values.trackPeak};
    const Gain whole{values.albumGainDb, values.albumPeak};
    Gain chosen = album ? whole : track;
    if (!chosen.db) chosen = album ? track : whole;
    const double db = chosen.db ? *chosen.db + settings.preampDb : settings.fallbackDb;
    double factor = std::pow(10.0, db / 20.0);
    if (settings.preventClipping && chosen.db && chosen.peak && factor * *chosen.peak > 1.0)
        factor = 1.0 / *chosen.peak;
    return factor;
}

bool NeighbourInAlbum(const std::vector<std::string>& paths, size_t index,
                      const std::string& album) {
    if (album.empty()) return false;
    for (const size_t neighbour : {index - 1, index + 1})
        if (neighbour < paths.size() && ReadTagsOf(paths[neighbour]).album == album) return true;
    return false;
}

}  // namespace zirvak
