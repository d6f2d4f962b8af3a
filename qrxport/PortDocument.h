// The monitor's ports as one JSON document: what export writes and import
// reads, and what list --json and show --json print.
//
//   {"version": 1, "ports": [{"name": "QRX1:",
//     "settings": {"host": "printhost", "port": 515, "queue": "PRT1", "unattended": false},
//     "options": {"name": "", "department": "", "room": "", "building": "",
//                 "address": ["1 Main St"], "attributes": "", "prompt": false}}]}
//
// Keys are written in this order with two-blank indents, so that two
// documents of the same ports are the same text and diff line by line. The
// text is plain ASCII: other characters are written as \u escapes.
#pragma once

#include "PortRecords.h"

#include <string>
#include <vector>

// Everything qrxport can read and write of one port.
struct PortRecord {
    explicit PortRecord(const std::wstring& name) : settings(name), options(name) {}
    PortSettings settings;
    PortOptions options;
};

constexpr unsigned kPortDocumentVersion = 1;

// The document of these ports, in the order given, ended by a line feed.
std::wstring portDocumentText(const std::vector<PortRecord>& ports);
// One port's object, as it stands in the document.
std::wstring portObjectText(const PortRecord& port);

// Reads a document (UTF-8, a byte order mark allowed) and checks all of it
// before anything is used: the version, every key and its type, and each
// port as the dialogs would check it (a name, a host, a port number from 1
// to 65535, a printer), no name twice in any letter case. Keys a port leaves
// out take the values a new port has. Raises a RuntimeWarning that names
// every problem and where it is, one a line.
std::vector<PortRecord> readPortDocument(const std::string& bytes);
