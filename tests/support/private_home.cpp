#include "support/private_home.h"

#include <stdlib.h>

namespace zirvak::test {

namespace {

std::optional<std::string> Swap(const char* name, const std::string& value) {
    std::optional<std::string> was;
    if (const char* set = getenv(name)) was = set;
    setenv(name, value.c_str(), 1);
    return was;
}

void Restore(const char* name, const std::optional<std::string>& was) {
    if (was)
        setenv(name, was->c_str(), 1);
    else
        unsetenv(name);
}

}  // namespace

PrivateHome::PrivateHome(const std::string& folder)
    : config(folder + "/config"),
      cache(folder + "/cache"),
      savedConfig_(Swap("XDG_CONFIG_HOME", config)),
      savedCache_(Swap("XDG_CACHE_HOME", cache)) {}

PrivateHome::~PrivateHome() {
    Restore("XDG_CACHE_HOME", savedCache_);
    Restore("XDG_CONFIG_HOME", savedConfig_);
}

}  // namespace zirvak::test
