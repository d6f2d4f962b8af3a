// How the server misbehaves on purpose, at one chosen step of a
// conversation, so that clients can be tried against refusals, early closes,
// unexpected answers and silence.
#pragma once

#include <string>

namespace refserver {

// The points at which a plan can act. Each is reached when the server has
// read that part of the conversation completely, just before it would answer.
enum class FaultStep {
    JobCommand,          // 0xC2 queue LF
    ControlFileCommand,  // 0x04 count SP name LF
    ControlFileText,     // the control file text and its 0x00
    DataFileCommand,     // 0x16 name LF
    AfterChunk,          // the k-th data chunk (no answer is normally due)
    EndOfData,           // the zero-length chunk
    QueueQuery,          // 0x04 queue LF: instead of the printer list
};

enum class FaultAction {
    Reply,   // sends the reply byte and the message instead of the usual answer
    Close,   // closes without answering
    Silent,  // answers nothing more, reads and drops what comes until the client closes or the server stops
};

struct FaultPlan {
    FaultStep step = FaultStep::JobCommand;
    FaultAction action = FaultAction::Reply;
    // Reply: the first byte (0x01 is a refusal; 0x00 with an empty message
    // is a bare zero) and the text sent after it, as bytes.
    unsigned char replyByte = 0x01;
    std::string message;
    // Reply: whether the conversation goes on after the reply. When false
    // the server closes its side after replying.
    bool continueAfterReply = false;
    // AfterChunk: which chunk, counted from 1.
    unsigned chunk = 1;
    // Whether the plan applies to every conversation or to the next
    // conversation of its kind only (a job for the job steps, a query for
    // QueueQuery); a one-time plan is used up by that conversation whether or
    // not it gets as far as the step.
    bool everyConversation = false;

    bool forQuery() const { return step == FaultStep::QueueQuery; }

    static FaultPlan refuse(FaultStep step, std::string message, unsigned chunk = 1);
    static FaultPlan close(FaultStep step, unsigned chunk = 1);
    static FaultPlan silent(FaultStep step, unsigned chunk = 1);
};

// "job", "control", "control-text", "data", "chunk" or "chunk:K", "end",
// "query". Throws UsageError for anything else; sets chunk for "chunk:K".
FaultStep parseFaultStep(const std::string& text, unsigned& chunk);
std::string faultStepName(FaultStep step, unsigned chunk);
std::string describe(const FaultPlan& plan);

}  // namespace refserver
