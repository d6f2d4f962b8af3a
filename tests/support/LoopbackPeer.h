// A scripted peer on loopback for tests of the monitor's network code: it
// accepts one connection and runs the test's script on it. Every wait is
// bounded, so a script that expects what never comes fails instead of hanging.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace qrxtest {

class PeerConnection {
public:
    explicit PeerConnection(SOCKET socket) : socket_(socket) {}
    // Exactly count bytes; fewer when the client closed or the wait ran out.
    std::string read(size_t count);
    std::string readLine();
    // Everything until the client closes its side.
    std::string readAll();
    void send(const std::string& bytes);
    // Closes at once with a reset instead of an orderly close.
    void reset();
    void close();
    SOCKET socket() const { return socket_; }

private:
    SOCKET socket_;
};

class LoopbackPeer {
public:
    using Script = std::function<void(PeerConnection&)>;
    // Runs the script on each of the first `connections` connections, one
    // after the other or, when parallel, each on a thread of its own.
    explicit LoopbackPeer(Script script, int family = AF_INET, int connections = 1, bool parallel = false);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    std::wstring port() const { return std::to_wstring(port_); }
    // Waits (bounded) for the script to end.
    void join();

    static constexpr DWORD kWaitMs = 5000;

private:
    unsigned short port_ = 0;  // before the listener, which sets it
    SOCKET listener_ = INVALID_SOCKET;
    std::thread thread_;
};

// What a scripted print server received of one job.
struct ServedJob {
    std::string jobLine, controlLine, controlText, dataLine, data;
    bool ended = false;
};

// Takes the four header steps of a job, answering each with a zero byte;
// false when the client broke off.
bool acceptJobHeader(PeerConnection& peer, ServedJob& job);

// Serves one job of the LPD conversation completely, answering every step
// with a zero byte, and reads until the client closes.
ServedJob serveJob(PeerConnection& peer);

// A loopback port that nothing listens on.
std::wstring closedPort();

// A loopback listener whose backlog is full and that accepts nothing, so
// that further connection attempts are dropped and wait: a stand-in for a
// host that does not answer.
class FullListener {
public:
    FullListener();
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;
    std::wstring port() const { return std::to_wstring(port_); }

private:
    unsigned short port_ = 0;
    SOCKET listener_ = INVALID_SOCKET;
    std::vector<SOCKET> queued_;
};

}  // namespace qrxtest
