// The reference server driven over loopback by a raw client that sends the
// conversation byte by byte, as the wire example of a job shows it.
#include "RawClient.h"
#include "TestPaths.h"

#include "Fnv1a64.h"
#include "ReferenceServer.h"
#include "ServerErrors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>

namespace {

using namespace std::chrono_literals;
using qrxtest::bytes;
using qrxtest::chunk;
using qrxtest::pattern;
using qrxtest::RawClient;
using refserver::FaultPlan;
using refserver::FaultStep;
using refserver::ReferenceServer;
using refserver::ServerOptions;
using End = RawClient::End;
using Clock = std::chrono::steady_clock;

const std::string kControlText = "HPC1\nPalice\nNreport.txt\nldfA000PC1\n";
const std::string kFirst = pattern(4096, 1);
const std::string kSecond = pattern(904, 2);
const std::string kRefusal = "VAV097E Printer has jobs queued";

struct Step {
    std::string bytes;
    bool answered;  // the server answers this step with 0x00
};

// The worked example: queue PRT1, control file cfA000PC1 of 35 bytes, data
// dfA000PC1 in chunks of 4096 and 904 bytes.
std::vector<Step> workedExample() {
    return {{bytes({0xC2}) + "PRT1\n", true},
            {bytes({0x04}) + "35 cfA000PC1\n", true},
            {kControlText + bytes({0x00}), true},
            {bytes({0x16}) + "dfA000PC1\n", true},
            {chunk(kFirst), false},
            {chunk(kSecond), false},
            {bytes({0, 0, 0, 0}), true}};
}

std::string wireOf(const std::vector<Step>& steps) {
    std::string wire;
    for (const auto& step : steps) wire += step.bytes;
    return wire;
}

uint64_t checksumOf(const std::string& data) {
    refserver::Fnv1a64 checksum;
    checksum.add(data);
    return checksum.value();
}

// Sends steps [0, count), checking the zero answer of each answered one.
void sendSteps(RawClient& client, const std::vector<Step>& steps, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        client.send(steps[i].bytes);
        if (steps[i].answered) {
            ASSERT_EQ(client.readByte(), 0) << "answer to step " << i;
        }
    }
}

class ReferenceServerTest : public ::testing::Test {
protected:
    ServerOptions options() {
        ServerOptions options;
        options.spoolFolder = spool_.path();
        options.printers = {{L"PRT1", L"Room 1", L"Laser"}, {L"PRT2", L"Room 2", L"Colour"}};
        options.log = [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(logMutex_);
            log_.push_back(line);
        };
        return options;
    }
    ReferenceServer& start(ServerOptions options) {
        server_ = std::make_unique<ReferenceServer>(std::move(options));
        return *server_;
    }
    ReferenceServer& start() { return start(options()); }
    std::unique_ptr<RawClient> connect(DWORD waitMs = 5000) {
        return std::make_unique<RawClient>("127.0.0.1", server_->port(), waitMs);
    }
    // Runs one whole worked-example job and returns what the server sent
    // after the end-of-data answer (nothing is due).
    void runWorkedJob(const char* address = "127.0.0.1") {
        RawClient client(address, server_->port());
        auto steps = workedExample();
        sendSteps(client, steps, steps.size());
        client.halfClose();
        EXPECT_EQ(client.readAll(), "");
        EXPECT_EQ(client.lastEnd(), End::Closed);
    }
    std::vector<std::string> logLines() {
        std::lock_guard<std::mutex> lock(logMutex_);
        return log_;
    }

    // The server goes first: its threads log into log_ and write into spool_.
    qrxtest::ScratchFolder spool_{L"refserver"};
    std::mutex logMutex_;
    std::vector<std::string> log_;
    std::unique_ptr<ReferenceServer> server_;
};

TEST_F(ReferenceServerTest, WorkedExampleJobIsAnsweredStoredAndRecordedByteForByte) {
    auto& server = start();
    runWorkedJob();
    ASSERT_TRUE(server.waitForJobs(1, 5s));
    ASSERT_TRUE(server.waitForConnections(1, 5s));

    auto job = server.jobs().at(0);
    EXPECT_EQ(job.queue, "PRT1");
    EXPECT_EQ(job.controlFileName, "cfA000PC1");
    EXPECT_EQ(job.controlFileText, kControlText);
    EXPECT_EQ(job.dataFileName, "dfA000PC1");
    EXPECT_EQ(job.dataBytes, 5000u);
    EXPECT_EQ(job.chunks, 2u);
    EXPECT_EQ(job.checksum, checksumOf(kFirst + kSecond));
    EXPECT_EQ(qrxtest::readFile(job.folder + L"\\cfA000PC1"), kControlText);
    EXPECT_EQ(qrxtest::readFile(job.folder + L"\\dfA000PC1"), kFirst + kSecond);
    EXPECT_EQ(job.folder.substr(0, spool_.path().size()), spool_.path());

    auto record = server.connections().at(0);
    EXPECT_EQ(record.kind, refserver::ConversationKind::Job);
    EXPECT_TRUE(record.jobStored);
    EXPECT_EQ(record.received, wireOf(workedExample()));
    EXPECT_EQ(record.receivedBytes, wireOf(workedExample()).size());
    EXPECT_EQ(record.sent, std::string(5, '\0'));

    auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    for (const std::string& part :
         std::vector<std::string>{"PRT1", "cfA000PC1", "5000", refserver::Fnv1a64::hex(job.checksum)})
        EXPECT_NE(lines[0].find(part), std::string::npos) << part << " missing in: " << lines[0];
}

TEST_F(ReferenceServerTest, JobsWithTheSameFileNamesAreKeptApart) {
    auto& server = start();
    runWorkedJob();
    runWorkedJob();
    ASSERT_TRUE(server.waitForJobs(2, 5s));
    auto jobs = server.jobs();
    EXPECT_NE(jobs[0].folder, jobs[1].folder);
    EXPECT_NE(jobs[0].number, jobs[1].number);
    for (const auto& job : jobs) EXPECT_EQ(qrxtest::readFile(job.folder + L"\\dfA000PC1"), kFirst + kSecond);
}

TEST_F(ReferenceServerTest, AConversationSentInOnePieceOrInSmallPiecesIsTheSame) {
    auto& server = start();
    const std::string wire = wireOf(workedExample());
    {
        RawClient client("127.0.0.1", server.port());
        client.send(wire);
        client.halfClose();
        EXPECT_EQ(client.readAll(), std::string(5, '\0'));
        EXPECT_EQ(client.lastEnd(), End::Closed);
    }
    {
        RawClient client("127.0.0.1", server.port());
        for (size_t at = 0; at < wire.size(); at += 7) client.send(wire.substr(at, 7));
        client.halfClose();
        EXPECT_EQ(client.readAll(), std::string(5, '\0'));
    }
    ASSERT_TRUE(server.waitForJobs(2, 5s));
    for (const auto& job : server.jobs()) {
        EXPECT_EQ(job.controlFileText, kControlText);
        EXPECT_EQ(job.checksum, checksumOf(kFirst + kSecond));
    }
}

TEST_F(ReferenceServerTest, BigJobIsStreamedToTheSpoolAndOnlyTheStartOfTheWireIsKept) {
    auto opts = options();
    opts.keepWireBytes = 4096;
    auto& server = start(opts);
    std::string data;
    RawClient client("127.0.0.1", server.port());
    auto steps = workedExample();
    sendSteps(client, steps, 4);
    uint64_t wireBytes = 0;
    for (size_t i = 0; i < 4; ++i) wireBytes += steps[i].bytes.size();
    for (int i = 0; i < 40; ++i) {
        std::string piece = pattern(65536 + i, i);
        data += piece;
        client.send(chunk(piece));
        wireBytes += 4 + piece.size();
    }
    client.send(bytes({0, 0, 0, 0}));
    wireBytes += 4;
    EXPECT_EQ(client.readByte(), 0);
    client.halfClose();
    EXPECT_EQ(client.readAll(), "");

    ASSERT_TRUE(server.waitForConnections(1, 5s));
    auto job = server.jobs().at(0);
    EXPECT_EQ(job.dataBytes, data.size());
    EXPECT_EQ(job.chunks, 40u);
    EXPECT_EQ(job.checksum, checksumOf(data));
    EXPECT_EQ(qrxtest::readFile(job.folder + L"\\dfA000PC1") == data, true);
    auto record = server.connections().at(0);
    EXPECT_EQ(record.received.size(), 4096u);
    EXPECT_EQ(record.receivedBytes, wireBytes);
}

TEST_F(ReferenceServerTest, QueueStateQueryAnswersThePrinterLinesInCodePage1252AndCloses) {
    auto opts = options();
    opts.printers = {{L"PRT1", L"Raum 1", L"Laser"}, {L"B\u00FCro", L"2. Stock", L"Farbe \u20AC"}};
    auto& server = start(opts);
    const std::string expected = "PRT1\nRaum 1\nLaser\nB\xFCro\n2. Stock\nFarbe \x80\n";
    {
        RawClient client("127.0.0.1", server.port());
        client.send(bytes({0x04, 0x0A}));
        EXPECT_EQ(client.readAll(), expected);
        EXPECT_EQ(client.lastEnd(), End::Closed);
    }
    // The answer follows the printers as they are now.
    server.setPrinters({{L"A", L"B", L"C"}});
    {
        RawClient client("127.0.0.1", server.port());
        client.send(bytes({0x04, 0x0A}));
        EXPECT_EQ(client.readAll(), "A\nB\nC\n");
    }
    // A named queue gets its own lines only.
    server.setPrinters(opts.printers);
    {
        RawClient client("127.0.0.1", server.port());
        client.send(bytes({0x04}) + "B\xFC" "ro\n");
        EXPECT_EQ(client.readAll(), "B\xFCro\n2. Stock\nFarbe \x80\n");
    }
    ASSERT_TRUE(server.waitForConnections(3, 5s));
    EXPECT_EQ(server.connections()[0].kind, refserver::ConversationKind::Query);
    EXPECT_TRUE(server.jobs().empty());
}

TEST_F(ReferenceServerTest, StrictQueuesRefuseUnknownQueuesOthersAcceptAny) {
    auto strict = options();
    strict.strictQueues = true;
    auto& server = start(strict);
    {
        auto client = connect();
        client->send(bytes({0xC2}) + "PRT9\n");
        EXPECT_EQ(client->readAll(), "\x01VAV001E Unknown printer PRT9");
        EXPECT_EQ(client->lastEnd(), End::Closed);
    }
    {
        auto client = connect();
        client->send(bytes({0xC2}) + "PRT2\n");
        EXPECT_EQ(client->readByte(), 0);
    }
    server.stop();
    start(options());
    auto client = connect();
    client->send(bytes({0xC2}) + "ANY-QUEUE\n");
    EXPECT_EQ(client->readByte(), 0);
}

// Fault plans at every step of the job conversation.
struct StepCase {
    const char* step;
    size_t index;  // of the step in the worked example
};

class FaultAtStep : public ReferenceServerTest, public ::testing::WithParamInterface<StepCase> {
protected:
    FaultStep step(unsigned& chunk) { return refserver::parseFaultStep(GetParam().step, chunk); }
    // Sends the steps before the fault with their answers, then the step itself.
    void sendUpToFault(RawClient& client) {
        auto steps = workedExample();
        sendSteps(client, steps, GetParam().index);
        client.send(steps[GetParam().index].bytes);
    }
    void expectNoJob(RawClient& client) {
        client.close();
        ASSERT_TRUE(server_->waitForConnections(1, 5s));
        EXPECT_TRUE(server_->jobs().empty());
        EXPECT_TRUE(server_->connections()[0].faultApplied);
        EXPECT_FALSE(qrxtest::fileExists(spool_.file(L"job-0001")));
    }
};

TEST_P(FaultAtStep, RefusalSendsANonZeroByteAndTheMessageThenCloses) {
    unsigned chunk = 1;
    FaultStep where = step(chunk);
    start().setFaultPlan(FaultPlan::refuse(where, kRefusal, chunk));
    auto client = connect();
    sendUpToFault(*client);
    EXPECT_EQ(client->readAll(), "\x01" + kRefusal);
    EXPECT_EQ(client->lastEnd(), End::Closed);
    expectNoJob(*client);
}

TEST_P(FaultAtStep, CloseEndsTheConnectionWithoutAnswer) {
    unsigned chunk = 1;
    FaultStep where = step(chunk);
    start().setFaultPlan(FaultPlan::close(where, chunk));
    auto client = connect();
    sendUpToFault(*client);
    EXPECT_EQ(client->readAll(), "");
    EXPECT_EQ(client->lastEnd(), End::Closed);
    expectNoJob(*client);
}

TEST_P(FaultAtStep, SilenceAnswersNothingYetKeepsReadingUntilStopped) {
    unsigned chunk = 1;
    FaultStep where = step(chunk);
    start().setFaultPlan(FaultPlan::silent(where, chunk));
    auto client = connect(300);
    sendUpToFault(*client);
    EXPECT_EQ(client->readAll(), "");
    EXPECT_EQ(client->lastEnd(), End::TimedOut);
    client->send(pattern(1000, 3));  // still taken, not reset
    auto begin = Clock::now();
    server_->stop();
    EXPECT_LT(Clock::now() - begin, 2s);
    EXPECT_TRUE(server_->jobs().empty());
}

INSTANTIATE_TEST_SUITE_P(JobSteps, FaultAtStep,
                         ::testing::Values(StepCase{"job", 0}, StepCase{"control", 1}, StepCase{"control-text", 2},
                                           StepCase{"data", 3}, StepCase{"chunk:1", 4}, StepCase{"chunk:2", 5},
                                           StepCase{"end", 6}),
                         [](const auto& info) {
                             std::string name = info.param.step;
                             for (auto& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST_F(ReferenceServerTest, AnswerDuringTheDataPhaseCanLetTheJobGoOn) {
    auto& server = start();
    for (const std::string& reply : std::vector<std::string>{bytes({0}), "\x01VAV044I Job held"}) {
        FaultPlan plan = FaultPlan::refuse(FaultStep::AfterChunk, reply.substr(1), 1);
        plan.replyByte = static_cast<unsigned char>(reply[0]);
        plan.continueAfterReply = true;
        server.setFaultPlan(plan);
        auto client = connect();
        auto steps = workedExample();
        sendSteps(*client, steps, 5);
        std::string answer;
        for (size_t i = 0; i < reply.size(); ++i) answer += static_cast<char>(client->readByte());
        EXPECT_EQ(answer, reply);
        sendSteps(*client, {steps[5], steps[6]}, 2);
        client->halfClose();
        EXPECT_EQ(client->readAll(), "");
        EXPECT_EQ(client->lastEnd(), End::Closed);
    }
    ASSERT_TRUE(server.waitForJobs(2, 5s));
    EXPECT_EQ(server.jobs()[1].chunks, 2u);
}

TEST_F(ReferenceServerTest, AOneTimePlanServesTheNextJobOnlyAndQueriesDoNotUseItUp) {
    auto& server = start();
    server.setFaultPlan(FaultPlan::refuse(FaultStep::JobCommand, kRefusal));
    {
        auto client = connect();
        client->send(bytes({0x04, 0x0A}));
        EXPECT_EQ(client->readAll(), "PRT1\nRoom 1\nLaser\nPRT2\nRoom 2\nColour\n");
    }
    {
        auto client = connect();
        client->send(bytes({0xC2}) + "PRT1\n");
        EXPECT_EQ(client->readAll(), "\x01" + kRefusal);
    }
    runWorkedJob();
    EXPECT_EQ(server.jobs().size(), 1u);

    FaultPlan every = FaultPlan::close(FaultStep::QueueQuery);
    every.everyConversation = true;
    server.setFaultPlan(every);
    for (int round = 0; round < 2; ++round) {
        auto client = connect();
        client->send(bytes({0x04, 0x0A}));
        EXPECT_EQ(client->readAll(), "");
        EXPECT_EQ(client->lastEnd(), End::Closed);
    }
    runWorkedJob();  // a query plan leaves jobs alone
    server.clearFaultPlan();
    auto client = connect();
    client->send(bytes({0x04, 0x0A}));
    EXPECT_NE(client->readAll(), "");
}

TEST_F(ReferenceServerTest, ClientsThatBreakTheConversationAreRefusedAndLeaveNothingBehind) {
    auto& server = start();
    struct BadStart {
        std::string bytes;
        const char* why;
    } badStarts[] = {
        {bytes({0x02}) + "PRT1\n", "an RFC 1179 receive-job command"},
        {bytes({0xC2}) + "PRT1\n" + bytes({0x02}) + "35 cfA000PC1\n", "a foreign subcommand"},
        {bytes({0xC2}) + "PRT1\n" + bytes({0x04}) + "35 ..\\..\\evil\n", "a path as control file name"},
        {bytes({0xC2}) + "PRT1\n" + bytes({0x04}) + "x5 cfA000PC1\n", "a bad byte count"},
        {bytes({0xC2}) + "PRT1\n" + bytes({0x04}) + "3 cfA000PC1\n" + "abc" + bytes({0x07}), "no 0x00 after the text"},
        {bytes({0xC2}) + std::string(300, 'Q') + "\n", "an overlong queue name"},
    };
    for (const auto& bad : badStarts) {
        auto client = connect();
        client->send(bad.bytes);
        std::string answer = client->readAll();
        EXPECT_EQ(client->lastEnd(), End::Closed) << bad.why;
        size_t start = answer.find("\x01VAV003E ");
        EXPECT_NE(start, std::string::npos) << bad.why << ": " << answer;
        EXPECT_EQ(answer.substr(0, start), std::string(start, '\0')) << bad.why;
    }
    {
        // Gone in the middle of a chunk.
        auto client = connect();
        auto steps = workedExample();
        sendSteps(*client, steps, 4);
        client->send(steps[4].bytes.substr(0, 1000));
    }
    ASSERT_TRUE(server.waitForConnections(7, 5s));
    EXPECT_TRUE(server.jobs().empty());
    EXPECT_FALSE(qrxtest::fileExists(spool_.file(L"job-0001")));
    EXPECT_FALSE(qrxtest::fileExists(spool_.path() + L"\\..\\evil"));
    runWorkedJob();
    EXPECT_EQ(server.jobs().size(), 1u);
}

TEST_F(ReferenceServerTest, AClientSilentPastTheIdleLimitIsDisconnected) {
    auto opts = options();
    opts.idleLimit = 300ms;
    start(opts);
    auto client = connect(3000);
    client->send(bytes({0xC2}) + "PRT1\n");
    EXPECT_EQ(client->readByte(), 0);
    auto begin = Clock::now();
    EXPECT_EQ(client->readAll(), "");
    EXPECT_EQ(client->lastEnd(), End::Closed);
    EXPECT_LT(Clock::now() - begin, 2s);
}

TEST_F(ReferenceServerTest, StopReturnsPromptlyWhileClientsAreConnected) {
    auto& server = start();
    auto idle = connect();
    auto busy = connect();
    busy->send(bytes({0xC2}) + "PRT1\n");
    EXPECT_EQ(busy->readByte(), 0);
    busy->send(bytes({0x04}) + "35 cfA000PC1\n");
    EXPECT_EQ(busy->readByte(), 0);
    auto begin = Clock::now();
    server.stop();
    EXPECT_LT(Clock::now() - begin, 2s);
    for (auto* client : {idle.get(), busy.get()}) {
        client->readAll();
        EXPECT_NE(client->lastEnd(), End::TimedOut);
    }
    server.stop();  // again: nothing left to do
}

TEST_F(ReferenceServerTest, ServesOverIPv6Loopback) {
    auto opts = options();
    opts.address = "::1";
    auto& server = start(opts);
    EXPECT_EQ(server.endpoint(), "[::1]:" + std::to_string(server.port()));
    runWorkedJob("::1");
    ASSERT_TRUE(server.waitForJobs(1, 5s));
    EXPECT_EQ(server.jobs()[0].peer.substr(0, 5), "[::1]");
    EXPECT_EQ(server.jobs()[0].checksum, checksumOf(kFirst + kSecond));
}

TEST_F(ReferenceServerTest, ListensOnlyWhereItCan) {
    auto& server = start();
    EXPECT_NE(server.port(), 0);
    EXPECT_EQ(server.endpoint(), "127.0.0.1:" + std::to_string(server.port()));
    auto taken = options();
    taken.port = server.port();
    EXPECT_THROW(ReferenceServer{taken}, refserver::SetupError);
    auto named = options();
    named.address = "localhost";  // literals only
    EXPECT_THROW(ReferenceServer{named}, refserver::SetupError);
}

}  // namespace
