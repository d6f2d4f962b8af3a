// Why a conversation with one client ends early. Each class has one job; the
// conversation catches them at its outermost level and records the outcome.
#pragma once

#include <stdexcept>
#include <string>

namespace refserver {

// The listener could not be set up (bad address, port in use, ...).
class SetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A socket call failed; carries the Winsock error code.
class SocketError : public std::runtime_error {
public:
    SocketError(const std::string& operation, int code)
        : std::runtime_error(operation + " failed: error " + std::to_string(code)), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// The client closed its sending side while the conversation expected more.
class ClientClosed : public std::runtime_error {
public:
    ClientClosed() : std::runtime_error("client closed the connection") {}
};

// The client sent nothing for longer than the idle limit while bytes were due.
class ClientIdle : public std::runtime_error {
public:
    ClientIdle() : std::runtime_error("client idle for too long") {}
};

// The server is being stopped.
class ServerStopping : public std::runtime_error {
public:
    ServerStopping() : std::runtime_error("server stopping") {}
};

// The client sent bytes that do not follow the job or query conversation.
class ProtocolViolation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The server could not store a job in its spool folder.
class SpoolError : public std::runtime_error {
public:
    SpoolError(const std::string& what, unsigned long code)
        : std::runtime_error(what + " failed: error " + std::to_string(code)) {}
};

// A command-line argument that the program cannot use.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace refserver
