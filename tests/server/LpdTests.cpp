#include "ErrorBuilders.h"
#include "ErrorCapture.h"
#include "LPDErrorMap.h"
#include "LoopbackPeer.h"
#include "LpdClient.h"
#include "PrinterList.h"
#include "Recorders.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::LoopbackPeer;
using qrxtest::PeerConnection;
using qrxtest::thrownError;

// Where a socket of these tests connects, as its errors name it.
std::wstring loopbackPlace(const std::wstring& port) { return serverPlace(L"", L"127.0.0.1", port, nullptr); }

// The lines after an answer of the server: the step it came at and where the job went.
std::wstring atStep(const std::wstring& step, const std::wstring& port, const std::wstring& queue = L"Q") {
    return L"\nstep: " + step + L"\nhost: 127.0.0.1, port " + port + L"\nqueue: " + queue;
}

const ControlFile kWorkedExample = ControlFile::build(L"PC1", L"alice", L"", L"report.txt");

std::string bytes(std::initializer_list<int> values) {
    std::string result;
    for (int value : values) result += static_cast<char>(value);
    return result;
}

std::string pattern(size_t count, int seed) {
    std::string data(count, '\0');
    for (size_t i = 0; i < count; ++i) data[i] = static_cast<char>((i * 31 + seed) & 0xFF);
    return data;
}

const std::string kAck = bytes({0});

// The server side of the four header steps, each answered with a zero byte;
// what the client sent is appended to wire.
void acceptHeader(PeerConnection& peer, std::string& wire) {
    wire += peer.readLine();
    peer.send(kAck);
    std::string subcommand = peer.readLine();
    wire += subcommand;
    peer.send(kAck);
    size_t count = std::stoul(subcommand.substr(1));
    wire += peer.read(count + 1);
    peer.send(kAck);
    wire += peer.readLine();
    peer.send(kAck);
}

LpdLimits quickLimits() {
    LpdLimits limits;
    limits.acknowledgement = std::chrono::milliseconds(300);
    limits.queueState = std::chrono::milliseconds(300);
    return limits;
}

TEST(ControlFile, WorkedExample) {
    EXPECT_EQ(kWorkedExample.controlFileName, L"cfA000PC1");
    EXPECT_EQ(kWorkedExample.dataFileName, L"dfA000PC1");
    EXPECT_EQ(kWorkedExample.text, L"HPC1\nPalice\nNreport.txt\nldfA000PC1\n");
    EXPECT_EQ(kWorkedExample.text.size(), 35u);
}

TEST(ControlFile, EmptyValuesLeaveOutTheirLinesAndBreaksBecomeBlanks) {
    ControlFile noHost = ControlFile::build(L"", L"bob", L"VAVNAME='x'", L"");
    EXPECT_EQ(noHost.controlFileName, L"cfA000");
    EXPECT_EQ(noHost.dataFileName, L"dfA000");
    EXPECT_EQ(noHost.text, L"Pbob\nXVAVNAME='x'\nldfA000\n");
    ControlFile injected = ControlFile::build(L"PC1", L"eve\nUdfA000PC1", L"", L"a\r\nb");
    EXPECT_EQ(injected.text, L"HPC1\nPeve UdfA000PC1\nNa  b\nldfA000PC1\n");
}

TEST(LpdJob, WorkedExampleByteForByte) {
    std::string wire;
    const std::string first = pattern(4096, 1), second = pattern(904, 2);
    LoopbackPeer peer([&](PeerConnection& connection) {
        acceptHeader(connection, wire);
        wire += connection.read(4 + 4096 + 4 + 904 + 4);
        connection.send(kAck);
        wire += connection.readAll();  // nothing more: the client half-closes
    });
    LpdClient client(L"PRT1", L"127.0.0.1", peer.port());
    client.startJob(kWorkedExample);
    client.sendChunk(reinterpret_cast<const BYTE*>(first.data()), 4096);
    client.sendChunk(reinterpret_cast<const BYTE*>(second.data()), 904);
    client.finishJob();
    peer.join();

    std::string expected = bytes({0xC2}) + "PRT1\n" + bytes({0x04}) + "35 cfA000PC1\n" +
                           "HPC1\nPalice\nNreport.txt\nldfA000PC1\n" + bytes({0}) + bytes({0x16}) + "dfA000PC1\n" +
                           bytes({0, 0, 0x10, 0}) + first + bytes({0, 0, 0x03, 0x88}) + second + bytes({0, 0, 0, 0});
    EXPECT_EQ(wire.size(), expected.size());
    EXPECT_TRUE(wire == expected);
}

TEST(LpdJob, OperandsAreSentInCodePage1252WithTheirByteCount) {
    std::string wire;
    LoopbackPeer peer([&](PeerConnection& connection) { acceptHeader(connection, wire); });
    LpdClient client(L"Dr\u00fcck\ner", L"127.0.0.1", peer.port());
    client.startJob(ControlFile::build(L"PC1", L"Ren\u00e9e", L"", L""));
    peer.join();
    // The queue's line feed went as a blank; "Renée" is 5 bytes, not 5 UTF-16 units or 6 UTF-8 bytes.
    EXPECT_EQ(wire.substr(0, 10), bytes({0xC2}) + "Dr\xFC" "ck er\n");
    EXPECT_NE(wire.find(bytes({0x04}) + "23 cfA000PC1\n"), std::string::npos);
    EXPECT_NE(wire.find("PRen\xE9" "e\n"), std::string::npos);
}

struct Refusal {
    std::string message;
    DWORD code;
};

class LpdRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(LpdRefusal, CarriesTheServersTextAndTheMappedCode) {
    LoopbackPeer peer([&](PeerConnection& connection) {
        connection.readLine();
        connection.send(bytes({0x01}) + GetParam().message);
    });
    LpdClient client(L"PRT9", L"127.0.0.1", peer.port());
    RuntimeError error = thrownError([&] { client.startJob(kWorkedExample); });
    EXPECT_EQ(error.message(), std::wstring(GetParam().message.begin(), GetParam().message.end()) +
                                   atStep(L"the job command", peer.port(), L"PRT9"));
    EXPECT_EQ(error.code(), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Messages, LpdRefusal,
                         testing::Values(Refusal{"VAV001E Printer PRT9 is not known.", 1801},
                                         Refusal{"VAV097E Jobs are queued.", 3009},
                                         Refusal{"VAV999E Something new.", 1803},
                                         Refusal{"VAV007I Just so you know.", 0}));

TEST(LpdJob, AServerMessageIsALPDRuntimeError) {
    LoopbackPeer peer([](PeerConnection& connection) {
        connection.readLine();
        connection.send(bytes({0x02}) + "VAV001E no");
    });
    LpdClient client(L"Q", L"127.0.0.1", peer.port());
    try {
        client.startJob(kWorkedExample);
        ADD_FAILURE() << "no error";
    } catch (const LPDRuntimeError& error) {
        EXPECT_EQ(error.message(), L"VAV001E no" + atStep(L"the job command", peer.port()));
    }
}

TEST(LpdJob, ALongRefusalIsCutAndReadToItsEnd) {
    LoopbackPeer peer([](PeerConnection& connection) {
        connection.readLine();
        connection.send(bytes({0x01}) + "VAV003E " + std::string(200000, 'x'));
    });
    LpdClient client(L"Q", L"127.0.0.1", peer.port());
    RuntimeError error = thrownError([&] { client.startJob(kWorkedExample); });
    EXPECT_EQ(error.message().find(L'\n'), 64u * 1024u) << "the text is cut, the place follows";
    EXPECT_EQ(error.code(), 1803u);
}

TEST(LpdJob, ACloseWhereAnAnswerIsDueIsAPrematureClose) {
    // The server takes each header step in turn and closes instead of answering the chosen one.
    for (int answered = 0; answered < 4; ++answered) {
        LoopbackPeer peer([answered](PeerConnection& connection) {
            size_t contents = 0;
            for (int step = 0; step <= answered; ++step) {
                if (step == 2) {
                    connection.read(contents + 1);
                } else {
                    std::string line = connection.readLine();
                    if (step == 1) contents = std::stoul(line.substr(1));
                }
                if (step < answered) connection.send(kAck);
            }
        });
        LpdClient client(L"Q", L"127.0.0.1", peer.port());
        RuntimeError error = thrownError([&] { client.startJob(kWorkedExample); });
        EXPECT_EQ(error.code(), 1906u) << "after " << answered << " answers";
        const wchar_t* steps[] = {L"the job command", L"the control file", L"the control file",
                                  L"the data file command"};
        EXPECT_EQ(error.message(), L"VAV5052E The Prentova Server LPD prematurely closed the connection." +
                                       atStep(steps[answered], peer.port()));
    }
    LoopbackPeer peer([](PeerConnection& connection) {
        std::string ignored;
        acceptHeader(connection, ignored);
        connection.read(4);
    });
    LpdClient client(L"Q", L"127.0.0.1", peer.port());
    client.startJob(kWorkedExample);
    RuntimeError atTheEnd = thrownError([&] { client.finishJob(); });
    EXPECT_EQ(atTheEnd.code(), 1906u);
}

TEST(LpdJob, AMessageDuringTheDataIsNoticedAtTheNextChunk) {
    std::atomic<bool> messageSent{false};
    LoopbackPeer peer([&](PeerConnection& connection) {
        std::string ignored;
        acceptHeader(connection, ignored);
        connection.read(2 * (4 + 10));
        connection.send(bytes({0x01}) + "VAV080E Printer jammed");
        connection.close();
        messageSent = true;
    });
    LpdClient client(L"Q", L"127.0.0.1", peer.port());
    client.startJob(kWorkedExample);
    const std::string data = pattern(10, 3);
    client.sendChunk(reinterpret_cast<const BYTE*>(data.data()), 10);
    client.sendChunk(reinterpret_cast<const BYTE*>(data.data()), 10);
    for (int i = 0; i < 500 && !messageSent; ++i) Sleep(10);
    Sleep(50);
    RuntimeError error = thrownError([&] { client.sendChunk(reinterpret_cast<const BYTE*>(data.data()), 10); });
    EXPECT_EQ(error.message(), L"VAV080E Printer jammed" + atStep(L"the job's data", peer.port()));
    EXPECT_EQ(error.code(), 1906u);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const std::string kKilobyte = pattern(1024, 4);

void sendKilobyte(LpdClient& client) { client.sendChunk(reinterpret_cast<const BYTE*>(kKilobyte.data()), 1024); }

// A server that refuses, at the job command or after the first chunk, and
// then keeps the connection open: its text is kept, and the wait for more of
// it ends when the server falls silent, long before the acknowledgement limit.
class HeldOpenRefusal : public testing::TestWithParam<bool> {};

TEST_P(HeldOpenRefusal, EndsAfterTheSilenceWithTheServersText) {
    const bool duringData = GetParam();
    std::atomic<bool> refused{false};
    LoopbackPeer peer([&](PeerConnection& connection) {
        if (duringData) {
            std::string ignored;
            acceptHeader(connection, ignored);
            connection.read(4 + 1024);
        } else {
            connection.readLine();
        }
        connection.send(bytes({0x01}) + "VAV001E Printer PRT9 is not known.");
        refused = true;
        connection.readAll();
    });
    LpdLimits limits;
    limits.acknowledgement = std::chrono::seconds(20);
    limits.messageSilence = std::chrono::milliseconds(300);
    LpdClient client(L"PRT9", L"127.0.0.1", peer.port(), limits);
    auto start = std::chrono::steady_clock::now();
    RuntimeError error = thrownError([&] {
        client.startJob(kWorkedExample);
        sendKilobyte(client);
        for (int i = 0; i < 500 && !refused; ++i) Sleep(10);
        // The refusal is sent, yet it may reach this end of the connection a
        // little later: the next sends must find it.
        for (int i = 0; i < 100; ++i) {
            sendKilobyte(client);
            Sleep(10);
        }
    });
    EXPECT_EQ(error.message(), L"VAV001E Printer PRT9 is not known." +
                                   atStep(duringData ? L"the job's data" : L"the job command", peer.port(), L"PRT9"));
    EXPECT_EQ(error.code(), 1801u);
    EXPECT_LT(secondsSince(start), 5.0);
}

INSTANTIATE_TEST_SUITE_P(AtTheJobCommandAndDuringTheData, HeldOpenRefusal, testing::Bool());

// While the spooler hands over chunks without a pause, a message of the
// server is looked for at least once every 64 KiB, and at the end of data.
class MessageWithoutAPause : public testing::TestWithParam<bool> {};

TEST_P(MessageWithoutAPause, FailsTheJobWithin64KiBOrAtTheEnd) {
    const bool endsEarly = GetParam();
    std::atomic<bool> refused{false};
    LoopbackPeer peer([&](PeerConnection& connection) {
        std::string ignored;
        acceptHeader(connection, ignored);
        connection.read(2 * (4 + 1024));
        connection.send(bytes({0x01}) + "VAV080E Printer jammed");
        refused = true;
        connection.readAll();
    });
    LpdLimits limits;
    limits.messageSilence = std::chrono::milliseconds(200);
    limits.pauseBeforeLook = std::chrono::hours(1);  // no call counts as following a pause
    LpdClient client(L"Q", L"127.0.0.1", peer.port(), limits);
    client.startJob(kWorkedExample);
    sendKilobyte(client);
    sendKilobyte(client);
    for (int i = 0; i < 500 && !refused; ++i) Sleep(10);
    Sleep(50);
    size_t sentAfterMessage = 0;
    RuntimeError error = thrownError([&] {
        for (int i = 0; i < (endsEarly ? 3 : 200); ++i) {
            sendKilobyte(client);
            sentAfterMessage += 1024;
        }
        client.finishJob();
    });
    EXPECT_EQ(error.message(), L"VAV080E Printer jammed" +
                                   atStep(endsEarly ? L"the end of the data" : L"the job's data", peer.port()));
    EXPECT_LE(sentAfterMessage, 64u * 1024u);
    if (endsEarly) {
        EXPECT_EQ(sentAfterMessage, 3u * 1024u) << "noticed at the end of data";
    }
}

INSTANTIATE_TEST_SUITE_P(ByChunksAndByTheEnd, MessageWithoutAPause, testing::Bool());

// A host that drops connection attempts holds neither a job nor the printer
// list longer than the connect limit.
class UnansweredConnect : public testing::TestWithParam<bool> {};

TEST_P(UnansweredConnect, FailsAtTheConnectLimitWithWSAETIMEDOUT) {
    const bool printerList = GetParam();
    qrxtest::FullListener listener;
    LpdLimits limits;
    limits.connect = std::chrono::milliseconds(300);
    auto start = std::chrono::steady_clock::now();
    RuntimeError error = thrownError([&] {
        if (printerList)
            queryPrinterList(L"127.0.0.1", listener.port(), limits);
        else
            LpdClient(L"Q", L"127.0.0.1", listener.port(), limits).startJob(kWorkedExample);
    });
    EXPECT_LT(secondsSince(start), 5.0);
    EXPECT_EQ(error.code(), static_cast<DWORD>(WSAETIMEDOUT));
    EXPECT_EQ(error.message().rfind(L"VAV5053E Communication error: Connection failed.\nhost: 127.0.0.1, port " +
                                        listener.port() + (printerList ? L"" : L"\nqueue: Q") +
                                        L"\nerror code: 10060\n",
                                    0),
              0u)
        << "a listing names the host and LPD port, a job the queue too";
}

INSTANTIATE_TEST_SUITE_P(ForAJobAndForThePrinterList, UnansweredConnect, testing::Bool());

TEST(WireText, CharactersOutsideCodePage1252GoAsQuestionMarksNeverAsLookAlikes) {
    struct Case {
        std::wstring text;
        std::string wire;
    };
    const Case cases[] = {
        {L"x\uFF07 copies=\uFF0799", "x? copies=?99"},  // fullwidth apostrophe
        {L"x\u02BC copies=\u02BC99", "x? copies=?99"},  // modifier letter apostrophe
        {L"Ren\u00e9e \u20ac", "Ren\xE9" "e \x80"},         // in the code page: kept
        {L"\u0100\u2019", "?\x92"},                     // A with macron has only a look-alike
    };
    for (const Case& c : cases) EXPECT_EQ(toWire(c.text), c.wire);
}

TEST(LpdJob, AZeroByteDuringTheDataIsAProtocolError) {
    LoopbackPeer peer([](PeerConnection& connection) {
        std::string ignored;
        acceptHeader(connection, ignored);
        connection.send(kAck);
        connection.readAll();
    });
    LpdClient client(L"Q", L"127.0.0.1", peer.port());
    client.startJob(kWorkedExample);
    Sleep(100);
    const BYTE data[1] = {7};
    RuntimeError error = thrownError([&] { client.sendChunk(data, 1); });
    EXPECT_EQ(error.message(), L"VAV5051E Communication protocol error." + atStep(L"the job's data", peer.port()));
    EXPECT_EQ(error.code(), 0u);
}

TEST(LpdJob, AServerThatClosesAfterTheDataSubcommandFailsTheNextChunk) {
    LoopbackPeer peer([](PeerConnection& connection) {
        std::string ignored;
        acceptHeader(connection, ignored);
    });
    LpdClient client(L"Q", L"127.0.0.1", peer.port());
    client.startJob(kWorkedExample);
    peer.join();
    const BYTE data[1] = {7};
    RuntimeError error = thrownError([&] { client.sendChunk(data, 1); });
    EXPECT_EQ(error.code(), 1906u);
}

TEST(LpdJob, AServerThatStopsReadingFailsTheSendAtTheTimeBound) {
    LoopbackPeer peer([](PeerConnection& connection) {
        std::string ignored;
        acceptHeader(connection, ignored);
        Sleep(2500);
    });
    LpdLimits limits = quickLimits();
    limits.send = std::chrono::milliseconds(500);
    LpdClient client(L"Q", L"127.0.0.1", peer.port(), limits);
    client.startJob(kWorkedExample);
    const std::string big = pattern(1024 * 1024, 9);
    RuntimeError error = thrownError([&] {
        for (int i = 0; i < 64; ++i) client.sendChunk(reinterpret_cast<const BYTE*>(big.data()), DWORD(big.size()));
    });
    EXPECT_NE(error.message().find(L"Communication error: send("), std::wstring::npos);
    EXPECT_EQ(error.code(), static_cast<DWORD>(WSAETIMEDOUT));
}

TEST(LpdJob, ASilentServerFailsAtTheTimeBound) {
    LoopbackPeer peer([](PeerConnection& connection) {
        connection.readLine();
        Sleep(1000);
    });
    LpdClient client(L"Q", L"127.0.0.1", peer.port(), quickLimits());
    RuntimeError error = thrownError([&] { client.startJob(kWorkedExample); });
    EXPECT_EQ(error.code(), static_cast<DWORD>(WSAETIMEDOUT));
    EXPECT_EQ(error.message().rfind(L"VAV5053E Communication error: Receive(1) failed.\nhost: 127.0.0.1, port " +
                                        peer.port() + L"\nqueue: Q\nerror code: 10060\n",
                                    0),
              0u);
}

TEST(LpdJob, WorksOverIPv6) {
    std::string wire;
    LoopbackPeer peer(
        [&](PeerConnection& connection) {
            acceptHeader(connection, wire);
            wire += connection.read(4);
            connection.send(kAck);
        },
        AF_INET6);
    LpdClient client(L"PRT1", L"::1", peer.port());
    client.startJob(kWorkedExample);
    client.finishJob();
    EXPECT_EQ(wire.substr(wire.size() - 4), bytes({0, 0, 0, 0}));
}

TEST(LpdQueueState, SendsTheCommandAndKeepsTheWholeAnswer) {
    std::string request;
    LoopbackPeer peer([&](PeerConnection& connection) {
        request = connection.readLine();
        connection.send("A\nB\nC\nD\nE\nF\n");
    });
    EXPECT_EQ(queryPrinterList(L"127.0.0.1", peer.port()), L"A\nB\nC\nD\nE\nF\n");
    EXPECT_EQ(request, bytes({0x04, 0x0A}));
}

TEST(LpdQueueState, AServerThatClosesAtOnceGivesAnEmptyText) {
    LoopbackPeer peer([](PeerConnection& connection) { connection.readLine(); });
    EXPECT_EQ(queryPrinterList(L"127.0.0.1", peer.port()), L"");
}

TEST(LpdQueueState, AnAnswerThatNeverEndsFailsAtTheTimeBound) {
    LoopbackPeer peer([](PeerConnection& connection) {
        connection.readLine();
        connection.send("P1\n");
        Sleep(1000);
    });
    RuntimeError error = thrownError([&] { queryPrinterList(L"127.0.0.1", peer.port(), quickLimits()); });
    EXPECT_EQ(error.code(), static_cast<DWORD>(WSAETIMEDOUT));
}

TEST(LpdQueueState, OperandsFollowTheQueueNameWithBlanks) {
    std::string request;
    LoopbackPeer peer([&](PeerConnection& connection) { request = connection.readLine(); });
    LpdClient(L"PRT1", L"127.0.0.1", peer.port()).queryQueueState({L"alice", L"12"});
    EXPECT_EQ(request, bytes({0x04}) + "PRT1 alice 12\n");
}

TEST(TcpSocket, ResolvesServiceNamesAndRejectsNonsensePorts) {
    TcpSocket byName;
    RuntimeError refused = thrownError([&] { byName.connect(L"127.0.0.1", L"printer", loopbackPlace(L"printer")); });
    // "printer" is the LPD service (515): it resolved, and nothing listens there.
    EXPECT_NE(refused.message().find(L"Connection failed."), std::wstring::npos);
    EXPECT_NE(refused.message().find(L"port printer"), std::wstring::npos);

    TcpSocket nonsense;
    RuntimeError unresolved =
        thrownError([&] { nonsense.connect(L"127.0.0.1", L"no-such-service-x", loopbackPlace(L"no-such-service-x")); });
    EXPECT_EQ(unresolved.message().rfind(L"VAV5053E Communication error: getaddrinfo failed.\n", 0), 0u);
    EXPECT_NE(unresolved.code(), 0u);
}

// A number beyond the last TCP port would be wrapped by the name resolution
// into another port (71137 reached 5601): it fails before any connection.
TEST(TcpSocket, OnlyNumbersFrom1To65535AreTcpPorts) {
    const std::wstring closed = qrxtest::closedPort();
    const std::wstring wrapped = std::to_wstring(std::stoul(closed) + 65536);
    const struct {
        std::wstring port;
        bool accepted;  // then refused by the peer, since nothing listens
    } cases[] = {
        {L"0", false},     {L"65536", false}, {L"70001", false}, {wrapped, false}, {L"99999999999999999999", false},
        {L"1", true},      {L"65535", true},  {closed, true},    {L"000" + closed, true},
    };
    for (const auto& c : cases) {
        TcpSocket socket;
        RuntimeError error = thrownError([&] { socket.connect(L"127.0.0.1", c.port, loopbackPlace(c.port)); });
        const std::wstring headline = c.accepted ? L"VAV5053E Communication error: Connection failed.\n"
                                                 : L"VAV5053E Communication error: getaddrinfo failed.\n";
        EXPECT_EQ(error.message().rfind(headline + L"host: 127.0.0.1, port " + c.port + L"\n", 0), 0u)
            << testing::PrintToString(error.message());
        EXPECT_EQ(error.code(), static_cast<DWORD>(c.accepted ? WSAECONNREFUSED : WSAEINVAL)) << c.port.size();
    }
}

TEST(TcpSocket, ARefusedConnectionCarriesTheRefusal) {
    std::wstring port = qrxtest::closedPort();
    TcpSocket socket;
    RuntimeError error = thrownError([&] { socket.connect(L"127.0.0.1", port, loopbackPlace(port)); });
    EXPECT_EQ(error.code(), static_cast<DWORD>(WSAECONNREFUSED));
    EXPECT_EQ(error.message().rfind(L"VAV5053E Communication error: Connection failed.\nhost: 127.0.0.1, port " +
                                        port + L"\nerror code: 10061\n",
                                    0),
              0u);
}

TEST(TcpSocket, APeerThatResetsMidSendFailsTheSendWithTheUnsentCount) {
    LoopbackPeer peer([](PeerConnection& connection) {
        connection.read(1000);
        connection.reset();
    });
    // Wine does not always wake a blocked send when the reset arrives; the
    // send limit bounds the test there.
    TcpSocket socket(SocketLimits{std::chrono::seconds(3)});
    socket.connect(L"127.0.0.1", peer.port(), loopbackPlace(peer.port()));
    const std::string big = pattern(8 * 1024 * 1024, 5);
    RuntimeError error = thrownError([&] {
        for (int i = 0; i < 50; ++i) socket.sendAll(reinterpret_cast<const BYTE*>(big.data()), big.size());
    });
    EXPECT_NE(error.message().find(L"Communication error: send("), std::wstring::npos);
    EXPECT_NE(error.code(), 0u);
}

TEST(TcpSocket, ReceiveWithAndWithoutWaitingForAll) {
    LoopbackPeer peer([](PeerConnection& connection) {
        connection.send("abc");
        Sleep(100);
        connection.send("def");
    });
    TcpSocket socket;
    socket.connect(L"127.0.0.1", peer.port(), loopbackPlace(peer.port()));
    BYTE buffer[16] = {};
    EXPECT_EQ(socket.receive(buffer, 6, false), 3u);
    EXPECT_EQ(socket.receive(buffer, 3, true), 3u);
    EXPECT_EQ(socket.receive(buffer, 1, true), 0u) << "the peer closed";
    EXPECT_EQ(socket.receive(buffer, 0, true), 0u);
}

TEST(LPDErrorMap, EveryNumberHasOneEntryInItsClass) {
    std::map<DWORD, int> perCode;
    std::set<int> numbers;
    for (const auto& [identifier, code] : lpdErrorMap().entries()) {
        ASSERT_EQ(identifier.size(), 7u);
        ASSERT_EQ(identifier.substr(0, 3), L"VAV");
        ASSERT_NE(std::wstring(L"IWE").find(identifier[6]), std::wstring::npos) << identifier;
        EXPECT_TRUE(numbers.insert(std::stoi(identifier.substr(3, 3))).second) << "two entries for " << identifier;
        EXPECT_EQ(lpdErrorMap().codeFor(identifier), code);
        ++perCode[code];
    }
    EXPECT_EQ(perCode, (std::map<DWORD, int>{{0, 16}, {63, 4}, {1801, 1}, {1803, 61}, {1906, 64}, {3009, 1}}));
    std::set<int> absent;
    for (int number = 1; number <= 153; ++number)
        if (!numbers.count(number)) absent.insert(number);
    EXPECT_EQ(absent, (std::set<int>{5, 13, 31, 125, 127, 141}));
    EXPECT_EQ(numbers.size(), 147u);
}

TEST(LPDErrorMap, LookupIsExactOnTheFirstSevenCharacters) {
    const LPDErrorMap& map = lpdErrorMap();
    EXPECT_EQ(map.codeFor(L"VAV097E queued"), 3009u);
    EXPECT_EQ(map.codeFor(L"VAV001E"), 1801u);
    EXPECT_EQ(map.codeFor(L"VAV007I"), 0u);
    EXPECT_EQ(map.codeFor(L"VAV044I x"), 1906u);
    EXPECT_EQ(map.codeFor(L"VAV014E x"), 63u);
    EXPECT_EQ(map.codeFor(L"vav001e x"), 1803u);
    EXPECT_EQ(map.codeFor(L" VAV001E x"), 1803u);
    EXPECT_EQ(map.codeFor(L"VAV00"), 1803u);
    EXPECT_EQ(map.codeFor(L""), 1803u);
    for (const wchar_t* absent : {L"VAV005E", L"VAV013E", L"VAV031E", L"VAV125E", L"VAV127E", L"VAV141E"})
        EXPECT_EQ(map.codeFor(absent), 1803u) << absent;
}

}  // namespace
