#include "thread_priority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zirvak {

namespace {

// Above the desktop's ordinary work, below what a sound server itself takes.
constexpr int kRealTimePriority = 5;
constexpr int kRaisedNice = -10;

void RaiseNice() {
    // On Linux a nice level is a thread's own, set by its id.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    if (getpriority(PRIO_PROCESS, thread) > kRaisedNice)
        setpriority(PRIO_PROCESS, thread, kRaisedNice);
}

}  // namespace

void RaiseToRealTime() {
    int policy = SCHED_OTHER;
    sched_param current{};
    // One that is real-time already (SDL may have made it so) is left as it is.
    if (pthread_getschedparam(pthread_self(), &policy, &current) == 0 &&
        (policy == SCHED_FIFO || policy == SCHED_RR))
        return;
    sched_param param{};
    param.sched_priority = kRealTimePriority;
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) != 0) RaiseNice();
}

void RaisePriority() {
    RaiseNice();
}

}  // namespace zirvak
