#include "close_on_signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>

namespace zirvak {

namespace {

int signalSocket[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    // Nothing else is safe here; a full socket means a close is already on its way.
    if (::write(signalSocket[0], &byte, 1) < 0) return;
}

}  // namespace

void CloseOnSignals(QWidget& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSocket) != 0) return;
    auto* notifier = new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        if (::read(signalSocket[1], &byte, 1) < 0) return;
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
}

}  // namespace zirvak
