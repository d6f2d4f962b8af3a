// The command line of qrxport, read into a command without touching the
// spooler: the verb, its operands, the server and the changes asked for.
#pragma once

#include "PortRecords.h"
#include "RuntimeError.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

enum class Verb { None, List, Show, Add, Set, Delete, Printers, Test, Export, Import };

// What "add" and "set" change: each field only when it was given.
struct PortChanges {
    std::optional<std::wstring> host;
    std::optional<std::wstring> portNumber;
    std::optional<std::wstring> queue;
    std::optional<DWORD> unattended;
    std::optional<DWORD> retryMinutes;
    std::optional<std::wstring> name;
    std::optional<std::wstring> department;
    std::optional<std::wstring> room;
    std::optional<std::wstring> building;
    std::vector<std::wstring> address;  // the lines given, up to four; none: unchanged
    std::optional<std::wstring> attributes;
    std::optional<DWORD> prompt;

    bool changesSettings() const;
    bool changesOptions() const;
    void applyTo(PortSettings& settings) const;
    // The address lines given replace the whole address, stored as the
    // options dialog stores it: four lines, three line feeds.
    void applyTo(PortOptions& options) const;
};

struct ParsedCommand {
    Verb verb = Verb::None;
    bool help = false;      // --help: the usage of the verb (of all without one)
    std::wstring server;    // "\\NAME", or empty for this machine
    std::wstring port;      // the port of show, add, set, delete and test
    std::wstring host;      // the print server of printers
    std::wstring hostPort;  // its LPD port
    std::wstring file;      // the document of export (empty: standard output) and import
    bool json = false;      // list and show: the port document's shapes
    bool replace = false;   // import: existing ports take the document's values
    PortChanges changes;    // add and set only
};

// A command line that cannot be read; its message says what is wrong.
class UsageError : public RuntimeWarning {
public:
    using RuntimeWarning::RuntimeWarning;
};

// Reads the arguments after the program's name. Throws UsageError.
ParsedCommand parseCommandLine(const std::vector<std::wstring>& args);

// The usage of a verb, or of all verbs for Verb::None.
std::wstring usageText(Verb verb);
