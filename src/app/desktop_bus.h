// The window on the session bus: one Zirvak plays at a time, and the desktop reaches it
// through MPRIS. Without a bus the player works as before, without the desktop's controls.
#pragma once

#include <QDBusConnection>
#include <string>
#include <vector>

namespace zirvak {

class MprisService;

// Makes the types of the hand-over known to the bus layer (lists of byte strings); called by
// both sides before their first call or export.
void RegisterBusTypes();

// How long a second start waits for the running window to take its files.
inline constexpr int kHandOverTimeoutMs = 2000;

// When a Zirvak already holds the player's name on `bus`, gives it `files` (made absolute: it
// runs in another folder), which replace its queue, and raises its window. True when it took
// them; false when none runs or it does not answer in time.
bool HandOverToRunningWindow(const QDBusConnection& bus, const std::vector<std::string>& files);

// Puts `service` on `bus` under the player's name, or, when `shared` is false or another window
// has that name, under a name of its own (…zirvak.instance<pid>) as players that run several
// times do. Returns "" or the reason it could not be published.
QString PublishOnBus(MprisService& service, const QDBusConnection& bus, bool shared);

}  // namespace zirvak
