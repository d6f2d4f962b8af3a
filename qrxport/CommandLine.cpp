#include "CommandLine.h"

#include "PortValueRules.h"
#include "QRXOptionsDialog.h"

#include <algorithm>
#include <set>

namespace {

struct VerbEntry {
    const wchar_t* name;
    Verb verb;
    size_t minOperands, maxOperands;
    bool takesChanges;
    const wchar_t* synopsis;
    const wchar_t* summary;
};

const VerbEntry kVerbs[] = {
    {L"list", Verb::List, 0, 0, false, L"list [--json]",
     L"the monitor's ports with host, LPD port, printer and unattended flag"},
    {L"show", Verb::Show, 1, 1, false, L"show PORT [--json]", L"every setting and option of a port"},
    {L"add", Verb::Add, 1, 1, true, L"add PORT --host HOST [--port N] --queue QUEUE [options]",
     L"adds a port and sets it up; nothing is left behind when that fails"},
    {L"set", Verb::Set, 1, 1, true, L"set PORT [options]", L"changes what is given and keeps the rest"},
    {L"delete", Verb::Delete, 1, 1, false, L"delete PORT", L"deletes a port with its settings"},
    {L"printers", Verb::Printers, 1, 2, false, L"printers HOST [PORT]",
     L"the printers of a print server (LPD port 515 unless given)"},
    {L"test", Verb::Test, 1, 1, false, L"test PORT", L"asks the port's server whether it offers the port's printer"},
    {L"export", Verb::Export, 0, 1, false, L"export [FILE]",
     L"every port with its settings and options as a JSON document (UTF-8), to FILE or the output"},
    {L"import", Verb::Import, 1, 1, false, L"import FILE [--replace]",
     L"adds the ports of such a document once all of it is checked; an existing port is kept unless --replace"},
};

// Switches that belong to one verb and change no port.
struct VerbSwitch {
    const wchar_t* name;
    bool ParsedCommand::*field;
    Verb verbs[2];
};
const VerbSwitch kVerbSwitches[] = {
    {L"json", &ParsedCommand::json, {Verb::List, Verb::Show}},
    {L"replace", &ParsedCommand::replace, {Verb::Import, Verb::Import}},
};

struct TextOption {
    const wchar_t* name;
    std::optional<std::wstring> PortChanges::*field;
};
const TextOption kTextOptions[] = {
    {L"host", &PortChanges::host},         {L"port", &PortChanges::portNumber},       {L"queue", &PortChanges::queue},
    {L"name", &PortChanges::name},         {L"department", &PortChanges::department}, {L"room", &PortChanges::room},
    {L"building", &PortChanges::building}, {L"attributes", &PortChanges::attributes},
};

// A flag and its negation are one option: giving both is giving it twice.
struct FlagOption {
    const wchar_t* name;
    const wchar_t* negation;
    std::optional<DWORD> PortChanges::*field;
};
const FlagOption kFlagOptions[] = {
    {L"unattended", L"no-unattended", &PortChanges::unattended},
    {L"prompt", L"no-prompt", &PortChanges::prompt},
};

constexpr size_t kAddressLines = std::tuple_size<AddressLines>::value;
constexpr const wchar_t* kDefaultLpdPort = L"515";

const wchar_t* const kChangeOptionsUsage =
    L"Options of add and set:\n"
    L"  --host HOST              the print server's host name\n"
    L"  --port N                 its LPD port (515 unless given)\n"
    L"  --queue QUEUE            the printer (queue) on the server\n"
    L"  --unattended, --no-unattended\n"
    L"                           errors go to the event log only, or are also shown\n"
    L"  --retry-minutes N        how long a job waits for a server that cannot be\n"
    L"                           reached (0 to 10080; 0: it fails at once; 60 unless set)\n"
    L"  --name TEXT  --department TEXT  --room TEXT  --building TEXT\n"
    L"                           the separator sheet's entries\n"
    L"  --address LINE           an address line; up to four, in order\n"
    L"  --attributes TEXT        the job attributes\n"
    L"  --prompt, --no-prompt    whether printing asks for job attributes\n"
    L"An option's value may also follow an equals sign: --room=12. The word after an\n"
    L"option that takes a value is its value, whatever it looks like.\n";

const wchar_t* const kDocumentUsage =
    L"With --json, list prints the document that export writes and show the port's\n"
    L"object in it. import exits with 0 only when it added (or replaced) every port.\n";

const wchar_t* const kCommonUsage =
    L"Options of every command:\n"
    L"  --server \\\\NAME          the spooler of another machine, where it allows remote administration\n"
    L"  --help                   this text\n"
    L"Exit status: 0 success, 1 refused or failed, 2 a command line that cannot be read.\n";

bool isHelp(const std::wstring& arg) { return arg == L"--help" || arg == L"-h" || arg == L"/?"; }

const VerbEntry* findVerb(const std::wstring& name) {
    auto found = std::find_if(std::begin(kVerbs), std::end(kVerbs), [&](const VerbEntry& v) { return name == v.name; });
    return found == std::end(kVerbs) ? nullptr : found;
}

const VerbEntry& entryOf(Verb verb) {
    return *std::find_if(std::begin(kVerbs), std::end(kVerbs), [&](const VerbEntry& v) { return v.verb == verb; });
}

// The options of one command line, read one by one.
class OptionReader {
public:
    OptionReader(const std::vector<std::wstring>& args, ParsedCommand& command) : args_(args), command_(command) {}

    // Reads the option at args[at] (which starts with "--"); at moves past its value.
    void read(size_t& at) {
        std::wstring name = args_[at].substr(2);
        std::optional<std::wstring> value;
        size_t equals = name.find(L'=');
        if (equals != std::wstring::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
        }
        // The word after an option that takes a value is that value, whatever
        // it looks like ("--room -h" is room "-h"), so that a script's value
        // is never read as a word of its own.
        auto takeValue = [&]() -> std::wstring {
            if (value) return *value;
            if (at + 1 >= args_.size()) throw UsageError(L"--" + name + L" needs a value");
            return args_[++at];
        };

        if (name == L"server") {
            once(name);
            std::wstring server = takeValue();
            if (server.empty()) throw UsageError(L"--server needs a value");
            command_.server = server.rfind(L"\\\\", 0) == 0 ? server : L"\\\\" + server;
            return;
        }
        for (const VerbSwitch& option : kVerbSwitches) {
            if (name != option.name) continue;
            if (value) throw UsageError(L"--" + name + L" takes no value");
            once(name);
            command_.*option.field = true;
            switches_.push_back(&option);
            return;
        }
        changeGiven_ = changeGiven_.empty() ? L"--" + name : changeGiven_;
        if (name == L"retry-minutes") {
            once(name);
            command_.changes.retryMinutes = retryMinutesOf(takeValue());
            if (!command_.changes.retryMinutes)
                throw UsageError(L"--retry-minutes takes a number of minutes from 0 to " +
                                 std::to_wstring(PortSettings::kLongestRetryMinutes));
            return;
        }
        if (name == L"address") {
            if (command_.changes.address.size() == kAddressLines)
                throw UsageError(L"--address is given more than four times");
            command_.changes.address.push_back(takeValue());
            return;
        }
        for (const TextOption& option : kTextOptions) {
            if (name != option.name) continue;
            once(name);
            command_.changes.*option.field = takeValue();
            return;
        }
        for (const FlagOption& option : kFlagOptions) {
            if (name != option.name && name != option.negation) continue;
            if (value) throw UsageError(L"--" + name + L" takes no value");
            once(option.name);
            command_.changes.*option.field = DWORD{name == option.name ? 1u : 0u};
            return;
        }
        throw UsageError(L"unknown option --" + name);
    }

    // The first option of add and set that was given, or empty.
    const std::wstring& changeGiven() const { return changeGiven_; }
    // Refuses a switch given to a verb it does not belong to.
    void checkSwitches(Verb verb) const {
        for (const VerbSwitch* option : switches_) {
            if (std::find(std::begin(option->verbs), std::end(option->verbs), verb) != std::end(option->verbs))
                continue;
            std::wstring owners = entryOf(option->verbs[0]).name;
            if (option->verbs[1] != option->verbs[0]) owners += std::wstring(L" and ") + entryOf(option->verbs[1]).name;
            throw UsageError(L"--" + std::wstring(option->name) + L" is an option of " + owners + L" only");
        }
    }

private:
    void once(const std::wstring& name) {
        if (!given_.insert(name).second) throw UsageError(L"--" + name + L" is given twice");
    }

    const std::vector<std::wstring>& args_;
    ParsedCommand& command_;
    std::set<std::wstring> given_;
    std::wstring changeGiven_;
    std::vector<const VerbSwitch*> switches_;
};

}  // namespace

bool PortChanges::changesSettings() const { return host || portNumber || queue || unattended; }

bool PortChanges::changesOptions() const {
    return name || department || room || building || !address.empty() || attributes || prompt;
}

void PortChanges::applyTo(PortSettings& settings) const {
    if (host) settings.hostName = *host;
    if (portNumber) settings.portNumber = *portNumber;
    if (queue) settings.printerName = *queue;
    if (unattended) settings.unattended = *unattended;
    if (retryMinutes) settings.retryMinutes = *retryMinutes;
}

void PortChanges::applyTo(PortOptions& options) const {
    if (name) options.name = *name;
    if (department) options.department = *department;
    if (room) options.room = *room;
    if (building) options.building = *building;
    if (!address.empty()) {
        AddressLines lines;
        std::copy(address.begin(), address.end(), lines.begin());
        options.address = joinAddress(lines);
    }
    if (attributes) options.jobAttributes = *attributes;
    if (prompt) options.promptFlag = *prompt;
}

ParsedCommand parseCommandLine(const std::vector<std::wstring>& args) {
    ParsedCommand command;
    OptionReader options(args, command);
    std::vector<std::wstring> operands;
    std::optional<UsageError> mistake;
    bool help = false;
    for (size_t at = 0; at < args.size(); ++at) {
        if (isHelp(args[at])) {
            help = true;
        } else if (args[at].rfind(L"--", 0) == 0) {
            try {
                options.read(at);
            } catch (const UsageError& error) {
                if (!mistake) mistake = error;
            }
        } else {
            operands.push_back(args[at]);
        }
    }
    // Help wins over everything else on the line, mistakes included.
    if (help) {
        ParsedCommand usage;
        usage.help = true;
        auto verb = std::find_if(operands.begin(), operands.end(), findVerb);
        if (verb != operands.end()) usage.verb = findVerb(*verb)->verb;
        return usage;
    }
    if (mistake) throw *mistake;
    if (operands.empty()) throw UsageError(L"no command given");
    const VerbEntry* verb = findVerb(operands.front());
    if (!verb) throw UsageError(L"unknown command \"" + operands.front() + L"\"");
    operands.erase(operands.begin());
    command.verb = verb->verb;
    if (operands.size() < verb->minOperands) throw UsageError(L"usage: qrxport " + std::wstring(verb->synopsis));
    if (operands.size() > verb->maxOperands) throw UsageError(L"unexpected \"" + operands[verb->maxOperands] + L"\"");
    if (!verb->takesChanges && !options.changeGiven().empty())
        throw UsageError(options.changeGiven() + L" is an option of add and set only");
    if (verb->verb == Verb::Set && options.changeGiven().empty()) throw UsageError(L"set needs an option to change");

    options.checkSwitches(verb->verb);

    if (verb->verb == Verb::Printers) {
        command.host = operands[0];
        command.hostPort = operands.size() > 1 ? operands[1] : kDefaultLpdPort;
    } else if (verb->verb == Verb::Export || verb->verb == Verb::Import) {
        if (!operands.empty()) command.file = operands[0];
    } else if (!operands.empty()) {
        command.port = operands[0];
    }
    return command;
}

std::wstring usageText(Verb verb) {
    if (verb == Verb::None) {
        std::wstring text =
            L"usage: qrxport COMMAND [options] [--server \\\\NAME]\n"
            L"Manages the ports of the Prentova Port Monitor through the spooler.\n";
        for (const VerbEntry& entry : kVerbs)
            text += L"  " + std::wstring(entry.synopsis) + L"\n      " + entry.summary + L"\n";
        return text + kChangeOptionsUsage + kDocumentUsage + kCommonUsage;
    }
    const VerbEntry& entry = entryOf(verb);
    std::wstring text =
        L"usage: qrxport " + std::wstring(entry.synopsis) + L" [--server \\\\NAME]\n  " + entry.summary + L"\n";
    if (entry.takesChanges) text += kChangeOptionsUsage;
    const Verb documentVerbs[] = {Verb::List, Verb::Show, Verb::Export, Verb::Import};
    if (std::find(std::begin(documentVerbs), std::end(documentVerbs), verb) != std::end(documentVerbs))
        text += kDocumentUsage;
    return text + kCommonUsage;
}
