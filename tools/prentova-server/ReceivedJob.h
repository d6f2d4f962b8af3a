// What the server keeps of each job and of each connection, for tests,
// scripts and its log.
#pragma once

#include <cstdint>
#include <string>

namespace refserver {

// One job that the server accepted: its end of data was answered with 0x00.
// Texts are the bytes as received (code page 1252).
struct ReceivedJob {
    unsigned number = 0;  // the spool subfolder job-NNNN
    std::string queue;
    std::string controlFileName;
    std::string controlFileText;
    std::string dataFileName;
    uint64_t dataBytes = 0;
    unsigned chunks = 0;   // data chunks, the zero-length one not counted
    uint64_t checksum = 0; // FNV-1a 64 of the data (see Fnv1a64.h)
    std::wstring folder;   // the job's spool folder; empty without a spool
    std::string peer;      // the client's address and port
};

enum class ConversationKind { Unknown, Job, Query };

// One connection after it ended.
struct ConnectionRecord {
    unsigned number = 0;   // in the order of acceptance, from 1
    std::string peer;
    ConversationKind kind = ConversationKind::Unknown;
    std::string received;  // the first bytes the client sent (see ServerOptions::keepWireBytes)
    uint64_t receivedBytes = 0;
    std::string sent;      // the first bytes the server sent
    uint64_t sentBytes = 0;
    bool faultApplied = false;
    bool jobStored = false;
    std::string outcome;   // one line for people, as logged
};

}  // namespace refserver
