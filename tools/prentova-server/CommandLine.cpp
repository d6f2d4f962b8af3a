#include "CommandLine.h"
#include "ServerErrors.h"
#include "Text.h"

namespace refserver {

namespace {

unsigned long parseNumber(const std::string& text, unsigned long maximum, const std::string& option) {
    if (text.empty() || text.size() > 10) throw UsageError(option + " needs a number");
    unsigned long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') throw UsageError(option + " needs a number, not \"" + text + "\"");
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > maximum) throw UsageError(option + " " + text + " is too big");
    return static_cast<unsigned long>(value);
}

unsigned char parseByte(const std::string& text) {
    std::string digits = text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0 ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 2) throw UsageError("--reply needs a byte in hex, such as 01");
    unsigned value = 0;
    for (char c : digits) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) throw UsageError("--reply needs a byte in hex, not \"" + text + "\"");
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<unsigned char>(value);
}

class Arguments {
public:
    explicit Arguments(const std::vector<std::wstring>& all) : all_(all) {}
    bool more() const { return next_ < all_.size(); }
    std::wstring nextWide(const std::string& option) {
        if (!more()) throw UsageError(option + " needs a value");
        return all_[next_++];
    }
    std::string next(const std::string& option) { return toUtf8(nextWide(option)); }

private:
    const std::vector<std::wstring>& all_;
    size_t next_ = 0;
};

}  // namespace

ProgramSettings parseCommandLine(const std::vector<std::wstring>& arguments) {
    ProgramSettings settings;
    settings.server.port = 515;
    bool once = false;
    bool goOn = false;
    Arguments args(arguments);
    auto setFault = [&](FaultPlan plan) {
        if (settings.fault) throw UsageError("only one of --refuse, --close, --silent and --reply may be given");
        settings.fault = std::move(plan);
    };
    auto step = [&](const std::string& option, unsigned& chunk) { return parseFaultStep(args.next(option), chunk); };

    while (args.more()) {
        std::string option = args.next("");
        unsigned chunk = 1;
        if (option == "--help" || option == "-h" || option == "/?") {
            settings.help = true;
        } else if (option == "--listen") {
            settings.server.address = args.next(option);
        } else if (option == "--port") {
            settings.server.port = static_cast<unsigned short>(parseNumber(args.next(option), 65535, option));
        } else if (option == "--spool") {
            settings.server.spoolFolder = args.nextWide(option);
        } else if (option == "--printers") {
            settings.printerFile = args.nextWide(option);
        } else if (option == "--strict") {
            settings.server.strictQueues = true;
        } else if (option == "--jobs") {
            settings.jobs = parseNumber(args.next(option), 1000000000, option);
            if (settings.jobs == 0) throw UsageError("--jobs needs at least 1");
        } else if (option == "--idle-timeout") {
            settings.server.idleLimit = std::chrono::seconds(parseNumber(args.next(option), 86400, option));
        } else if (option == "--refuse") {
            FaultStep where = step(option, chunk);
            setFault(FaultPlan::refuse(where, toCp1252(args.nextWide(option)), chunk));
        } else if (option == "--close") {
            FaultStep where = step(option, chunk);
            setFault(FaultPlan::close(where, chunk));
        } else if (option == "--silent") {
            FaultStep where = step(option, chunk);
            setFault(FaultPlan::silent(where, chunk));
        } else if (option == "--reply") {
            FaultStep where = step(option, chunk);
            FaultPlan plan = FaultPlan::refuse(where, {}, chunk);
            plan.replyByte = parseByte(args.next(option));
            plan.message = toCp1252(args.nextWide(option));
            setFault(plan);
        } else if (option == "--go-on") {
            goOn = true;
        } else if (option == "--once") {
            once = true;
        } else {
            throw UsageError("unknown option \"" + option + "\"");
        }
    }
    if (goOn && (!settings.fault || settings.fault->action != FaultAction::Reply))
        throw UsageError("--go-on belongs to --reply");
    if (once && !settings.fault) throw UsageError("--once needs a fault option");
    if (settings.fault) {
        settings.fault->continueAfterReply = goOn;
        settings.fault->everyConversation = !once;
    }
    return settings;
}

const char* usageText() {
    return "usage: qrx-prentova-server [options]\n"
           "  --listen <address>      IPv4 or IPv6 literal to listen on (default 127.0.0.1)\n"
           "  --port <number>         TCP port, 0 for a free one (default 515)\n"
           "  --spool <folder>        store each job in <folder>\\job-NNNN (default: jobs are not stored)\n"
           "  --printers <file>       printers to report, one \"name|location|description\" a line\n"
           "  --strict                refuse queues that are not in the printer file (VAV001E)\n"
           "  --jobs <n>              end after n jobs were accepted (default: run until ended)\n"
           "  --idle-timeout <s>      longest wait for a client's bytes, 0 for none (default 300)\n"
           "fault at a step (at most one):\n"
           "  --refuse <step> <text>  answer 0x01 and the text, then close\n"
           "  --close <step>          close without answering\n"
           "  --silent <step>         answer nothing more until the client closes\n"
           "  --reply <step> <hex byte> <text>\n"
           "                          answer the byte and the text (\"\" for none), then close,\n"
           "    --go-on               or go on with the conversation\n"
           "  --once                  only the next conversation of the step's kind (default: every one)\n"
           "steps: job, control, control-text, data, chunk:K (after the K-th data chunk), end, query\n";
}

}  // namespace refserver
