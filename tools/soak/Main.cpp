// qrx-soak: a long run of the monitor or of its UI library in this process,
// that prints what the process holds as it goes and whether it stayed
// within the targets. A benchmark, not a test: its figures are counts.
//
//   qrx-soak monitor [jobs=10000] [xcv commands=100000] [EnumPorts calls=10000]
//   qrx-soak dialogs [runs=1000]
//
// Exit code 0: every target met; 1: a target missed or a count blind; 2: usage.
#include "DialogSoak.h"
#include "MonitorSoak.h"
#include "Recorders.h"
#include "ResourceCounts.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <string>

namespace {

constexpr long long kHandleGrowth = 16;
constexpr long long kOneMiB = 1024 * 1024;

long long grown(size_t from, size_t to) { return static_cast<long long>(to) - static_cast<long long>(from); }

// Checks one target, prints it and answers whether it was met.
bool target(const char* what, long long value, long long limit) {
    const bool met = value <= limit;
    std::printf("  %-40s %12lld  (at most %lld)  %s\n", what, value, limit, met ? "met" : "MISSED");
    return met;
}

void printCounts(const char* label, const ResourceCounts& counts) {
    std::printf("  %-12s handles %6zu  private %9zu KiB  working set %9zu KiB  GDI %5zu  USER %5zu\n", label,
                counts.handles, counts.privateBytes / 1024, counts.workingSet / 1024, counts.gdiObjects,
                counts.userObjects);
}

// What each type of GDI object grew by between two counts, where they were
// counted by type: the place to look when the growth beyond the control's is
// not zero.
void printGdiGrowthByType(const char* label, const ResourceCounts& first, const ResourceCounts& last) {
    static const char* const kNames[] = {"", "pens", "brushes", "DCs", "metafile DCs", "palettes", "fonts",
                                         "bitmaps", "regions", "metafiles", "memory DCs", "extended pens",
                                         "enhanced metafile DCs", "enhanced metafiles"};
    if (last.gdiObjectsByType.empty()) return;
    std::map<unsigned long, long long> growth;
    for (const auto& [type, objects] : last.gdiObjectsByType) growth[type] += static_cast<long long>(objects);
    for (const auto& [type, objects] : first.gdiObjectsByType) growth[type] -= static_cast<long long>(objects);
    std::printf("  %-40s", label);
    for (const auto& [type, grew] : growth) {
        if (!grew) continue;
        if (type > 0 && type < std::size(kNames)) std::printf(" %s %+lld", kNames[type], grew);
        else std::printf(" type %lu %+lld", type, grew);
    }
    std::printf("\n");
}

bool countsSee() {
    const auto blind = blindCounts();
    for (const std::string& count : blind)
        std::printf("the count of %s did not see what was left behind on purpose: its figures prove nothing\n",
                    count.c_str());
    return blind.empty();
}

bool privateBytesWithin(const ResourceCounts& first, const ResourceCounts& last) {
    const long long limit = std::max<long long>(static_cast<long long>(first.privateBytes) / 100, kOneMiB);
    return target("private bytes growth (bytes)", grown(first.privateBytes, last.privateBytes), limit);
}

int soakMonitor(const MonitorSoakPlan& plan) {
    std::printf("monitor soak: %zu jobs on %zu ports, %zu transceive commands, %zu EnumPorts calls\n", plan.jobs,
                plan.ports, plan.xcvCommands, plan.enumPortsCalls);
    const DWORD started = GetTickCount();
    const MonitorSoakResult result = runMonitorSoak(plan, [](size_t checkpoint, const ResourceCounts& counts) {
        printCounts(checkpoint == 0 ? "warmed up" : ("slice " + std::to_string(checkpoint)).c_str(), counts);
    });
    std::printf("ran %.1f s\n", (GetTickCount() - started) / 1000.0);
    std::printf("jobs printed %zu, failed on purpose %zu; transceive commands %zu; EnumPorts calls %zu\n",
                result.jobsPrinted, result.jobsFailed, result.xcvCommands, result.enumPortsCalls);
    const ResourceCounts& first = result.checkpoints.front();
    const ResourceCounts& last = result.checkpoints.back();
    bool met = true;
    met &= target("handle growth", grown(first.handles, last.handles), kHandleGrowth);
    met &= privateBytesWithin(first, last);
    std::printf("  %-40s %12lld\n", "working set growth (bytes)", grown(first.workingSet, last.workingSet));
    met &= target("byte mismatches", static_cast<long long>(result.byteMismatches), 0);
    met &= target("jobs with another outcome than due", static_cast<long long>(result.wrongOutcomes), 0);
    for (const auto& wrong : result.firstWrongOutcomes)
        std::printf("    a job that met %s ended with %lu\n", wrong.fault, wrong.code);
    met &= target("jobs not deleted from the spooler", static_cast<long long>(result.jobsNotDeleted), 0);
    met &= target("transceive commands not as due", static_cast<long long>(result.xcvUnexpected), 0);
    met &= target("failed EnumPorts calls", static_cast<long long>(result.enumPortsFailures), 0);
    met &= target("jobs not run", static_cast<long long>(plan.jobs - result.jobsPrinted - result.jobsFailed), 0);
    return met ? 0 : 1;
}

int soakDialogs(size_t runs) {
    std::printf("dialog soak: %zu runs of the configure dialog, every tenth with a refused fetch\n", runs);
    const DWORD started = GetTickCount();
    const DialogSoakResult result = runDialogSoak(runs);
    std::printf("ran %.1f s\n", (GetTickCount() - started) / 1000.0);
    printCounts("start", result.start);
    printCounts("end", result.end);
    printCounts("plain start", result.plainStart);
    printCounts("plain end", result.plainEnd);
    const long long plainGdi = grown(result.plainStart.gdiObjects, result.plainEnd.gdiObjects);
    const long long plainUser = grown(result.plainStart.userObjects, result.plainEnd.userObjects);
    std::printf("  %-40s %12lld\n", "GDI objects the window system kept", plainGdi);
    printGdiGrowthByType("GDI growth by type, configure dialog", result.start, result.end);
    printGdiGrowthByType("GDI growth by type, plain windows", result.plainStart, result.plainEnd);
    bool met = true;
    met &= target("handle growth", grown(result.start.handles, result.end.handles), kHandleGrowth);
    met &= target("GDI objects growth beyond the plain windows'",
                  grown(result.start.gdiObjects, result.end.gdiObjects) - plainGdi, 0);
    met &= target("USER objects growth beyond the plain windows'",
                  grown(result.start.userObjects, result.end.userObjects) - plainUser, 0);
    met &= privateBytesWithin(result.start, result.end);
    met &= target("runs not answered as due", static_cast<long long>(result.scriptFailures), 0);
    met &= target("runs not made", static_cast<long long>(runs - result.runs), 0);
    return met ? 0 : 1;
}

size_t argumentOr(int argc, wchar_t** argv, int index, size_t fallback) {
    return index < argc ? static_cast<size_t>(std::wcstoull(argv[index], nullptr, 10)) : fallback;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode != L"monitor" && mode != L"dialogs") {
        std::fprintf(stderr, "usage: qrx-soak monitor [jobs] [xcv commands] [EnumPorts calls]\n"
                             "       qrx-soak dialogs [runs]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    // The monitor's messages and the dialogs' templates come from it.
    if (!qrxtest::mapEnglishResources()) {
        std::fprintf(stderr, "the built QRXPM1033U.dll cannot be mapped\n");
        return 1;
    }
    if (!countsSee()) return 1;
    if (mode == L"monitor") {
        MonitorSoakPlan plan;
        plan.jobs = argumentOr(argc, argv, 2, plan.jobs);
        plan.xcvCommands = argumentOr(argc, argv, 3, plan.xcvCommands);
        plan.enumPortsCalls = argumentOr(argc, argv, 4, plan.enumPortsCalls);
        return soakMonitor(plan);
    }
    return soakDialogs(argumentOr(argc, argv, 2, 1000));
}
