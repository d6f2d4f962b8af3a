// A minimal blocking Winsock client on loopback for the reference server's
// tests: it sends bytes as given and reads answers with a receive time-out,
// so a missing answer fails the test instead of hanging it.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>

namespace qrxtest {

class RawClient {
public:
    // Connects to address:port; throws std::runtime_error when it cannot.
    RawClient(const char* address, unsigned short port, DWORD receiveWaitMs = 5000);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    void send(const std::string& bytes);
    // One byte, or -1 when the server closed or the wait ran out.
    int readByte();
    // How the last read ended.
    enum class End { Data, Closed, TimedOut, Failed };
    // Everything until the server closes (or the wait runs out: see lastEnd()).
    std::string readAll();
    End lastEnd() const { return lastEnd_; }
    void halfClose();
    void close();

private:
    SOCKET socket_ = INVALID_SOCKET;
    End lastEnd_ = End::Data;
};

// Raw byte helpers.
std::string bytes(std::initializer_list<int> values);
// A 4-byte big-endian length followed by the data.
std::string chunk(const std::string& data);
// count bytes of a repeatable pattern.
std::string pattern(size_t count, int seed);
std::string readFile(const std::wstring& path);
bool fileExists(const std::wstring& path);

}  // namespace qrxtest
