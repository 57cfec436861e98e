// Whether the session bus answers, asked with a deadline before Qt connects to it: Qt's own
// connection waits without one, so a bus address naming a socket that accepts but never
// answers (a bus that hangs, a stale listener) would freeze the window before it ever shows.
#pragma once

#include <string>

namespace zirvak {

// How long the bus has to answer.
inline constexpr int kBusAnswerMs = 1500;

// False, with the reason in `why`, when DBUS_SESSION_BUS_ADDRESS names a local socket that cannot
// be reached or does not answer a greeting in time. Addresses of other kinds, and no address,
// are left to the bus library (true).
bool SessionBusAnswers(std::string& why);

}  // namespace zirvak
