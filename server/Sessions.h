// The one place where the monitor deals with logon sessions and tokens: the
// session a spooler client prints from, the user logged on to a session, and
// the identity of the calling thread.
#pragma once

#include "OwnedHandle.h"

#include <optional>

// The sessions as the monitor asks for them. The default asks the system;
// tests play several sessions through a stand-in.
class SessionCalls {
public:
    virtual ~SessionCalls() = default;
    // The session of the client the calling thread impersonates; nullopt
    // when it impersonates nobody. A token that cannot be read counts as
    // session 0.
    virtual std::optional<DWORD> clientSession() const = 0;
    // The session at the physical console; kNoSession when there is none.
    virtual DWORD consoleSession() const = 0;
    // The token of the user logged on to the session; empty when nobody is.
    // Takes the service's own rights: call it while impersonating nobody.
    virtual OwnedHandle userToken(DWORD session) const = 0;

    static constexpr DWORD kNoSession = 0xFFFFFFFF;
};

const SessionCalls& sessionCalls();
// Replaces the calls; nullptr puts the system's back.
void setSessionCalls(const SessionCalls* calls);

// The session whose user is asked about a job that the calling thread's
// client prints: the client's own session; none for a client in session 0
// (services and jobs from other computers); the console's when the thread
// impersonates nobody. nullopt: nobody is asked.
std::optional<DWORD> promptSession(const SessionCalls& calls);

// Puts the calling thread's identity back, when the object goes, exactly as
// it was when the object was made: the token it impersonated, or its own.
class ThreadIdentity {
public:
    ThreadIdentity();
    ThreadIdentity(const ThreadIdentity&) = delete;
    ThreadIdentity& operator=(const ThreadIdentity&) = delete;
    ~ThreadIdentity();

    // Stops impersonating, so that the thread acts with the service's rights.
    void actAsSelf();

private:
    OwnedHandle saved_;
};
