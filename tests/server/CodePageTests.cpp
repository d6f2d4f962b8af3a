// The print server's text read in the code page it is written in, on a
// machine whose own code page is another (this program runs under a Russian
// locale, code page 1251): a printer picked from the list prints there.
#include "ErrorCapture.h"
#include "LoopbackPeer.h"
#include "LpdClient.h"
#include "PrinterList.h"
#include "Recorders.h"
#include "ReferenceServer.h"

#include <gtest/gtest.h>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

const std::wstring kPrinter = L"Imprimante-\u00e9t\u00e9";

TEST(ServerText, APrinterReadFromTheListUnderAnotherCodePagePrintsToThatQueue) {
    ASSERT_EQ(GetACP(), 1251u) << "the test needs a machine code page other than 1252";
    refserver::ServerOptions options;
    options.printers = {{kPrinter, L"\u00c9tage 2", L"Caf\u00e9"}};
    options.strictQueues = true;
    refserver::ReferenceServer server(options);
    const std::wstring port = std::to_wstring(server.port());

    const std::wstring list = queryPrinterList(L"127.0.0.1", port);
    ASSERT_EQ(list, kPrinter + L"\n\u00c9tage 2\nCaf\u00e9\n");

    LpdClient client(list.substr(0, list.find(L'\n')), L"127.0.0.1", port);
    client.startJob(ControlFile::build(L"PC1", L"alice", L"", L"report.txt"));
    const BYTE data[] = {'d', 'a', 't', 'a'};
    client.sendChunk(data, sizeof data);
    client.finishJob();
    ASSERT_TRUE(server.waitForJobs(1, std::chrono::seconds(5)));
    EXPECT_EQ(server.jobs()[0].queue, "Imprimante-\xe9t\xe9");
}

TEST(ServerText, ARefusalIsReadInCodePage1252) {
    qrxtest::LoopbackPeer peer([](qrxtest::PeerConnection& connection) {
        connection.readLine();
        connection.send(std::string(1, '\x01') + "VAV001E unknown queue \"Imprimante-\xe9t\xe9\"");
    });
    LpdClient client(kPrinter, L"127.0.0.1", peer.port());
    RuntimeError error = qrxtest::thrownError([&] { client.startJob(ControlFile::build(L"PC1", L"", L"", L"")); });
    EXPECT_EQ(error.message().substr(0, error.message().find(L'\n')), L"VAV001E unknown queue \"" + kPrinter + L"\"");
}

}  // namespace
