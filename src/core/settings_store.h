// The settings of this run, and the file they are kept in: read once, written whole on each
// change. Without a file (none could be named) they are the defaults and nothing is written.
#pragma once

#include <string>

#include "settings.h"

namespace zirvak {

class SettingsStore {
public:
    explicit SettingsStore(std::string path = {});

    const Settings& settings() const { return settings_; }
    // Keeps `settings` and writes them. A file that cannot be written costs the next run its
    // memory, nothing more.
    void Update(const Settings& settings);

private:
    std::string path_;
    Settings settings_;
};

}  // namespace zirvak
