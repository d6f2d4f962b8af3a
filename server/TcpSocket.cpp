#include "TcpSocket.h"

#include "ErrorBuilders.h"
#include "TcpPortNumber.h"
#include "TextCodec.h"

#include <algorithm>

TcpSocket::~TcpSocket() { close(); }

void TcpSocket::close() {
    if (socket_ == INVALID_SOCKET) return;
    ::shutdown(socket_, SD_BOTH);
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
}

void TcpSocket::fail(const std::wstring& operation, DWORD code) const {
    throwCommunicationError(operation, place_, code);
}

namespace {

// Owner of the address list of one resolution.
class AddressList {
public:
    explicit AddressList(addrinfo* list) : list_(list) {}
    ~AddressList() {
        if (list_) freeaddrinfo(list_);
    }
    AddressList(const AddressList&) = delete;
    AddressList& operator=(const AddressList&) = delete;
    addrinfo* first() const { return list_; }

private:
    addrinfo* list_;
};

}  // namespace

void TcpSocket::connect(const std::wstring& host, const std::wstring& port, const std::wstring& place) {
    place_ = place;
    // Name resolution would wrap a number beyond the last port into another
    // port; a service name is left to it.
    if (isDecimalNumber(port) && !isTcpPortNumber(port)) fail(L"getaddrinfo", WSAEINVAL);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    int result = getaddrinfo(toAnsi(host).c_str(), toAnsi(port).c_str(), &hints, &found);
    AddressList addresses(found);
    if (result != 0) fail(L"getaddrinfo", static_cast<DWORD>(result));
    if (!addresses.first()) fail(L"Hostname resolution", WSAHOST_NOT_FOUND);

    DWORD lastError = WSAHOST_NOT_FOUND;
    for (addrinfo* address = addresses.first(); address; address = address->ai_next) {
        socket_ = ::socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        if (socket_ == INVALID_SOCKET) fail(L"socket", WSAGetLastError());
        configureNewSocket();
        lastError = attemptConnection(address->ai_addr, static_cast<int>(address->ai_addrlen));
        if (lastError == 0) return;
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    fail(L"Connection", lastError);
}

void TcpSocket::configureNewSocket() {
    const int bufferSize = kBufferSize;
    const BOOL on = TRUE;
    const DWORD sendWait = static_cast<DWORD>(limits_.send.count());
    const DWORD receiveWait = static_cast<DWORD>(limits_.receive.count());
    // Keep-alive lets a connection to a vanished server break in the end;
    // the send limit frees the thread from a server that stops reading, and
    // the receive limit from one that stops answering, without a select
    // before every receive.
    if (setsockopt(socket_, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bufferSize), sizeof bufferSize) ==
            SOCKET_ERROR ||
        setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bufferSize), sizeof bufferSize) ==
            SOCKET_ERROR ||
        setsockopt(socket_, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on) == SOCKET_ERROR ||
        setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendWait), sizeof sendWait) ==
            SOCKET_ERROR ||
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receiveWait),
                   sizeof receiveWait) == SOCKET_ERROR)
        fail(L"setsockopt", WSAGetLastError());
}

namespace {

timeval timevalOf(std::chrono::microseconds wait) {
    auto count = std::max<long long>(wait.count(), 0);
    return timeval{static_cast<long>(count / 1000000), static_cast<long>(count % 1000000)};
}

DWORD setBlocking(SOCKET socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(socket, FIONBIO, &nonBlocking) == SOCKET_ERROR ? WSAGetLastError() : 0;
}

}  // namespace

DWORD TcpSocket::attemptConnection(const sockaddr* address, int length) {
    // The attempt runs without blocking, so that a host that drops
    // connection attempts holds the thread no longer than the connect limit
    // instead of the system's own connect time-out.
    if (DWORD error = setBlocking(socket_, false)) return error;
    if (::connect(socket_, address, length) == SOCKET_ERROR) {
        DWORD error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) return error;
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket_, &writable);
        FD_SET(socket_, &failed);
        timeval wait = timevalOf(limits_.connect);
        int ready = select(0, nullptr, &writable, &failed, &wait);
        if (ready == SOCKET_ERROR) return WSAGetLastError();
        if (ready == 0) return WSAETIMEDOUT;
        // Writable means connected; a failed attempt shows in the other set.
        if (!FD_ISSET(socket_, &writable)) {
            int outcome = 0;
            int size = sizeof outcome;
            if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&outcome), &size) == SOCKET_ERROR)
                return WSAGetLastError();
            return outcome != 0 ? static_cast<DWORD>(outcome) : WSAECONNREFUSED;
        }
    }
    return setBlocking(socket_, true);
}

bool TcpSocket::waitForInput(std::chrono::microseconds wait) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval limit = timevalOf(wait);
    if (select(0, &readable, nullptr, nullptr, &limit) == SOCKET_ERROR) fail(L"select", WSAGetLastError());
    return FD_ISSET(socket_, &readable) != 0;
}

size_t TcpSocket::bytesWaiting() {
    u_long waiting = 0;
    if (ioctlsocket(socket_, FIONREAD, &waiting) == SOCKET_ERROR) fail(L"ioctlsocket", WSAGetLastError());
    return waiting;
}

void TcpSocket::sendAll(const BYTE* data, size_t count) { sendAll(data, count, nullptr, 0); }

void TcpSocket::sendAll(const BYTE* first, size_t firstCount, const BYTE* second, size_t secondCount) {
    WSABUF buffers[2] = {{static_cast<ULONG>(firstCount), reinterpret_cast<CHAR*>(const_cast<BYTE*>(first))},
                         {static_cast<ULONG>(secondCount), reinterpret_cast<CHAR*>(const_cast<BYTE*>(second))}};
    WSABUF* pending = buffers;
    DWORD pendingCount = secondCount > 0 ? 2 : 1;
    if (firstCount == 0) {
        ++pending;
        --pendingCount;
    }
    size_t unsent = firstCount + secondCount;
    while (unsent > 0) {
        DWORD sent = 0;
        if (WSASend(socket_, pending, pendingCount, &sent, 0, nullptr, nullptr) == SOCKET_ERROR)
            fail(L"send(" + std::to_wstring(unsent) + L")", WSAGetLastError());
        unsent -= sent;
        // A blocking socket may still take less than offered: go on with the rest.
        while (pendingCount > 0 && sent >= pending->len) {
            sent -= pending->len;
            ++pending;
            --pendingCount;
        }
        if (pendingCount > 0) {
            pending->buf += sent;
            pending->len -= sent;
        }
    }
}

void TcpSocket::waitReadable(size_t missing, const Clock::time_point& deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0) fail(L"Receive(" + std::to_wstring(missing) + L")", WSAETIMEDOUT);
        if (waitForInput(left)) return;
    }
}

size_t TcpSocket::receive(BYTE* buffer, size_t size, bool waitForAll, Deadline deadline) {
    size_t received = 0;
    while (received < size) {
        size_t missing = size - received;
        if (deadline) waitReadable(missing, *deadline);
        int piece = std::min<size_t>(missing, 0x7FFFFFFF);
        int got = recv(socket_, reinterpret_cast<char*>(buffer + received), piece, 0);
        if (got == SOCKET_ERROR) fail(L"Receive(" + std::to_wstring(missing) + L")", WSAGetLastError());
        if (got == 0) break;
        received += static_cast<size_t>(got);
        if (!waitForAll) break;
    }
    return received;
}

void TcpSocket::halfClose() {
    if (::shutdown(socket_, SD_SEND) == SOCKET_ERROR) fail(L"shutdown", WSAGetLastError());
}

void TcpSocket::sendImmediately() {
    const BOOL on = TRUE;
    if (setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on) == SOCKET_ERROR)
        fail(L"setsockopt", WSAGetLastError());
}
