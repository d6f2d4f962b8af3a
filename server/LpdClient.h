// One conversation with the print server's line printer daemon over its own
// connection: a job sent as length-prefixed chunks while the spooler
// delivers it, or one queue-state query.
#pragma once

#include "ControlFile.h"
#include "TcpSocket.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

// How long the monitor waits for a server that has stopped answering, and
// how much of what a misbehaving server sends it keeps.
struct LpdLimits {
    std::chrono::milliseconds acknowledgement{std::chrono::seconds(300)};
    std::chrono::milliseconds queueState{std::chrono::seconds(60)};
    std::chrono::milliseconds send{std::chrono::seconds(300)};
    // Each connection attempt, per resolved address.
    std::chrono::milliseconds connect{std::chrono::seconds(20)};
    // A refusal's text ends when the server closes or falls silent this long.
    std::chrono::milliseconds messageSilence{std::chrono::seconds(5)};
    // A gap this long between two chunks is a pause of the spooler, in which
    // the server may have answered.
    std::chrono::microseconds pauseBeforeLook{std::chrono::milliseconds(1)};
    size_t messageBytes = 64 * 1024;
    size_t queueStateBytes = 16 * 1024 * 1024;
};

class LpdClient {
public:
    // portName: the monitor's port the job goes out on, which its errors
    // name (none for a printer list).
    LpdClient(std::wstring queue, std::wstring host, std::wstring port, LpdLimits limits = {},
              std::wstring portName = {});
    LpdClient(const LpdClient&) = delete;
    LpdClient& operator=(const LpdClient&) = delete;
    virtual ~LpdClient() = default;

    // Connects and sends the job command, the control file and the data file
    // subcommand, each acknowledged by the server.
    void startJob(const ControlFile& controlFile);
    // One chunk of the job's data; whatever the server said since the last
    // chunk fails the job first.
    void sendChunk(const BYTE* data, DWORD count);
    // The end of the data, its acknowledgement and the close.
    void finishJob();
    // The server's whole answer to the long queue-state command.
    std::wstring queryQueueState(const std::vector<std::wstring>& operands);
    // Where a job goes, as its errors name it (detail lines).
    std::wstring jobPlace() const;

    // Command bytes of the conversation.
    static constexpr BYTE kJobCommand = 0xC2;
    static constexpr BYTE kControlFileCommand = 0x04;
    static constexpr BYTE kDataFileCommand = 0x16;
    static constexpr BYTE kQueueStateCommand = 0x04;

private:
    void sendCommand(BYTE command, const std::wstring& operands);
    void sendChunkData(const BYTE* data, DWORD count);
    // The server's answer at a step of the job (a string id that names it).
    void readAcknowledgement(UINT step);
    [[noreturn]] void raiseServerMessage(UINT step, TcpSocket::Clock::time_point deadline);
    std::wstring listingPlace() const;
    enum class Look { None, ForAnswer, ForAnswerOrClose };
    Look lookBefore(DWORD count) const;
    // What a silent server means while its answer is read: the end of a
    // refusal's text, or a failure when the deadline passes.
    enum class Silence { EndsText, FailsReceive };
    // Everything up to the server's close, keeping at most limit bytes.
    std::string receiveUntilClosed(size_t limit, TcpSocket::Clock::time_point deadline, Silence silence);
    TcpSocket::Clock::time_point after(std::chrono::milliseconds wait) const;

    std::wstring host_;
    std::wstring port_;
    std::wstring queue_;
    std::wstring portName_;
    LpdLimits limits_;
    std::unique_ptr<TcpSocket> socket_;
    bool looked_ = false;
    TcpSocket::Clock::time_point lastSendEnded_{};
    size_t sentSinceLook_ = 0;

    // Less than the socket's send buffer and the server's receive buffer
    // together, so that the look always comes before a send could block
    // behind a server that answered and stopped reading.
    static constexpr size_t kLookEveryBytes = 64 * 1024;
};
