// A reference print server for the monitor's tests, its demo and
// administrators: it listens on a loopback (or any literal) address, serves
// the job conversation and the queue-state query, stores every job in a
// spool folder, and misbehaves on request at a chosen step.
//
// Connections are served each on a thread of their own (up to
// maxConnections at a time). Every wait polls in short slices, so stop()
// returns promptly even while clients are connected and idle.
#pragma once

#include "FaultPlan.h"
#include "Printers.h"
#include "ReceivedJob.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace refserver {

struct ServerOptions {
    std::string address = "127.0.0.1";  // an IPv4 or IPv6 literal
    unsigned short port = 0;            // 0: a free port, see port()
    std::wstring spoolFolder;           // created when missing; empty: jobs are not written
    std::vector<Printer> printers;      // the queue-state answer
    bool strictQueues = false;          // refuse queues not in printers with VAV001E
    size_t maxConnections = 8;          // served at the same time; more wait in the backlog
    size_t keepWireBytes = 64 * 1024;   // per direction and connection, for connections()
    // Whether jobs() and connections() keep a record of every job and
    // connection; a long run that only counts them turns this off.
    bool keepRecords = true;
    // Called for every accepted job, from the connection's thread, before
    // the job is counted; what it uses must outlive the server.
    std::function<void(const ReceivedJob&)> onJob;
    // Longest wait for bytes the client owes (zero: none). Silence that a
    // fault plan asks for is not limited.
    std::chrono::milliseconds idleLimit{std::chrono::minutes(5)};
    // One line per job, per query and per other connection, and per fault
    // acted out; called from the connections' threads, one call at a time,
    // until stop() returns, so what it uses must outlive the server.
    std::function<void(const std::string&)> log;
};

class ReferenceServer {
public:
    // Listens and starts accepting. Throws SetupError.
    explicit ReferenceServer(ServerOptions options);
    // Stops.
    ~ReferenceServer();
    ReferenceServer(const ReferenceServer&) = delete;
    ReferenceServer& operator=(const ReferenceServer&) = delete;

    unsigned short port() const;
    // Address and port as "127.0.0.1:5515" or "[::1]:5515".
    std::string endpoint() const;

    // The plan replaces any earlier one; a one-time plan is used up by the
    // next conversation of its kind.
    void setFaultPlan(const FaultPlan& plan);
    void clearFaultPlan();
    void setPrinters(std::vector<Printer> printers);

    // The accepted jobs, in the order they were accepted.
    std::vector<ReceivedJob> jobs() const;
    // True as soon as at least count jobs were accepted; false after the limit.
    bool waitForJobs(size_t count, std::chrono::milliseconds limit) const;
    // The connections that ended, in the order they ended.
    std::vector<ConnectionRecord> connections() const;
    bool waitForConnections(size_t count, std::chrono::milliseconds limit) const;
    // True once no connection is being served; false after the limit.
    bool waitUntilIdle(std::chrono::milliseconds limit) const;

    // Stops accepting, ends every connection and joins all threads. Idempotent.
    void stop();

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace refserver
