// SIGINT, SIGTERM and SIGHUP end the window as its Close command does, through Qt's event loop:
// the handler only writes to a socket, and the loop closes the window when it reads it.
#pragma once

class QWidget;

namespace zirvak {

// Closes `window` on any of the three signals. Call once, before the event loop runs.
void CloseOnSignals(QWidget& window);

}  // namespace zirvak
