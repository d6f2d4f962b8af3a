#include "ServerWait.h"

#include <algorithm>

namespace {

constexpr DWORD kFirstPauseMilliseconds = 5000;
constexpr DWORD kLongestPauseMilliseconds = 60000;

class SystemClock : public WaitClock {
public:
    ULONGLONG milliseconds() const override { return GetTickCount64(); }
    bool pause(DWORD milliseconds, const std::vector<HANDLE>& stops) const override {
        if (stops.empty()) {
            Sleep(milliseconds);
            return true;
        }
        return WaitForMultipleObjects(static_cast<DWORD>(stops.size()), stops.data(), FALSE, milliseconds) ==
               WAIT_TIMEOUT;
    }
};

const SystemClock systemClock;
const WaitClock* installedClock = nullptr;

}  // namespace

const WaitClock& waitClock() { return installedClock ? *installedClock : systemClock; }

void setWaitClock(const WaitClock* clock) { installedClock = clock; }

ServerWait::ServerWait(DWORD minutes, std::vector<HANDLE> stops)
    : minutes_(minutes),
      started_(waitClock().milliseconds()),
      deadline_(started_ + ULONGLONG(minutes) * 60000) {
    for (HANDLE stop : stops)
        if (stop) stops_.push_back(stop);
}

bool ServerWait::timeOver() const { return waitClock().milliseconds() >= deadline_; }

ULONGLONG ServerWait::secondsWaited() const { return (waitClock().milliseconds() - started_) / 1000; }

DWORD ServerWait::pauseAfterTry(unsigned tries) {
    DWORD pause = kFirstPauseMilliseconds;
    for (unsigned doubled = 1; doubled < tries && pause < kLongestPauseMilliseconds; ++doubled) pause *= 2;
    return std::min(pause, kLongestPauseMilliseconds);
}

bool ServerWait::pauseBeforeTry() {
    ++tries_;
    waited_ = true;
    const ULONGLONG now = waitClock().milliseconds();
    const ULONGLONG left = deadline_ > now ? deadline_ - now : 0;
    lastPause_ = static_cast<DWORD>(std::min<ULONGLONG>(pauseAfterTry(tries_), left));
    return waitClock().pause(lastPause_, stops_);
}

void ServerWait::heldDuringPause() {
    deadline_ += lastPause_;
    --tries_;
}
