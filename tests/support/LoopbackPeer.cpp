#include "LoopbackPeer.h"

#include <stdexcept>
#include <vector>

namespace qrxtest {

namespace {

void boundWaits(SOCKET socket) {
    DWORD wait = LoopbackPeer::kWaitMs;
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait), sizeof wait);
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&wait), sizeof wait);
}

SOCKET listenOnLoopback(int family, unsigned short& port, int backlog = 4) {
    SOCKET listener = socket(family, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) throw std::runtime_error("socket failed");
    sockaddr_storage address{};
    int length = 0;
    if (family == AF_INET6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
        length = sizeof *v6;
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof *v4;
    }
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener, backlog) != 0)
        throw std::runtime_error("bind or listen failed");
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                    : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return listener;
}

}  // namespace

std::string PeerConnection::read(size_t count) {
    std::string bytes;
    char piece[65536];
    while (bytes.size() < count) {
        int got = recv(socket_, piece, static_cast<int>(std::min<size_t>(sizeof piece, count - bytes.size())), 0);
        if (got <= 0) break;
        bytes.append(piece, static_cast<size_t>(got));
    }
    return bytes;
}

std::string PeerConnection::readLine() {
    std::string line;
    char c = 0;
    while (recv(socket_, &c, 1, 0) == 1) {
        line += c;
        if (c == '\n') break;
    }
    return line;
}

std::string PeerConnection::readAll() {
    std::string bytes;
    char piece[65536];
    for (int got; (got = recv(socket_, piece, sizeof piece, 0)) > 0;) bytes.append(piece, static_cast<size_t>(got));
    return bytes;
}

void PeerConnection::send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int done = ::send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (done <= 0) return;
        sent += static_cast<size_t>(done);
    }
}

void PeerConnection::reset() {
    linger abort{1, 0};
    setsockopt(socket_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    close();
}

void PeerConnection::close() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    socket_ = INVALID_SOCKET;
}

LoopbackPeer::LoopbackPeer(Script script, int family, int connections, bool parallel)
    : listener_(listenOnLoopback(family, port_)) {
    SOCKET listener = listener_;
    thread_ = std::thread([listener, connections, parallel, script = std::move(script)] {
        std::vector<std::thread> sessions;
        for (int served = 0; served < connections; ++served) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(listener, &ready);
            timeval wait{static_cast<long>(kWaitMs / 1000), 0};
            if (select(0, &ready, nullptr, nullptr, &wait) != 1) break;
            SOCKET accepted = accept(listener, nullptr, nullptr);
            if (accepted == INVALID_SOCKET) break;
            boundWaits(accepted);
            auto serve = [accepted, &script] {
                PeerConnection connection(accepted);
                script(connection);
                connection.close();
            };
            if (parallel)
                sessions.emplace_back(serve);
            else
                serve();
        }
        for (std::thread& session : sessions) session.join();
    });
}

void LoopbackPeer::join() {
    if (thread_.joinable()) thread_.join();
}

LoopbackPeer::~LoopbackPeer() {
    join();
    closesocket(listener_);
}

bool acceptJobHeader(PeerConnection& peer, ServedJob& job) {
    const std::string ack(1, '\0');
    job.jobLine = peer.readLine();
    peer.send(ack);
    job.controlLine = peer.readLine();
    peer.send(ack);
    if (job.controlLine.size() < 2) return false;
    std::string contents = peer.read(std::stoul(job.controlLine.substr(1)) + 1);
    job.controlText = contents.substr(0, contents.empty() ? 0 : contents.size() - 1);
    peer.send(ack);
    job.dataLine = peer.readLine();
    peer.send(ack);
    return true;
}

ServedJob serveJob(PeerConnection& peer) {
    const std::string ack(1, '\0');
    ServedJob job;
    if (!acceptJobHeader(peer, job)) return job;
    for (;;) {
        std::string header = peer.read(4);
        if (header.size() < 4) return job;
        uint32_t count = (uint32_t(BYTE(header[0])) << 24) | (uint32_t(BYTE(header[1])) << 16) |
                         (uint32_t(BYTE(header[2])) << 8) | uint32_t(BYTE(header[3]));
        if (count == 0) break;
        job.data += peer.read(count);
    }
    peer.send(ack);
    peer.readAll();
    job.ended = true;
    return job;
}

// Whether a connection attempt to the port completes within the wait; the
// socket is kept when it does.
static bool connectsWithin(unsigned short port, DWORD waitMs, SOCKET& connected) {
    SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    ioctlsocket(client, FIONBIO, &nonBlocking);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(client, &writable);
    timeval wait{0, static_cast<long>(waitMs * 1000)};
    if (select(0, nullptr, &writable, nullptr, &wait) == 1) {
        connected = client;
        return true;
    }
    closesocket(client);
    return false;
}

FullListener::FullListener() : listener_(listenOnLoopback(AF_INET, port_, 1)) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        SOCKET connected = INVALID_SOCKET;
        if (!connectsWithin(port_, 300, connected)) return;
        queued_.push_back(connected);
    }
    throw std::runtime_error("the listener's backlog never filled");
}

FullListener::~FullListener() {
    for (SOCKET queued : queued_) closesocket(queued);
    closesocket(listener_);
}

std::wstring closedPort() {
    unsigned short port = 0;
    SOCKET listener = listenOnLoopback(AF_INET, port);
    closesocket(listener);
    return std::to_wstring(port);
}

}  // namespace qrxtest
