// How a job waits for a print server that cannot be reached: growing pauses
// between tries, for up to the port's waiting time, cut short when the port
// closes or the monitor shuts down. The clock is a seam, so that tests need
// not wait minutes.
#pragma once

#include <windows.h>

#include <vector>

class WaitClock {
public:
    virtual ~WaitClock() = default;
    virtual ULONGLONG milliseconds() const = 0;
    // Waits the time given; false when one of the events was set first.
    virtual bool pause(DWORD milliseconds, const std::vector<HANDLE>& stops) const = 0;
};

const WaitClock& waitClock();
// Replaces the clock; nullptr puts the system's back.
void setWaitClock(const WaitClock* clock);

class ServerWait {
public:
    // stops: the events that end the wait at once (null ones are left out).
    ServerWait(DWORD minutes, std::vector<HANDLE> stops);

    // The port lets its jobs wait at all.
    bool allowed() const { return minutes_ > 0; }
    DWORD minutes() const { return minutes_; }
    // A try failed before this one.
    bool waited() const { return waited_; }
    bool timeOver() const;
    ULONGLONG secondsWaited() const;

    // The pause before the next try: 5 s, doubling, at most 60 s, and never
    // beyond the waiting time. False when the wait was stopped.
    bool pauseBeforeTry();
    // A pause in which the job was held in the queue: it does not count
    // against the waiting time, and the next pause is as long.
    void heldDuringPause();

    static DWORD pauseAfterTry(unsigned tries);

private:
    DWORD minutes_;
    std::vector<HANDLE> stops_;
    ULONGLONG started_;
    ULONGLONG deadline_;
    unsigned tries_ = 0;
    bool waited_ = false;
    DWORD lastPause_ = 0;
};
