#include "PortCommands.h"

#include "CommandLine.h"
#include "PortChecks.h"
#include "PrinterListData.h"
#include "QRXOptionsDialog.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "SpoolerPorts.h"
#include "SystemErrorText.h"
#include "XcvClient.h"

#include <algorithm>
#include <ostream>

namespace {

constexpr const wchar_t* kMonitorName = L"Prentova Port Monitor";

// A message as lines ended by line feeds alone, without the line breaks that
// the system's texts end with.
std::wstring lines(const std::wstring& text) {
    std::wstring result;
    for (wchar_t c : text)
        if (c != L'\r') result += c;
    while (!result.empty() && (result.back() == L'\n' || result.back() == L' ')) result.pop_back();
    return result;
}

// Columns padded to their widest cell; the first row is the heading.
std::wstring table(const std::vector<std::vector<std::wstring>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    }
    std::wstring text;
    for (const auto& row : rows) {
        std::wstring line;
        for (size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            if (column + 1 < row.size()) line.append(widths[column] - row[column].size() + 2, L' ');
        }
        text += lines(line) + L"\n";
    }
    return text;
}

// A failure with its code, unless its message already gives it.
std::wstring describe(const RuntimeError& error) {
    std::wstring text = lines(error.message());
    if (!text.empty() && !error.code()) return text;
    std::wstring codeLine = fillTemplate(loadResourceString(IDS_DETAIL_ERROR_CODE), std::to_wstring(error.code()));
    if (text.find(codeLine) != std::wstring::npos) return text;
    text += (text.empty() ? L"" : L"\n") + codeLine;
    std::wstring system = lines(systemErrorText(error.code()));
    if (!system.empty() && text.find(system) == std::wstring::npos) text += L"\n" + system;
    return text;
}

const wchar_t* yesNo(DWORD flag) { return flag ? L"yes" : L"no"; }

class Commands {
public:
    Commands(const ParsedCommand& command, std::wostream& out)
        : command_(command), server_(command.server.empty() ? nullptr : command.server.c_str()), out_(out) {}

    int run() {
        switch (command_.verb) {
        case Verb::List:
            return list();
        case Verb::Show:
            return show();
        case Verb::Add:
            return add();
        case Verb::Set:
            return set();
        case Verb::Delete:
            return remove();
        case Verb::Printers:
            return printers();
        case Verb::Test:
            return test();
        case Verb::None:
            break;
        }
        throw UsageError(L"no command given");
    }

private:
    // Every command goes to the monitor itself: a port's name travels in the
    // commands' input, and another monitor's port is never reached.
    XcvChannel monitorChannel() const { return XcvChannel(server_, ChannelKind::Monitor, kMonitorName); }

    // The names of the monitor's ports, as the spooler lists them.
    std::vector<std::wstring> monitorPorts() const {
        std::vector<std::wstring> names;
        for (const SpoolerPort& port : spoolerPorts(server_))
            if (port.monitor == kMonitorName) names.push_back(port.name);
        return names;
    }

    // Refuses a port that the monitor does not keep: one the spooler does not
    // know ("PortExists"), or one of another monitor, whose settings the
    // monitor does not find. Asked over the channel, so that it holds for the
    // spooler of another machine too.
    void requireMonitorPort(XcvChannel& channel) const {
        const std::wstring& port = command_.port;
        DWORD status = channel.request(L"PortExists", port, false);
        if (status != ERROR_SUCCESS && status != IDS_PORT_EXISTS) throw commandFailure(status, 0);
        if (status == ERROR_SUCCESS || channel.call(L"GetHostName", port, false).status == ERROR_FILE_NOT_FOUND)
            throw RuntimeWarning(lines(systemErrorText(ERROR_UNKNOWN_PORT)) + L"\n" +
                                 fillTemplate(loadResourceString(IDS_DETAIL_NAME), port));
    }

    // The settings of the port named, one of the monitor's.
    PortSettings storedSettings(XcvChannel& channel) const {
        requireMonitorPort(channel);
        PortSettings settings(command_.port);
        querySettings(channel, settings);
        return settings;
    }

    // The printers a server offers; a failure names the server it asked.
    PrinterListData serverPrinters(XcvChannel& channel, const std::wstring& host, const std::wstring& port) const {
        PrinterListData list;
        try {
            list.query(host, port, channel);
        } catch (const RuntimeError& failure) {
            throw RuntimeError(
                lines(failure.message()) + L"\n" + fillTemplate(loadResourceString(IDS_DETAIL_HOST_PORT), host, port),
                failure.code());
        }
        return list;
    }

    // The configure dialog's checks on OK.
    static void checkSettings(const PortSettings& settings) {
        checkHostName(settings.hostName);
        checkPortNumber(settings.portNumber);
        checkPrinterName(settings.printerName);
    }

    int list() {
        std::vector<std::wstring> names = monitorPorts();
        XcvChannel channel = monitorChannel();
        std::vector<std::vector<std::wstring>> rows{{L"Port", L"Host", L"LPD port", L"Printer", L"Unattended"}};
        for (const std::wstring& name : names) {
            PortSettings settings(name);
            querySettings(channel, settings);
            rows.push_back(
                {name, settings.hostName, settings.portNumber, settings.printerName, yesNo(settings.unattended)});
        }
        channel.close();
        out_ << table(rows);
        return 0;
    }

    int show() {
        XcvChannel channel = monitorChannel();
        PortSettings settings = storedSettings(channel);
        PortOptions options(command_.port);
        queryOptions(channel, options);
        channel.close();

        AddressLines address = splitAddress(options.address);
        auto last = std::find_if(address.rbegin(), address.rend(), [](const std::wstring& l) { return !l.empty(); });
        std::vector<std::vector<std::wstring>> rows{{L"Port:", settings.portName},
                                                    {L"Host:", settings.hostName},
                                                    {L"LPD port:", settings.portNumber},
                                                    {L"Printer:", settings.printerName},
                                                    {L"Unattended:", yesNo(settings.unattended)},
                                                    {L"Name:", options.name},
                                                    {L"Department:", options.department},
                                                    {L"Room:", options.room},
                                                    {L"Building:", options.building}};
        for (auto line = address.begin(); line != last.base(); ++line)
            rows.push_back({line == address.begin() ? L"Address:" : L"", *line});
        if (last == address.rend()) rows.push_back({L"Address:", L""});
        rows.push_back({L"Attributes:", options.jobAttributes});
        rows.push_back({L"Prompt:", yesNo(options.promptFlag)});
        out_ << table(rows);
        return 0;
    }

    int add() {
        const std::wstring& port = command_.port;
        PortSettings settings(port);
        command_.changes.applyTo(settings);
        PortOptions options(port);
        command_.changes.applyTo(options);

        XcvChannel channel = monitorChannel();
        checkNewPortName(channel, port);
        checkSettings(settings);
        channel.perform(L"AddPort", port);
        try {
            updateSettings(channel, settings);
            if (command_.changes.changesOptions()) updateOptions(channel, options);
        } catch (const RuntimeError& failure) {
            // Nothing half-made stays behind: the new port goes again.
            std::wstring outcome = loadResourceString(IDS_PORT_DELETED);
            try {
                channel.perform(L"DeletePort", port);
            } catch (const RuntimeError& deleteFailure) {
                outcome =
                    fillTemplate(loadResourceString(IDS_CALL_FAILED), L"DeletePort") + L"\n" + describe(deleteFailure);
            }
            throw RuntimeError(describe(failure) + L"\n" + outcome, 0);
        }
        channel.close();
        out_ << L"Port " << port << L" added.\n";
        return 0;
    }

    int set() {
        const PortChanges& changes = command_.changes;
        XcvChannel channel = monitorChannel();
        requireMonitorPort(channel);
        PortChange change;
        if (changes.changesSettings()) {
            PortSettings before(command_.port);
            querySettings(channel, before);
            PortSettings settings = before;
            changes.applyTo(settings);
            checkSettings(settings);
            change.add(before, settings);
        }
        if (changes.changesOptions()) {
            PortOptions before(command_.port);
            queryOptions(channel, before);
            PortOptions options = before;
            changes.applyTo(options);
            change.add(before, options);
        }
        change.send(channel);
        channel.close();
        out_ << L"Port " << command_.port << L" changed.\n";
        return 0;
    }

    int remove() {
        XcvChannel channel = monitorChannel();
        requireMonitorPort(channel);
        channel.perform(L"DeletePort", command_.port);
        channel.close();
        out_ << L"Port " << command_.port << L" deleted.\n";
        return 0;
    }

    int printers() {
        checkHostName(command_.host);
        checkPortNumber(command_.hostPort);
        XcvChannel channel = monitorChannel();
        PrinterListData list = serverPrinters(channel, command_.host, command_.hostPort);
        channel.close();
        std::vector<std::vector<std::wstring>> rows{{loadResourceString(IDS_COLUMN_PRINTER),
                                                     loadResourceString(IDS_COLUMN_LOCATION),
                                                     loadResourceString(IDS_COLUMN_DESCRIPTION)}};
        for (const ListedPrinter& printer : list.printers())
            rows.push_back({printer.name, printer.location, printer.description});
        out_ << table(rows);
        return 0;
    }

    int test() {
        XcvChannel channel = monitorChannel();
        PortSettings settings = storedSettings(channel);
        checkSettings(settings);
        PrinterListData list = serverPrinters(channel, settings.hostName, settings.portNumber);
        channel.close();

        const auto& printers = list.printers();
        bool offered = std::any_of(printers.begin(), printers.end(),
                                   [&](const ListedPrinter& printer) { return printer.name == settings.printerName; });
        out_ << settings.hostName << L":" << settings.portNumber << (offered ? L" offers" : L" does not offer")
             << L" the port's printer \"" << settings.printerName << L"\"";
        if (!offered) {
            out_ << L"; it offers";
            for (size_t i = 0; i < printers.size(); ++i) out_ << (i ? L", " : L" ") << printers[i].name;
            if (printers.empty()) out_ << L" none";
        }
        out_ << L".\n";
        return offered ? 0 : 1;
    }

    const ParsedCommand& command_;
    const wchar_t* server_;
    std::wostream& out_;
};

}  // namespace

int runCommandLine(const std::vector<std::wstring>& args, std::wostream& out, std::wostream& err) {
    try {
        ParsedCommand command = parseCommandLine(args);
        if (command.help) {
            out << usageText(command.verb);
            return 0;
        }
        return Commands(command, out).run();
    } catch (const UsageError& error) {
        err << L"qrxport: " << error.message() << L"\nqrxport --help shows the usage.\n";
        return 2;
    } catch (const RuntimeWarning& refusal) {
        err << L"qrxport: " << lines(refusal.message()) << L"\n";
    } catch (const RuntimeError& failure) {
        err << L"qrxport: " << describe(failure) << L"\n";
    }
    return 1;
}
