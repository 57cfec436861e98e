// A signal one thread raises and another waits on with poll(), alongside whatever else it
// waits for (the terminal's keys, the window's events): raised from any thread without a lock,
// taken once however often it was raised.
#pragma once

namespace zirvak {

class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    void Raise();
    // Whether it was raised since the last Take; lowers it.
    bool Take();
    // Readable while raised; -1 when the system gave none (Raise and Take then do nothing).
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

}  // namespace zirvak
