// The reference server's pieces that need no network: checksum, printer
// files, file-name checks, fault steps and the program's command line.
#include "RawClient.h"
#include "TestPaths.h"

#include "CommandLine.h"
#include "Fnv1a64.h"
#include "JobSpool.h"
#include "Printers.h"
#include "ServerErrors.h"

#include <gtest/gtest.h>

namespace {

using refserver::FaultAction;
using refserver::FaultStep;

TEST(Fnv1a64, MatchesPublishedValuesAndStreamsInPieces) {
    // Reference values of the FNV-1a 64-bit hash.
    EXPECT_EQ(refserver::Fnv1a64().value(), 0xcbf29ce484222325ULL);
    refserver::Fnv1a64 a;
    a.add("a");
    EXPECT_EQ(a.value(), 0xaf63dc4c8601ec8cULL);
    refserver::Fnv1a64 whole, pieces;
    whole.add("foobar");
    pieces.add("foo");
    pieces.add("bar");
    EXPECT_EQ(whole.value(), 0x85944171f73967e8ULL);
    EXPECT_EQ(pieces.value(), whole.value());
    EXPECT_EQ(refserver::Fnv1a64::hex(0x85944171f73967e8ULL), "85944171f73967e8");
    EXPECT_EQ(refserver::Fnv1a64::hex(0x1ULL), "0000000000000001");
}

TEST(PrinterFile, LinesBecomePrintersInEitherEncoding) {
    auto printers = refserver::parsePrinterLines(L"PRT1|Room 1|Laser\r\n# comment\n\nPRT2\nPRT3|Hall|\nPRT4|a|b|c");
    ASSERT_EQ(printers.size(), 4u);
    EXPECT_EQ(printers[0].name, L"PRT1");
    EXPECT_EQ(printers[0].location, L"Room 1");
    EXPECT_EQ(printers[0].description, L"Laser");
    EXPECT_EQ(printers[1].name, L"PRT2");
    EXPECT_EQ(printers[1].location, L"");
    EXPECT_EQ(printers[2].location, L"Hall");
    EXPECT_EQ(printers[2].description, L"");
    EXPECT_EQ(printers[3].description, L"b|c");

    qrxtest::ScratchFolder folder(L"printerfile");
    for (const std::string& content : {std::string("\xEF\xBB\xBF" "B\xC3\xBCro|1|\xE2\x82\xAC\n"),
                                       std::string("B\xFCro|1|\x80\n")}) {
        HANDLE file = CreateFileW(folder.file(L"printers.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                  nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
        auto loaded = refserver::loadPrinterFile(folder.file(L"printers.txt"));
        ASSERT_EQ(loaded.size(), 1u);
        EXPECT_EQ(loaded[0].name, L"B\u00FCro");
        EXPECT_EQ(loaded[0].description, L"\u20AC");
        EXPECT_EQ(refserver::printerListAnswer(loaded), "B\xFCro\n1\n\x80\n");
    }
    EXPECT_THROW(refserver::loadPrinterFile(folder.file(L"missing.txt")), refserver::UsageError);
    // A field must not break the three-line layout.
    EXPECT_EQ(refserver::printerListAnswer({{L"A", L"x\ny", L"z\r"}}), "A\nx y\nz \n");
}

TEST(SpoolFileNames, OnlyPlainNamesAreUsed) {
    for (const char* good : {"cfA000PC1", "dfA000", "dfA000host.example.com", "cfA000B\xFC" "ro"})
        EXPECT_EQ(refserver::unsafeFileNameReason(good), "") << good;
    for (const char* bad : {"", "..", "a\\b", "a/b", "C:x", "a b", "x.", "CON", "nul.txt", "COM1", "lpt9.x", "a*",
                            "cf\x01"})
        EXPECT_NE(refserver::unsafeFileNameReason(bad), "") << bad;
    EXPECT_NE(refserver::unsafeFileNameReason(std::string(201, 'a')), "");
}

TEST(FaultSteps, NamesAndChunkNumbers) {
    unsigned chunk = 0;
    EXPECT_EQ(refserver::parseFaultStep("control-text", chunk), FaultStep::ControlFileText);
    EXPECT_EQ(refserver::parseFaultStep("chunk:12", chunk), FaultStep::AfterChunk);
    EXPECT_EQ(chunk, 12u);
    EXPECT_EQ(refserver::parseFaultStep("chunk", chunk), FaultStep::AfterChunk);
    EXPECT_EQ(chunk, 1u);
    for (const char* name : {"job", "control", "control-text", "data", "chunk:7", "end", "query"}) {
        FaultStep step = refserver::parseFaultStep(name, chunk);
        EXPECT_EQ(refserver::faultStepName(step, chunk), name);
    }
    for (const char* bad : {"chunk:0", "chunk:", "chunk:x", "Job", "ack"})
        EXPECT_THROW(refserver::parseFaultStep(bad, chunk), refserver::UsageError) << bad;
}

TEST(CommandLine, OptionsBecomeSettings) {
    auto settings = refserver::parseCommandLine({L"--listen", L"::1", L"--port", L"5515", L"--spool", L"C:\\spool",
                                                 L"--printers", L"p.txt", L"--strict", L"--jobs", L"3",
                                                 L"--refuse", L"chunk:2", L"VAV097E full \u20AC", L"--once"});
    EXPECT_EQ(settings.server.address, "::1");
    EXPECT_EQ(settings.server.port, 5515);
    EXPECT_EQ(settings.server.spoolFolder, L"C:\\spool");
    EXPECT_EQ(settings.printerFile, L"p.txt");
    EXPECT_TRUE(settings.server.strictQueues);
    EXPECT_EQ(settings.jobs, 3u);
    ASSERT_TRUE(settings.fault);
    EXPECT_EQ(settings.fault->step, FaultStep::AfterChunk);
    EXPECT_EQ(settings.fault->chunk, 2u);
    EXPECT_EQ(settings.fault->action, FaultAction::Reply);
    EXPECT_EQ(settings.fault->replyByte, 0x01);
    EXPECT_EQ(settings.fault->message, "VAV097E full \x80");  // sent in code page 1252
    EXPECT_FALSE(settings.fault->everyConversation);

    auto reply = refserver::parseCommandLine({L"--reply", L"chunk", L"00", L"", L"--go-on"});
    EXPECT_EQ(reply.server.port, 515);
    EXPECT_EQ(reply.fault->replyByte, 0x00);
    EXPECT_TRUE(reply.fault->continueAfterReply);
    EXPECT_TRUE(reply.fault->everyConversation);
    EXPECT_EQ(refserver::parseCommandLine({L"--silent", L"query"}).fault->action, FaultAction::Silent);

    const std::vector<std::vector<std::wstring>> wrong = {
        {L"--port"}, {L"--port", L"65536"}, {L"--port", L"12a"}, {L"--bogus"}, {L"--jobs", L"0"},
        {L"--close", L"job", L"--silent", L"end"}, {L"--go-on"}, {L"--close", L"job", L"--go-on"}, {L"--once"},
        {L"--reply", L"job", L"1g", L"x"}, {L"--refuse", L"nowhere", L"x"}};
    for (const auto& arguments : wrong)
        EXPECT_THROW(refserver::parseCommandLine(arguments), refserver::UsageError) << arguments.size();
}

}  // namespace
