#include "ClientStream.h"
#include "ServerErrors.h"

#include <algorithm>

namespace refserver {

namespace {

constexpr long kSliceMicroseconds = 50000;

}  // namespace

void WireRecord::add(const char* bytes, size_t count) {
    total_ += count;
    if (head_.size() < keep_) head_.append(bytes, std::min(count, keep_ - head_.size()));
}

ClientStream::ClientStream(Socket socket, const std::atomic<bool>& stopping, std::chrono::milliseconds idleLimit,
                           size_t keepBytes)
    : socket_(std::move(socket)),
      stopping_(stopping),
      idleLimit_(idleLimit),
      buffer_(65536),
      received_(keepBytes),
      sent_(keepBytes) {}

bool ClientStream::waitFor(bool write, Clock::time_point deadline, bool limited) {
    for (;;) {
        if (stopping_) throw ServerStopping();
        if (limited && Clock::now() >= deadline) return false;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket_.get(), &set);
        timeval slice{0, kSliceMicroseconds};
        int ready = write ? select(0, nullptr, &set, nullptr, &slice) : select(0, &set, nullptr, nullptr, &slice);
        if (ready == SOCKET_ERROR) throw SocketError("select", WSAGetLastError());
        if (ready > 0) return true;
    }
}

bool ClientStream::fill(Clock::time_point deadline, bool limited) {
    if (!waitFor(false, deadline, limited)) throw ClientIdle();
    int got = recv(socket_.get(), buffer_.data(), static_cast<int>(buffer_.size()), 0);
    if (got == SOCKET_ERROR) throw SocketError("recv", WSAGetLastError());
    if (got == 0) return false;
    received_.add(buffer_.data(), static_cast<size_t>(got));
    begin_ = 0;
    end_ = static_cast<size_t>(got);
    return true;
}

bool ClientStream::fillDue() {
    bool limited = idleLimit_.count() > 0;
    return fill(limited ? Clock::now() + idleLimit_ : Clock::time_point(), limited);
}

unsigned char ClientStream::readByte() {
    if (begin_ == end_ && !fillDue()) throw ClientClosed();
    return static_cast<unsigned char>(buffer_[begin_++]);
}

std::string ClientStream::readLine(size_t maxLength, const char* what) {
    std::string line;
    for (;;) {
        if (begin_ == end_ && !fillDue()) throw ClientClosed();
        const char* start = buffer_.data() + begin_;
        const char* stop = buffer_.data() + end_;
        const char* feed = std::find(start, stop, '\n');
        line.append(start, feed);
        begin_ += static_cast<size_t>(feed - start);
        if (line.size() > maxLength) throw ProtocolViolation(std::string(what) + " longer than " +
                                                             std::to_string(maxLength) + " bytes");
        if (feed != stop) {
            ++begin_;
            return line;
        }
    }
}

std::string ClientStream::readExact(size_t count) {
    std::string bytes;
    while (bytes.size() < count) {
        char piece[4096];
        size_t got = readSome(piece, std::min(sizeof piece, count - bytes.size()));
        bytes.append(piece, got);
    }
    return bytes;
}

size_t ClientStream::readSome(char* buffer, size_t count) {
    if (count == 0) return 0;
    if (begin_ == end_ && !fillDue()) throw ClientClosed();
    size_t taken = std::min(count, end_ - begin_);
    std::copy(buffer_.data() + begin_, buffer_.data() + begin_ + taken, buffer);
    begin_ += taken;
    return taken;
}

void ClientStream::send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        bool limited = idleLimit_.count() > 0;
        if (!waitFor(true, Clock::now() + idleLimit_, limited)) throw ClientIdle();
        int piece = static_cast<int>(std::min<size_t>(bytes.size() - done, 65536));
        int sent = ::send(socket_.get(), bytes.data() + done, piece, 0);
        if (sent == SOCKET_ERROR) throw SocketError("send", WSAGetLastError());
        sent_.add(bytes.data() + done, static_cast<size_t>(sent));
        done += static_cast<size_t>(sent);
    }
}

void ClientStream::drainUntilClosed() {
    try {
        begin_ = end_ = 0;
        while (fill(Clock::time_point(), false)) begin_ = end_ = 0;
    } catch (const std::exception&) {
        // Stopping, or the client reset the connection: either way it is over.
    }
}

void ClientStream::closeGracefully(std::chrono::milliseconds drainLimit) {
    if (!sendClosed_) {
        shutdown(socket_.get(), SD_SEND);
        sendClosed_ = true;
    }
    try {
        Clock::time_point deadline = Clock::now() + drainLimit;
        begin_ = end_ = 0;
        while (fill(deadline, true)) begin_ = end_ = 0;
    } catch (const std::exception&) {
        // Idle past the limit, stopping or reset: the socket closes anyway.
    }
}

}  // namespace refserver
