#include "FaultPlan.h"
#include "ServerErrors.h"
#include "Text.h"

#include <cstdio>

namespace refserver {

FaultPlan FaultPlan::refuse(FaultStep step, std::string message, unsigned chunk) {
    FaultPlan plan;
    plan.step = step;
    plan.action = FaultAction::Reply;
    plan.replyByte = 0x01;
    plan.message = std::move(message);
    plan.chunk = chunk;
    return plan;
}

FaultPlan FaultPlan::close(FaultStep step, unsigned chunk) {
    FaultPlan plan;
    plan.step = step;
    plan.action = FaultAction::Close;
    plan.chunk = chunk;
    return plan;
}

FaultPlan FaultPlan::silent(FaultStep step, unsigned chunk) {
    FaultPlan plan;
    plan.step = step;
    plan.action = FaultAction::Silent;
    plan.chunk = chunk;
    return plan;
}

FaultStep parseFaultStep(const std::string& text, unsigned& chunk) {
    if (text == "job") return FaultStep::JobCommand;
    if (text == "control") return FaultStep::ControlFileCommand;
    if (text == "control-text") return FaultStep::ControlFileText;
    if (text == "data") return FaultStep::DataFileCommand;
    if (text == "end") return FaultStep::EndOfData;
    if (text == "query") return FaultStep::QueueQuery;
    if (text == "chunk") {
        chunk = 1;
        return FaultStep::AfterChunk;
    }
    if (text.compare(0, 6, "chunk:") == 0 && text.size() > 6 && text.size() <= 15) {
        unsigned long value = 0;
        for (size_t i = 6; i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9') throw UsageError("bad chunk number in step " + text);
            value = value * 10 + static_cast<unsigned long>(text[i] - '0');
        }
        if (value == 0 || value > 0xFFFFFFFFUL) throw UsageError("chunk numbers start at 1: " + text);
        chunk = static_cast<unsigned>(value);
        return FaultStep::AfterChunk;
    }
    throw UsageError("unknown step " + text);
}

std::string faultStepName(FaultStep step, unsigned chunk) {
    switch (step) {
    case FaultStep::JobCommand: return "job";
    case FaultStep::ControlFileCommand: return "control";
    case FaultStep::ControlFileText: return "control-text";
    case FaultStep::DataFileCommand: return "data";
    case FaultStep::AfterChunk: return "chunk:" + std::to_string(chunk);
    case FaultStep::EndOfData: return "end";
    case FaultStep::QueueQuery: return "query";
    }
    return "?";
}

std::string describe(const FaultPlan& plan) {
    std::string text;
    switch (plan.action) {
    case FaultAction::Reply: {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", plan.replyByte);
        text = std::string("reply ") + byte;
        if (!plan.message.empty()) text += " \"" + printable(plan.message) + "\"";
        text += plan.continueAfterReply ? " and go on" : " and close";
        break;
    }
    case FaultAction::Close: text = "close"; break;
    case FaultAction::Silent: text = "stay silent"; break;
    }
    text += " at " + faultStepName(plan.step, plan.chunk);
    text += plan.everyConversation ? " (every time)" : " (once)";
    return text;
}

}  // namespace refserver
