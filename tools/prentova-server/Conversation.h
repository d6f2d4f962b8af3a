// The server's side of one connection: decides from the first byte whether
// the client sends a job (0xC2) or asks for the queue state (0x04), and
// serves it, or acts out the fault plan that applies.
#pragma once

#include "ClientStream.h"
#include "FaultPlan.h"
#include "JobSpool.h"
#include "Printers.h"
#include "ReceivedJob.h"

#include <optional>
#include <string>
#include <vector>

namespace refserver {

// What a conversation needs from the server around it.
class ConversationHost {
public:
    virtual ~ConversationHost() = default;
    // The plan for a new job (query = false) or query conversation, if any.
    virtual std::optional<FaultPlan> takeFaultPlan(bool query) = 0;
    virtual std::vector<Printer> printers() const = 0;
    virtual bool strictQueues() const = 0;
    virtual JobSpool& spool() = 0;
    // Called with a complete job, before the client gets its last answer.
    virtual void jobReceived(const ReceivedJob& job) = 0;
    virtual void log(const std::string& line) = 0;
};

// Message texts of the server's own refusals.
std::string unknownQueueMessage(const std::string& queue);      // "VAV001E Unknown printer <queue>"
std::string protocolErrorMessage(const std::string& detail);    // "VAV003E Invalid command: <detail>"
std::string spoolErrorMessage(const std::string& detail);       // "VAV004E Cannot store the job: <detail>"

class Conversation {
public:
    Conversation(ClientStream& stream, ConversationHost& host, std::string peer)
        : stream_(stream), host_(host), peer_(std::move(peer)) {}

    // Serves the connection to its end; never throws. The record's wire
    // fields are left to the caller, who owns the stream.
    ConnectionRecord run();

private:
    void serveJob();
    void serveQuery();
    void receiveData(JobFolder& folder, ReceivedJob& job);
    // The plan if it acts at this step, else null.
    const FaultPlan* planAt(FaultStep step, unsigned chunk = 0);
    // Acts out the plan; returns only when the conversation goes on.
    void act(const FaultPlan& plan);
    // The usual zero answer, unless the plan acts at the step.
    void answer(FaultStep step);
    void refuse(const std::string& message);

    ClientStream& stream_;
    ConversationHost& host_;
    std::string peer_;
    std::optional<FaultPlan> plan_;
    ConnectionRecord record_;
    bool reported_ = false;  // a job or query line was logged
};

}  // namespace refserver
