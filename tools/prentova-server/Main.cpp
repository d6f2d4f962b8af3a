// qrx-prentova-server: the reference print server as a program. Prints where
// it listens, then one line per job, query, other connection and fault
// acted out, and runs until Ctrl+C (or until --jobs jobs were accepted).
#include "CommandLine.h"
#include "ReferenceServer.h"
#include "ServerErrors.h"
#include "Text.h"

#include <windows.h>

#include <cstdio>

namespace {

HANDLE endRequested = nullptr;

BOOL WINAPI onConsoleEvent(DWORD) {
    SetEvent(endRequested);
    return TRUE;
}

void printLine(const std::string& line) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::printf("%04u-%02u-%02u %02u:%02u:%02u %s\n", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                now.wSecond, line.c_str());
    std::fflush(stdout);
}

int run(const refserver::ProgramSettings& settings) {
    refserver::ServerOptions options = settings.server;
    if (!settings.printerFile.empty()) options.printers = refserver::loadPrinterFile(settings.printerFile);
    if (options.strictQueues && options.printers.empty())
        throw refserver::UsageError("--strict needs a --printers file with at least one printer");
    options.log = printLine;
    size_t printerCount = options.printers.size();

    refserver::ReferenceServer server(std::move(options));
    if (settings.fault) server.setFaultPlan(*settings.fault);
    printLine("listening on " + server.endpoint() + ", " + std::to_string(printerCount) + " printers" +
              (settings.fault ? ", fault: " + refserver::describe(*settings.fault) : std::string()));

    while (WaitForSingleObject(endRequested, 200) == WAIT_TIMEOUT) {
        if (settings.jobs > 0 && server.waitForJobs(settings.jobs, std::chrono::milliseconds(0))) {
            // Let the last job's client get its answers and close.
            server.waitUntilIdle(std::chrono::seconds(10));
            break;
        }
    }
    server.stop();
    printLine("stopped after " + std::to_string(server.jobs().size()) + " jobs");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    refserver::ProgramSettings settings;
    try {
        settings = refserver::parseCommandLine(arguments);
    } catch (const refserver::UsageError& e) {
        std::fprintf(stderr, "qrx-prentova-server: %s\n%s", e.what(), refserver::usageText());
        return 2;
    }
    if (settings.help) {
        std::printf("%s", refserver::usageText());
        return 0;
    }
    endRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    try {
        return run(settings);
    } catch (const refserver::UsageError& e) {
        std::fprintf(stderr, "qrx-prentova-server: %s\n%s", e.what(), refserver::usageText());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qrx-prentova-server: %s\n", e.what());
        return 1;
    }
}
