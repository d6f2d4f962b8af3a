#include "LpdClient.h"

#include "ErrorBuilders.h"
#include "LPDErrorMap.h"
#include "RuntimeError.h"
#include "TextCodec.h"

LpdClient::LpdClient(std::wstring queue, std::wstring host, std::wstring port, LpdLimits limits)
    : host_(std::move(host)),
      port_(std::move(port)),
      queue_(std::move(queue)),
      limits_(limits),
      socket_(std::make_unique<TcpSocket>(limits.send)) {}

TcpSocket::Deadline LpdClient::after(std::chrono::milliseconds wait) const { return TcpSocket::Clock::now() + wait; }

void LpdClient::sendCommand(BYTE command, const std::wstring& operands) {
    std::string line;
    line += static_cast<char>(command);
    line += toWire(withoutLineBreaks(operands));
    line += '\n';
    socket_->sendAll(reinterpret_cast<const BYTE*>(line.data()), line.size());
}

std::string LpdClient::receiveUntilClosed(size_t limit, TcpSocket::Deadline deadline) {
    std::string kept;
    std::string piece(TcpSocket::kBufferSize, '\0');
    for (;;) {
        size_t got = socket_->receive(reinterpret_cast<BYTE*>(piece.data()), piece.size(), false, deadline);
        if (got == 0) return kept;
        if (kept.size() < limit) kept.append(piece.data(), std::min(got, limit - kept.size()));
    }
}

void LpdClient::raiseServerMessage(TcpSocket::Deadline deadline) {
    // The whole text is converted at once, so that no character is cut
    // between two pieces.
    std::wstring text = fromAnsi(receiveUntilClosed(limits_.messageBytes, deadline));
    throw LPDRuntimeError(text, lpdErrorMap().codeFor(text));
}

void LpdClient::readAcknowledgement() {
    TcpSocket::Deadline deadline = after(limits_.acknowledgement);
    BYTE answer = 0;
    if (socket_->receive(&answer, 1, true, deadline) == 0) throwServerClosed();
    if (answer != 0) raiseServerMessage(deadline);
}

void LpdClient::startJob(const ControlFile& controlFile) {
    socket_->connect(host_, port_);
    sendCommand(kJobCommand, queue_);
    readAcknowledgement();

    std::string text = toWire(controlFile.text);
    sendCommand(kControlFileCommand, std::to_wstring(text.size()) + L" " + controlFile.controlFileName);
    readAcknowledgement();

    // The text and its closing zero go in one send, so that the zero does
    // not wait behind a delayed acknowledgement.
    text += '\0';
    socket_->sendAll(reinterpret_cast<const BYTE*>(text.data()), text.size());
    readAcknowledgement();

    sendCommand(kDataFileCommand, controlFile.dataFileName);
    readAcknowledgement();
}

void LpdClient::sendChunk(const BYTE* data, DWORD count) {
    // Whatever the server said since the last look fails the job. Looking
    // costs as much as sending a small chunk (about 70 us under Wine), so
    // while chunks follow each other closely it is done once a millisecond:
    // an answer is then noticed at most a millisecond of sending late, and
    // the first chunk and any chunk after a pause always look.
    auto now = TcpSocket::Clock::now();
    if (now - lastPoll_ < kPollInterval) {
        sendChunkData(data, count);
        return;
    }
    lastPoll_ = now;
    if (socket_->hasInput()) {
        readAcknowledgement();
        throwProtocolError();
    }
    sendChunkData(data, count);
}

void LpdClient::sendChunkData(const BYTE* data, DWORD count) {
    const BYTE header[4] = {static_cast<BYTE>(count >> 24), static_cast<BYTE>(count >> 16),
                            static_cast<BYTE>(count >> 8), static_cast<BYTE>(count)};
    socket_->sendAll(header, sizeof header, data, count);
}

void LpdClient::finishJob() {
    // The end-of-data mark leaves at once; the data before it was coalesced.
    socket_->sendImmediately();
    const BYTE endOfData[4] = {0, 0, 0, 0};
    socket_->sendAll(endOfData, sizeof endOfData);
    readAcknowledgement();
    socket_->halfClose();
    receiveUntilClosed(0, after(limits_.acknowledgement));
}

std::wstring LpdClient::queryQueueState(const std::vector<std::wstring>& operands) {
    socket_->connect(host_, port_);
    TcpSocket::Deadline deadline = after(limits_.queueState);
    std::wstring line = queue_;
    for (const std::wstring& operand : operands) line += L" " + operand;
    sendCommand(kQueueStateCommand, line);
    return fromAnsi(receiveUntilClosed(limits_.queueStateBytes, deadline));
}
