// A settings folder and a cache of a test's own: what the window or the players write there
// never reaches the folders the whole suite shares, nor another test's.
#pragma once

#include <optional>
#include <string>

namespace zirvak::test {

// Points XDG_CONFIG_HOME at `folder`/config and XDG_CACHE_HOME at `folder`/cache while it lives
// (whoever writes there makes them), and puts back what was set before when it goes.
class PrivateHome {
public:
    explicit PrivateHome(const std::string& folder);
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;
    ~PrivateHome();

    const std::string config, cache;

private:
    std::optional<std::string> savedConfig_, savedCache_;
};

}  // namespace zirvak::test
