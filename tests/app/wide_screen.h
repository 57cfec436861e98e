// Qt's offscreen platform with one screen large enough for the picture at every zoom (its own
// is 800 × 600, where the window caps its zoom at 1); the window on a small screen is tested on
// a real X server.
#pragma once

#include <stdlib.h>

#include <string>

#include "player_fixtures.h"

namespace zirvak::test {

// Points QT_QPA_PLATFORM at the offscreen platform with that screen, described in a file in
// `dir`.
inline void UseWideOffscreenScreen(const TempDir& dir) {
    const std::string json =
        R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 2560, "height": 1600,)"
        R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    const std::string config =
        WriteBytes(dir.Path("screens.json"), Bytes(json.begin(), json.end()));
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
}

}  // namespace zirvak::test
