#include "settings_store.h"

#include <utility>

namespace zirvak {

SettingsStore::SettingsStore(std::string path)
    : path_(std::move(path)), settings_(path_.empty() ? Settings{} : LoadSettings(path_)) {}

void SettingsStore::Update(const Settings& settings) {
    settings_ = settings;
    if (!path_.empty()) SaveSettings(path_, settings_);
}

}  // namespace zirvak
