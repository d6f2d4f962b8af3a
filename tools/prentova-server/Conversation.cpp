#include "Conversation.h"
#include "Fnv1a64.h"
#include "ServerErrors.h"
#include "Text.h"

#include <cstdio>

namespace refserver {

namespace {

constexpr unsigned char kJobCommand = 0xC2;
constexpr unsigned char kQueueState = 0x04;
constexpr unsigned char kControlFile = 0x04;
constexpr unsigned char kDataFile = 0x16;
constexpr unsigned char kRefusal = 0x01;
constexpr size_t kMaxQueueName = 255;
constexpr size_t kMaxCommandLine = 1024;
constexpr uint64_t kMaxControlFile = 1024 * 1024;

// The conversation ended the way the fault plan said.
class FaultEnded : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string hexByte(unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

void checkFileName(const std::string& name, const char* which) {
    std::string reason = unsafeFileNameReason(name);
    if (!reason.empty()) throw ProtocolViolation(std::string(which) + " \"" + printable(name) + "\": " + reason);
}

uint64_t parseByteCount(const std::string& digits) {
    if (digits.empty() || digits.size() > 10) throw ProtocolViolation("bad control file byte count");
    uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') throw ProtocolViolation("bad control file byte count \"" + printable(digits) + "\"");
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > kMaxControlFile) throw ProtocolViolation("control file longer than 1 MiB");
    return value;
}

bool isKnownQueue(const std::vector<Printer>& printers, const std::string& queue) {
    std::wstring name = fromCp1252(queue);
    for (const auto& printer : printers)
        if (printer.name == name) return true;
    return false;
}

}  // namespace

std::string unknownQueueMessage(const std::string& queue) { return "VAV001E Unknown printer " + queue; }
std::string protocolErrorMessage(const std::string& detail) { return "VAV003E Invalid command: " + detail; }
std::string spoolErrorMessage(const std::string& detail) { return "VAV004E Cannot store the job: " + detail; }

ConnectionRecord Conversation::run() {
    record_.peer = peer_;
    try {
        unsigned char command = stream_.readByte();
        if (command == kJobCommand) {
            record_.kind = ConversationKind::Job;
            plan_ = host_.takeFaultPlan(false);
            serveJob();
        } else if (command == kQueueState) {
            record_.kind = ConversationKind::Query;
            plan_ = host_.takeFaultPlan(true);
            serveQuery();
        } else {
            throw ProtocolViolation("unknown command byte " + hexByte(command));
        }
    } catch (const FaultEnded& e) {
        record_.outcome = e.what();
    } catch (const ProtocolViolation& e) {
        record_.outcome = std::string("refused: ") + e.what();
        refuse(protocolErrorMessage(e.what()));
    } catch (const SpoolError& e) {
        record_.outcome = std::string("refused: ") + e.what();
        refuse(spoolErrorMessage(e.what()));
    } catch (const ClientClosed&) {
        record_.outcome = "client closed before the conversation ended";
    } catch (const std::exception& e) {
        record_.outcome = e.what();
    } catch (...) {
        record_.outcome = "unexpected failure";
    }
    if (!reported_) host_.log("connection from " + peer_ + ": " + record_.outcome);
    return record_;
}

void Conversation::refuse(const std::string& message) {
    try {
        stream_.send(std::string(1, static_cast<char>(kRefusal)) + message);
    } catch (const std::exception&) {
        // The client is gone; there is nobody left to tell.
    }
    stream_.closeGracefully();
}

const FaultPlan* Conversation::planAt(FaultStep step, unsigned chunk) {
    if (!plan_ || plan_->step != step) return nullptr;
    if (step == FaultStep::AfterChunk && plan_->chunk != chunk) return nullptr;
    if (!record_.faultApplied) host_.log("connection from " + peer_ + ": fault " + describe(*plan_));
    record_.faultApplied = true;
    return &*plan_;
}

void Conversation::act(const FaultPlan& plan) {
    std::string where = faultStepName(plan.step, plan.chunk);
    switch (plan.action) {
    case FaultAction::Close:
        stream_.closeGracefully();
        throw FaultEnded("closed without answering at " + where);
    case FaultAction::Silent:
        stream_.drainUntilClosed();
        throw FaultEnded("stayed silent from " + where);
    case FaultAction::Reply:
        stream_.send(std::string(1, static_cast<char>(plan.replyByte)) + plan.message);
        if (!plan.continueAfterReply) {
            stream_.closeGracefully();
            throw FaultEnded("replied " + hexByte(plan.replyByte) + " \"" + printable(plan.message) + "\" at " +
                             where + " and closed");
        }
        return;
    }
}

void Conversation::answer(FaultStep step) {
    if (const FaultPlan* plan = planAt(step))
        act(*plan);
    else
        stream_.send(std::string(1, '\0'));
}

void Conversation::serveJob() {
    ReceivedJob job;
    job.peer = peer_;
    job.queue = stream_.readLine(kMaxQueueName, "queue name");
    if (const FaultPlan* plan = planAt(FaultStep::JobCommand)) {
        act(*plan);
    } else if (host_.strictQueues() && !isKnownQueue(host_.printers(), job.queue)) {
        record_.outcome = "refused unknown queue \"" + printable(job.queue) + "\"";
        refuse(unknownQueueMessage(job.queue));
        return;
    } else {
        stream_.send(std::string(1, '\0'));
    }

    unsigned char subcommand = stream_.readByte();
    if (subcommand != kControlFile)
        throw ProtocolViolation("expected the control file subcommand, got " + hexByte(subcommand));
    std::string line = stream_.readLine(kMaxCommandLine, "control file subcommand");
    size_t blank = line.find(' ');
    if (blank == std::string::npos) throw ProtocolViolation("no blank after the control file byte count");
    uint64_t count = parseByteCount(line.substr(0, blank));
    job.controlFileName = line.substr(blank + 1);
    checkFileName(job.controlFileName, "control file name");
    answer(FaultStep::ControlFileCommand);

    job.controlFileText = stream_.readExact(static_cast<size_t>(count));
    unsigned char end = stream_.readByte();
    if (end != 0) throw ProtocolViolation("control file text not followed by 0x00 but by " + hexByte(end));
    std::unique_ptr<JobFolder> folder = host_.spool().newJob();
    job.number = folder->number();
    job.folder = folder->path();
    if (auto file = folder->create(job.controlFileName))
        file->write(job.controlFileText.data(), job.controlFileText.size());
    answer(FaultStep::ControlFileText);

    receiveData(*folder, job);

    // A job is the server's once it answers the end of data with a zero byte.
    const FaultPlan* plan = planAt(FaultStep::EndOfData);
    bool accepted = !plan || (plan->action == FaultAction::Reply && plan->replyByte == 0);
    if (accepted) {
        folder->keep();
        record_.jobStored = true;
        host_.jobReceived(job);
        host_.log("job " + std::to_string(job.number) + " stored: queue " + printable(job.queue) +
                  ", control file " + printable(job.controlFileName) + " (" +
                  std::to_string(job.controlFileText.size()) + " bytes), data file " + printable(job.dataFileName) +
                  ", " + std::to_string(job.dataBytes) + " data bytes in " + std::to_string(job.chunks) +
                  " chunks, fnv1a64 " + Fnv1a64::hex(job.checksum) + ", from " + peer_);
        record_.outcome = "job " + std::to_string(job.number) + " stored";
        reported_ = true;
    }
    if (plan)
        act(*plan);
    else
        stream_.send(std::string(1, '\0'));
    if (!accepted) record_.outcome = "job refused at the end of data";
    // The client half-closes after the last answer; whatever it sends first is dropped.
    stream_.closeGracefully();
}

void Conversation::receiveData(JobFolder& folder, ReceivedJob& job) {
    unsigned char subcommand = stream_.readByte();
    if (subcommand != kDataFile)
        throw ProtocolViolation("expected the data file subcommand, got " + hexByte(subcommand));
    job.dataFileName = stream_.readLine(kMaxCommandLine, "data file name");
    checkFileName(job.dataFileName, "data file name");
    if (job.dataFileName == job.controlFileName)
        throw ProtocolViolation("data file and control file have the same name");
    std::unique_ptr<SpoolFile> data = folder.create(job.dataFileName);
    answer(FaultStep::DataFileCommand);

    Fnv1a64 checksum;
    std::vector<char> piece(65536);
    for (;;) {
        std::string header = stream_.readExact(4);
        uint32_t length = 0;
        for (unsigned char byte : header) length = (length << 8) | byte;
        if (length == 0) break;
        for (uint32_t left = length; left > 0;) {
            size_t got = stream_.readSome(piece.data(), std::min<size_t>(left, piece.size()));
            if (data) data->write(piece.data(), got);
            checksum.add(piece.data(), got);
            left -= static_cast<uint32_t>(got);
        }
        job.dataBytes += length;
        ++job.chunks;
        if (const FaultPlan* plan = planAt(FaultStep::AfterChunk, job.chunks)) act(*plan);
    }
    job.checksum = checksum.value();
}

void Conversation::serveQuery() {
    std::string line = stream_.readLine(kMaxCommandLine, "queue state command");
    std::string queue = line.substr(0, line.find(' '));
    if (const FaultPlan* plan = planAt(FaultStep::QueueQuery)) {
        // A reply that goes on is followed by the client's close, not by the list.
        act(*plan);
        stream_.closeGracefully();
        record_.outcome = "query answered by the fault plan";
        return;
    }
    std::vector<Printer> printers = host_.printers();
    if (!queue.empty()) {
        std::wstring name = fromCp1252(queue);
        std::vector<Printer> matching;
        for (const auto& printer : printers)
            if (printer.name == name) matching.push_back(printer);
        printers.swap(matching);
    }
    std::string answer = printerListAnswer(printers);
    stream_.send(answer);
    stream_.closeGracefully();
    record_.outcome = "query for queue \"" + printable(queue) + "\" answered with " +
                      std::to_string(printers.size()) + " printers";
    reported_ = true;
    host_.log(record_.outcome + " (" + std::to_string(answer.size()) + " bytes), from " + peer_);
}

}  // namespace refserver
