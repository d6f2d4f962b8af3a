// The printers (queues) that the server offers and the answer it gives to a
// queue-state query: three lines per printer (name, location, description),
// each ended by a line feed, in code page 1252.
#pragma once

#include <string>
#include <vector>

namespace refserver {

struct Printer {
    std::wstring name;
    std::wstring location;
    std::wstring description;
};

// The answer bytes for the given printers. Line feeds and carriage returns
// inside a field would break the three-line layout and become blanks.
std::string printerListAnswer(const std::vector<Printer>& printers);

// Printers from the text of a printer file: one printer a line,
// "name|location|description"; missing fields are empty, surrounding blanks
// are kept; empty lines and lines starting with '#' are skipped. Lines may end
// in CR LF or LF.
std::vector<Printer> parsePrinterLines(const std::wstring& text);

// Reads and parses a printer file (UTF-8, with or without byte-order mark,
// or code page 1252). Throws UsageError when it cannot be read.
std::vector<Printer> loadPrinterFile(const std::wstring& path);

}  // namespace refserver
