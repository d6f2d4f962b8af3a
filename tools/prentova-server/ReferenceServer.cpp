#include "ReferenceServer.h"
#include "ClientStream.h"
#include "Conversation.h"
#include "JobSpool.h"
#include "ServerErrors.h"
#include "WinHandle.h"

#include <ws2tcpip.h>

#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

namespace refserver {

WinsockSession::WinsockSession() {
    WSADATA data;
    int result = WSAStartup(MAKEWORD(2, 2), &data);
    if (result != 0) throw SetupError("WSAStartup failed: error " + std::to_string(result));
}

WinsockSession::~WinsockSession() { WSACleanup(); }

namespace {

std::string endpointText(const sockaddr* address, int length) {
    char host[NI_MAXHOST] = "";
    char service[NI_MAXSERV] = "";
    if (getnameinfo(address, static_cast<socklen_t>(length), host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return "?";
    return address->sa_family == AF_INET6 ? "[" + std::string(host) + "]:" + service
                                          : std::string(host) + ":" + service;
}

Socket listenOn(const std::string& address, unsigned short port, unsigned short& boundPort, std::string& endpoint) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    int result = getaddrinfo(address.c_str(), service.c_str(), &hints, &found);
    if (result != 0 || !found)
        throw SetupError("\"" + address + "\" is no IPv4 or IPv6 address: error " + std::to_string(result));
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, freeaddrinfo);

    Socket listener(socket(found->ai_family, found->ai_socktype, found->ai_protocol));
    if (!listener) throw SetupError("socket failed: error " + std::to_string(WSAGetLastError()));
    // Another program must not take over the port while the server has it.
    BOOL exclusive = TRUE;
    setsockopt(listener.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
    if (bind(listener.get(), found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0)
        throw SetupError("cannot listen on " + address + " port " + service + ": bind failed: error " +
                         std::to_string(WSAGetLastError()));
    if (listen(listener.get(), SOMAXCONN) != 0)
        throw SetupError("listen failed: error " + std::to_string(WSAGetLastError()));

    sockaddr_storage bound{};
    int length = sizeof bound;
    if (getsockname(listener.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        throw SetupError("getsockname failed: error " + std::to_string(WSAGetLastError()));
    boundPort = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                  : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    endpoint = endpointText(reinterpret_cast<sockaddr*>(&bound), length);
    return listener;
}

}  // namespace

class ReferenceServer::Impl : public ConversationHost {
public:
    explicit Impl(ServerOptions options)
        : options_(std::move(options)),
          spool_(options_.spoolFolder),
          listener_(listenOn(options_.address, options_.port, port_, endpoint_)) {
        acceptThread_ = std::thread([this] { acceptLoop(); });
    }

    ~Impl() override { stop(); }

    void stop() {
        stopping_ = true;
        std::lock_guard<std::mutex> lock(stopMutex_);
        if (acceptThread_.joinable()) acceptThread_.join();
        listener_.reset();
    }

    unsigned short port() const { return port_; }
    const std::string& endpoint() const { return endpoint_; }

    void setFaultPlan(const FaultPlan& plan) {
        std::lock_guard<std::mutex> lock(mutex_);
        plan_ = plan;
    }
    void clearFaultPlan() {
        std::lock_guard<std::mutex> lock(mutex_);
        plan_.reset();
    }
    void setPrinters(std::vector<Printer> printers) {
        std::lock_guard<std::mutex> lock(mutex_);
        options_.printers = std::move(printers);
    }

    std::vector<ReceivedJob> jobs() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return jobs_;
    }
    std::vector<ConnectionRecord> connections() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_;
    }
    template <class Condition>
    bool waitFor(std::chrono::milliseconds limit, Condition condition) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, condition);
    }
    size_t jobCount() const { return jobCount_; }
    size_t recordCount() const { return recordCount_; }
    size_t active() const { return active_; }

    // ConversationHost
    std::optional<FaultPlan> takeFaultPlan(bool query) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!plan_ || plan_->forQuery() != query) return std::nullopt;
        std::optional<FaultPlan> plan = plan_;
        if (!plan_->everyConversation) plan_.reset();
        return plan;
    }
    std::vector<Printer> printers() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return options_.printers;
    }
    bool strictQueues() const override { return options_.strictQueues; }
    JobSpool& spool() override { return spool_; }
    void jobReceived(const ReceivedJob& job) override {
        if (options_.onJob) options_.onJob(job);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++jobCount_;
            if (options_.keepRecords) jobs_.push_back(job);
        }
        changed_.notify_all();
    }
    void log(const std::string& line) override {
        if (!options_.log) return;
        std::lock_guard<std::mutex> lock(logMutex_);
        try {
            options_.log(line);
        } catch (...) {
            // A failing log sink must not end a conversation.
        }
    }

private:
    struct Session {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptLoop() {
        std::list<Session> sessions;
        unsigned accepted = 0;
        while (!stopping_) {
            sessions.remove_if([](Session& session) {
                if (!session.done) return false;
                session.thread.join();
                return true;
            });
            if (sessions.size() >= options_.maxConnections) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(listener_.get(), &ready);
            timeval slice{0, 50000};
            if (select(0, &ready, nullptr, nullptr, &slice) != 1) continue;
            sockaddr_storage address{};
            int length = sizeof address;
            Socket client(accept(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length));
            if (!client) continue;
            std::string peer = endpointText(reinterpret_cast<sockaddr*>(&address), length);
            unsigned number = ++accepted;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++active_;
            }
            sessions.emplace_back();
            Session& session = sessions.back();
            try {
                session.thread = std::thread([this, &session, number, peer, socket = std::move(client)]() mutable {
                    serve(std::move(socket), number, peer);
                    session.done = true;
                });
            } catch (const std::exception&) {
                // No thread for it: the client is turned away by the socket's close.
                sessions.pop_back();
                finished();
            }
        }
        for (auto& session : sessions) session.thread.join();
    }

    void serve(Socket socket, unsigned number, const std::string& peer) {
        ConnectionRecord record;
        try {
            ClientStream stream(std::move(socket), stopping_, options_.idleLimit, options_.keepWireBytes);
            Conversation conversation(stream, *this, peer);
            record = conversation.run();
            record.received = stream.received().head();
            record.receivedBytes = stream.received().total();
            record.sent = stream.sent().head();
            record.sentBytes = stream.sent().total();
        } catch (const std::exception& e) {
            record.peer = peer;
            record.outcome = e.what();
        }
        record.number = number;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++recordCount_;
            if (options_.keepRecords) records_.push_back(std::move(record));
        }
        finished();
    }

    void finished() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --active_;
        }
        changed_.notify_all();
    }

    WinsockSession winsock_;
    ServerOptions options_;
    JobSpool spool_;
    unsigned short port_ = 0;
    std::string endpoint_;
    Socket listener_;
    std::atomic<bool> stopping_{false};
    std::mutex stopMutex_;
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::optional<FaultPlan> plan_;
    std::vector<ReceivedJob> jobs_;
    std::vector<ConnectionRecord> records_;
    size_t jobCount_ = 0;
    size_t recordCount_ = 0;
    size_t active_ = 0;
    std::mutex logMutex_;
};

ReferenceServer::ReferenceServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}
ReferenceServer::~ReferenceServer() = default;

unsigned short ReferenceServer::port() const { return impl_->port(); }
std::string ReferenceServer::endpoint() const { return impl_->endpoint(); }
void ReferenceServer::setFaultPlan(const FaultPlan& plan) { impl_->setFaultPlan(plan); }
void ReferenceServer::clearFaultPlan() { impl_->clearFaultPlan(); }
void ReferenceServer::setPrinters(std::vector<Printer> printers) { impl_->setPrinters(std::move(printers)); }
std::vector<ReceivedJob> ReferenceServer::jobs() const { return impl_->jobs(); }
std::vector<ConnectionRecord> ReferenceServer::connections() const { return impl_->connections(); }

bool ReferenceServer::waitForJobs(size_t count, std::chrono::milliseconds limit) const {
    return impl_->waitFor(limit, [&] { return impl_->jobCount() >= count; });
}

bool ReferenceServer::waitForConnections(size_t count, std::chrono::milliseconds limit) const {
    return impl_->waitFor(limit, [&] { return impl_->recordCount() >= count; });
}

bool ReferenceServer::waitUntilIdle(std::chrono::milliseconds limit) const {
    return impl_->waitFor(limit, [&] { return impl_->active() == 0; });
}

void ReferenceServer::stop() { impl_->stop(); }

}  // namespace refserver
