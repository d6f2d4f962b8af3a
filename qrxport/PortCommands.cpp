#include "PortCommands.h"

#include "CommandLine.h"
#include "CommandMessages.h"
#include "MonitorPorts.h"
#include "PortChecks.h"
#include "PortDocument.h"
#include "PortImport.h"
#include "PrinterListData.h"
#include "QRXOptionsDialog.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "SpoolerPorts.h"
#include "SystemErrorText.h"
#include "TextFiles.h"
#include "XcvClient.h"

#include <algorithm>
#include <ostream>

namespace {

constexpr const wchar_t* kMonitorName = L"Prentova Port Monitor";

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
        text += messageLines(line) + L"\n";
    }
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
        case Verb::Export:
            return exportPorts();
        case Verb::Import:
            return importPorts();
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

    // Every port of the monitor, whole, in the order of their names.
    std::vector<PortRecord> monitorRecords() const {
        std::vector<std::wstring> names = monitorPorts();
        std::sort(names.begin(), names.end());
        XcvChannel channel = monitorChannel();
        std::vector<PortRecord> ports;
        for (const std::wstring& name : names) ports.push_back(readPort(channel, name));
        channel.close();
        return ports;
    }

    // Refuses a port that the monitor does not keep.
    void requireMonitorPort(XcvChannel& channel) const {
        const std::wstring& port = command_.port;
        if (portPresence(channel, port) != PortPresence::Monitor)
            throw RuntimeWarning(messageLines(systemErrorText(ERROR_UNKNOWN_PORT)) + L"\n" +
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
        list.query(host, port, channel);
        return list;
    }

    // The configure dialog's checks on OK.
    static void checkSettings(const PortSettings& settings) {
        checkHostName(settings.hostName);
        checkPortNumber(settings.portNumber);
        checkPrinterName(settings.printerName);
    }

    int list() {
        if (command_.json) {
            out_ << portDocumentText(monitorRecords());
            return 0;
        }
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
        requireMonitorPort(channel);
        const PortRecord port = readPort(channel, command_.port);
        channel.close();
        if (command_.json) {
            out_ << portObjectText(port);
            return 0;
        }
        const PortSettings& settings = port.settings;
        const PortOptions& options = port.options;

        AddressLines address = splitAddress(options.address);
        auto last = std::find_if(address.rbegin(), address.rend(), [](const std::wstring& l) { return !l.empty(); });
        std::vector<std::vector<std::wstring>> rows{{L"Port:", settings.portName},
                                                    {L"Host:", settings.hostName},
                                                    {L"LPD port:", settings.portNumber},
                                                    {L"Printer:", settings.printerName},
                                                    {L"Unattended:", yesNo(settings.unattended)},
                                                    {L"Retry minutes:", std::to_wstring(settings.retryMinutes)},
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
        addWholePort(channel, settings, command_.changes.changesOptions() ? &options : nullptr);
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
        if (changes.retryMinutes) {
            PortSettings before(command_.port);
            queryRetryMinutes(channel, before);
            PortSettings settings = before;
            changes.applyTo(settings);
            change.addRetryMinutes(before, settings);
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

    int exportPorts() {
        const std::vector<PortRecord> ports = monitorRecords();
        const std::wstring document = portDocumentText(ports);
        if (command_.file.empty()) {
            out_ << document;
            return 0;
        }
        writeFileBytes(command_.file, fileText(document));
        out_ << ports.size() << (ports.size() == 1 ? L" port" : L" ports") << L" exported to " << command_.file
             << L".\n";
        return 0;
    }

    // The document is checked whole before the channel opens; a refusal
    // of the document or of its names comes before any change.
    int importPorts() {
        size_t failed = 0, count = 0;
        try {
            const std::vector<PortRecord> ports = readPortDocument(readFileBytes(command_.file));
            count = ports.size();
            XcvChannel channel = monitorChannel();
            failed = PortImport(channel, monitorPorts()).run(ports, command_.replace, out_);
            channel.close();
        } catch (const RuntimeWarning& problems) {
            throw RuntimeWarning(L"the file " + command_.file + L" is refused; nothing was changed:\n" +
                                 messageLines(problems.message()));
        }
        if (!failed) return 0;
        throw RuntimeWarning(std::to_wstring(failed) + L" of " + std::to_wstring(count) + L" ports not imported.");
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
        err << L"qrxport: " << messageLines(refusal.message()) << L"\n";
    } catch (const RuntimeError& failure) {
        err << L"qrxport: " << describe(failure) << L"\n";
    }
    return 1;
}
