// One accepted connection as the conversation sees it: buffered reads of
// bytes, lines and counted blocks, and sends, all of which wait in short
// slices so that a stopping server or an idle client ends the wait. Keeps a
// bounded copy of the bytes that passed each way.
#pragma once

#include "WinHandle.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace refserver {

// The first bytes of one direction of a connection, and the count of all.
class WireRecord {
public:
    explicit WireRecord(size_t keep) : keep_(keep) {}
    void add(const char* bytes, size_t count);
    const std::string& head() const { return head_; }
    uint64_t total() const { return total_; }

private:
    size_t keep_;
    std::string head_;
    uint64_t total_ = 0;
};

class ClientStream {
public:
    // idleLimit: longest wait for bytes that are due (zero: no limit).
    ClientStream(Socket socket, const std::atomic<bool>& stopping, std::chrono::milliseconds idleLimit,
                 size_t keepBytes);

    // These throw ClientClosed, ClientIdle, ServerStopping or SocketError.
    unsigned char readByte();
    // The bytes up to the next line feed, which is consumed and not returned.
    // ProtocolViolation when no line feed comes within maxLength bytes.
    std::string readLine(size_t maxLength, const char* what);
    std::string readExact(size_t count);
    // Up to count bytes: what is buffered, else what arrives next.
    size_t readSome(char* buffer, size_t count);
    void send(const std::string& bytes);

    // Reads and drops until the client closes or the server stops, without
    // an idle limit. Never throws.
    void drainUntilClosed();
    // Ends the sending side, then reads and drops what comes until the client
    // closes, the limit passes or the server stops, so that the client sees an
    // orderly close and not a reset. Never throws.
    void closeGracefully(std::chrono::milliseconds drainLimit = std::chrono::milliseconds(3000));

    const WireRecord& received() const { return received_; }
    const WireRecord& sent() const { return sent_; }

private:
    using Clock = std::chrono::steady_clock;
    // Waits for the socket to be readable (write = false) or writable; false
    // when the deadline passed. Throws ServerStopping.
    bool waitFor(bool write, Clock::time_point deadline, bool limited);
    // Refills the empty buffer; false when the client closed.
    bool fill(Clock::time_point deadline, bool limited);
    bool fillDue();

    Socket socket_;
    const std::atomic<bool>& stopping_;
    std::chrono::milliseconds idleLimit_;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool sendClosed_ = false;
    WireRecord received_;
    WireRecord sent_;
};

}  // namespace refserver
