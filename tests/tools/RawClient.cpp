#include "RawClient.h"

#include <stdexcept>

namespace qrxtest {

RawClient::RawClient(const char* address, unsigned short port, DWORD receiveWaitMs) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (getaddrinfo(address, std::to_string(port).c_str(), &hints, &found) != 0)
        throw std::runtime_error("getaddrinfo failed");
    socket_ = socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
    int connected = socket_ == INVALID_SOCKET ? SOCKET_ERROR
                                              : connect(socket_, found->ai_addr, static_cast<int>(found->ai_addrlen));
    freeaddrinfo(found);
    if (connected != 0) {
        close();
        throw std::runtime_error("connect failed");
    }
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receiveWaitMs), sizeof receiveWaitMs);
    DWORD sendWait = 5000;
    setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendWait), sizeof sendWait);
}

RawClient::~RawClient() { close(); }

void RawClient::send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int done = ::send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (done <= 0) throw std::runtime_error("send failed: " + std::to_string(WSAGetLastError()));
        sent += static_cast<size_t>(done);
    }
}

int RawClient::readByte() {
    unsigned char byte = 0;
    int got = recv(socket_, reinterpret_cast<char*>(&byte), 1, 0);
    if (got == 1) {
        lastEnd_ = End::Data;
        return byte;
    }
    lastEnd_ = got == 0 ? End::Closed : WSAGetLastError() == WSAETIMEDOUT ? End::TimedOut : End::Failed;
    return -1;
}

std::string RawClient::readAll() {
    std::string all;
    char piece[65536];
    for (int round = 0; round < 100000; ++round) {
        int got = recv(socket_, piece, sizeof piece, 0);
        if (got > 0) {
            all.append(piece, static_cast<size_t>(got));
            continue;
        }
        lastEnd_ = got == 0 ? End::Closed : WSAGetLastError() == WSAETIMEDOUT ? End::TimedOut : End::Failed;
        return all;
    }
    lastEnd_ = End::Failed;
    return all;
}

void RawClient::halfClose() { shutdown(socket_, SD_SEND); }

void RawClient::close() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    socket_ = INVALID_SOCKET;
}

std::string bytes(std::initializer_list<int> values) {
    std::string result;
    for (int value : values) result += static_cast<char>(value);
    return result;
}

std::string chunk(const std::string& data) {
    auto n = static_cast<unsigned long>(data.size());
    return bytes({static_cast<int>(n >> 24 & 0xFF), static_cast<int>(n >> 16 & 0xFF), static_cast<int>(n >> 8 & 0xFF),
                  static_cast<int>(n & 0xFF)}) +
           data;
}

std::string pattern(size_t count, int seed) {
    std::string data(count, '\0');
    for (size_t i = 0; i < count; ++i) data[i] = static_cast<char>((i * 131 + seed + i / 251) & 0xFF);
    return data;
}

std::string readFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string content;
    char piece[65536];
    DWORD got = 0;
    while (ReadFile(file, piece, sizeof piece, &got, nullptr) && got > 0) content.append(piece, got);
    CloseHandle(file);
    return content;
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace qrxtest
