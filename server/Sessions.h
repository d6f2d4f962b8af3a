// The one place where the monitor deals with logon sessions and tokens: the
// client a spooler thread acts for, the user logged on to a session and
// whether anyone is at its screen, and the identity of the calling thread.
#pragma once

#include "OwnedHandle.h"

#include <optional>
#include <vector>

// A user's security identifier, as the bytes of its SID.
using UserSid = std::vector<BYTE>;

// The token the calling thread impersonates, opened so that it can be read
// and put back; or none, with the reason (ERROR_NO_TOKEN: the thread
// impersonates nobody).
struct ThreadToken {
    OwnedHandle token;
    DWORD error = ERROR_SUCCESS;
};

// The client a spooler thread acts for: the session it prints from and its user.
struct ClientIdentity {
    DWORD session = 0;
    UserSid user;
};

// The sessions as the monitor asks for them. The default asks the system;
// tests play several sessions and users through a stand-in.
class SessionCalls {
public:
    virtual ~SessionCalls() = default;
    virtual ThreadToken threadToken() const = 0;
    // The client a thread token stands for. A token whose session or user
    // cannot be read counts as session 0: nobody of this machine.
    virtual ClientIdentity clientOf(HANDLE threadToken) const = 0;
    // The session at the physical console; kNoSession when there is none.
    virtual DWORD consoleSession() const = 0;
    // The token of the user logged on to the session now; empty when nobody
    // is. Takes the service's own rights: call it while impersonating nobody.
    virtual OwnedHandle userToken(DWORD session) const = 0;
    // Someone may be at the session's screen: it is connected and active (a
    // locked session is). False for a disconnected or ended session.
    virtual bool isActive(DWORD session) const = 0;

    static constexpr DWORD kNoSession = 0xFFFFFFFF;
};

const SessionCalls& sessionCalls();
// Replaces the calls; nullptr puts the system's back.
void setSessionCalls(const SessionCalls* calls);

// The user a token belongs to; empty when it cannot be read.
UserSid tokenUser(HANDLE token);

// Puts the calling thread's identity back, when the object goes, exactly as
// it was when the object was made: the token it impersonated, or its own.
// When the thread's token cannot be read, the identity could not be put
// back, so the object never changes it.
class ThreadIdentity {
public:
    explicit ThreadIdentity(const SessionCalls& calls = sessionCalls());
    ThreadIdentity(const ThreadIdentity&) = delete;
    ThreadIdentity& operator=(const ThreadIdentity&) = delete;
    ~ThreadIdentity();

    bool restorable() const { return restorable_; }
    // The token the thread impersonated when the object was made; null when
    // it impersonated nobody (or cannot be put back).
    HANDLE clientToken() const { return saved_.get(); }
    // Stops impersonating, so that the thread acts with the service's
    // rights; false, changing nothing, when it could not be put back.
    bool actAsSelf();

private:
    OwnedHandle saved_;
    bool restorable_ = false;
};

// Whom to ask about a job that the calling thread prints: a session, and
// the user who printed when the thread acts for a client.
struct PromptTarget {
    DWORD session = 0;
    std::optional<UserSid> client;
};

// The client's own session; none for a client in session 0 (services and
// jobs from other computers); the console's when the thread impersonates
// nobody. nullopt: nobody is asked.
std::optional<PromptTarget> promptTarget(const SessionCalls& calls, const ThreadIdentity& identity);
