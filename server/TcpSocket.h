// The monitor's only network code: one blocking TCP connection to the print
// server. Every failure raises the communication error naming the
// operation and where the connection goes.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

// The bounds on a connection's waits: each send, each connection attempt
// (per resolved address) and each receive that is not given a deadline of
// its own fail with WSAETIMEDOUT when the peer does not move within them.
struct SocketLimits {
    std::chrono::milliseconds send{std::chrono::seconds(300)};
    std::chrono::milliseconds connect{std::chrono::seconds(20)};
    std::chrono::milliseconds receive{std::chrono::seconds(300)};
};

class TcpSocket {
public:
    using Clock = std::chrono::steady_clock;
    // A point in time after which a receive gives up with WSAETIMEDOUT.
    using Deadline = std::optional<Clock::time_point>;

    explicit TcpSocket(SocketLimits limits = {}) : limits_(limits) {}
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;
    virtual ~TcpSocket();

    // Resolves host and port (a number or a service name, IPv4 or IPv6) and
    // connects to the first address that accepts within the connect limit.
    // Every failure of the connection names the place given (detail lines).
    void connect(const std::wstring& host, const std::wstring& port, const std::wstring& place);
    // Whether data, or the end of the stream, waits to be read; never waits.
    bool hasInput() { return waitForInput(std::chrono::microseconds(0)); }
    // How many bytes wait to be read; blind to the end of the stream, but
    // cheaper than a look with select.
    size_t bytesWaiting();
    // Whether data, or the end of the stream, arrives within the given time.
    bool waitForInput(std::chrono::microseconds wait);
    void sendAll(const BYTE* data, size_t count);
    // Sends two buffers as one, without copying them together.
    void sendAll(const BYTE* first, size_t firstCount, const BYTE* second, size_t secondCount);
    // The bytes received; 0 when the peer closed. Without waitForAll it
    // returns after the first piece.
    size_t receive(BYTE* buffer, size_t size, bool waitForAll, Deadline deadline = std::nullopt);
    void halfClose();
    // Lets the next small send leave at once instead of waiting to be coalesced.
    void sendImmediately();

    static constexpr int kBufferSize = 65536;

private:
    [[noreturn]] void fail(const std::wstring& operation, DWORD code) const;
    void waitReadable(size_t missing, const Clock::time_point& deadline);
    void configureNewSocket();
    // One bounded attempt; 0 when connected, else the attempt's Winsock error.
    DWORD attemptConnection(const sockaddr* address, int length);
    void close();

    SocketLimits limits_;
    std::wstring place_;
    SOCKET socket_ = INVALID_SOCKET;
};
