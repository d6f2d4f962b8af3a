#include "LpdClient.h"

#include "ErrorBuilders.h"
#include "LPDErrorMap.h"
#include "ResourceIds.h"
#include "RuntimeError.h"
#include "TextCodec.h"

LpdClient::LpdClient(std::wstring queue, std::wstring host, std::wstring port, LpdLimits limits,
                     std::wstring portName)
    : host_(std::move(host)),
      port_(std::move(port)),
      queue_(std::move(queue)),
      portName_(std::move(portName)),
      limits_(limits),
      socket_(std::make_unique<TcpSocket>(SocketLimits{limits.send, limits.connect, limits.acknowledgement})) {}

std::wstring LpdClient::jobPlace() const { return serverPlace(portName_, host_, port_, &queue_); }

std::wstring LpdClient::listingPlace() const { return serverPlace(portName_, host_, port_, nullptr); }

TcpSocket::Clock::time_point LpdClient::after(std::chrono::milliseconds wait) const {
    return TcpSocket::Clock::now() + wait;
}

void LpdClient::sendCommand(BYTE command, const std::wstring& operands) {
    std::string line;
    line += static_cast<char>(command);
    line += toWire(withoutLineBreaks(operands));
    line += '\n';
    socket_->sendAll(reinterpret_cast<const BYTE*>(line.data()), line.size());
}

std::string LpdClient::receiveUntilClosed(size_t limit, TcpSocket::Clock::time_point deadline, Silence silence) {
    std::string kept;
    std::string piece(TcpSocket::kBufferSize, '\0');
    for (;;) {
        if (silence == Silence::EndsText) {
            auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - TcpSocket::Clock::now());
            if (left.count() <= 0) return kept;
            if (!socket_->waitForInput(std::min<std::chrono::microseconds>(left, limits_.messageSilence))) return kept;
        }
        size_t got = socket_->receive(reinterpret_cast<BYTE*>(piece.data()), piece.size(), false, deadline);
        if (got == 0) return kept;
        if (kept.size() < limit) kept.append(piece.data(), std::min(got, limit - kept.size()));
    }
}

void LpdClient::raiseServerMessage(UINT step, TcpSocket::Clock::time_point deadline) {
    // The text ends where the server closes, falls silent or runs out of
    // time: a server that keeps the connection open still has its say.
    // It is converted at once, so that no character is cut between pieces.
    std::wstring text = fromWire(receiveUntilClosed(limits_.messageBytes, deadline, Silence::EndsText));
    throwServerRefusal(text, lpdErrorMap().codeFor(text), step, jobPlace());
}

void LpdClient::readAcknowledgement(UINT step) {
    auto deadline = after(limits_.acknowledgement);
    BYTE answer = 0;
    // The socket's receive limit is the acknowledgement limit.
    if (socket_->receive(&answer, 1, true) == 0) throwServerClosed(step, jobPlace());
    if (answer != 0) raiseServerMessage(step, deadline);
}

void LpdClient::startJob(const ControlFile& controlFile) {
    socket_->connect(host_, port_, jobPlace());
    sendCommand(kJobCommand, queue_);
    readAcknowledgement(IDS_STEP_JOB_COMMAND);

    std::string text = toWire(controlFile.text);
    sendCommand(kControlFileCommand, std::to_wstring(text.size()) + L" " + controlFile.controlFileName);
    readAcknowledgement(IDS_STEP_CONTROL_FILE);

    // The text and its closing zero go in one send, so that the zero does
    // not wait behind a delayed acknowledgement.
    text += '\0';
    socket_->sendAll(reinterpret_cast<const BYTE*>(text.data()), text.size());
    readAcknowledgement(IDS_STEP_CONTROL_FILE);

    sendCommand(kDataFileCommand, controlFile.dataFileName);
    readAcknowledgement(IDS_STEP_DATA_FILE);
}

LpdClient::Look LpdClient::lookBefore(DWORD count) const {
    // An answer can only have arrived unseen on the first chunk, after a
    // pause of the spooler, or once enough data went out since the last look.
    // Looking costs about as much as sending a small chunk, so chunks that
    // follow each other closely do not look each time.
    if (!looked_ || TcpSocket::Clock::now() - lastSendEnded_ >= limits_.pauseBeforeLook) return Look::ForAnswerOrClose;
    if (sentSinceLook_ + count > kLookEveryBytes) return Look::ForAnswer;
    return Look::None;
}

void LpdClient::sendChunk(const BYTE* data, DWORD count) {
    Look look = lookBefore(count);
    if (look != Look::None) {
        looked_ = true;
        sentSinceLook_ = 0;
        // While the data streams, the cheaper look that sees bytes but not a
        // bare close is enough: a close then fails the next send or the end
        // of data.
        bool answered = look == Look::ForAnswerOrClose ? socket_->hasInput() : socket_->bytesWaiting() > 0;
        if (answered) {
            readAcknowledgement(IDS_STEP_DATA);
            throwProtocolError(IDS_STEP_DATA, jobPlace());
        }
    }
    sendChunkData(data, count);
    sentSinceLook_ += count;
    lastSendEnded_ = TcpSocket::Clock::now();
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
    readAcknowledgement(IDS_STEP_END_OF_DATA);
    try {
        socket_->halfClose();
        receiveUntilClosed(0, after(limits_.acknowledgement), Silence::FailsReceive);
    } catch (const ConnectionError& error) {
        // The server has taken the job: sending it again would print it twice.
        throw RuntimeError(error.message(), error.code());
    }
}

std::wstring LpdClient::queryQueueState(const std::vector<std::wstring>& operands) {
    socket_->connect(host_, port_, listingPlace());
    auto deadline = after(limits_.queueState);
    std::wstring line = queue_;
    for (const std::wstring& operand : operands) line += L" " + operand;
    sendCommand(kQueueStateCommand, line);
    return fromWire(receiveUntilClosed(limits_.queueStateBytes, deadline, Silence::FailsReceive));
}
