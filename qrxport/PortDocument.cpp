#include "PortDocument.h"

#include "PortChecks.h"
#include "QRXOptionsDialog.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "RuntimeError.h"
#include "SpoolerPorts.h"
#include "TcpPortNumber.h"
#include "TextFiles.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>

namespace {

using Json = nlohmann::ordered_json;

// The longest decimal text written as a number; a longer one, like any
// other text a port number was stored as, is written as it is, as text,
// for import to refuse by name.
constexpr size_t kLongestNumber = 9;

// One key of a port's "settings" or "options": how its value is written
// from the record and read into it. A read answers what is wrong, or
// nothing.
template <class Record>
struct Field {
    const char* key;
    std::function<Json(const Record&)> write;
    std::function<std::wstring(const Json&, Record&)> read;
};

template <class Record>
Field<Record> textField(const char* key, std::wstring Record::*member) {
    return {key, [member](const Record& r) { return Json(toUtf8(r.*member)); },
            [member](const Json& value, Record& r) -> std::wstring {
                if (!value.is_string()) return L"a text is expected";
                r.*member = fromUtf8(value.get<std::string>());
                return {};
            }};
}

template <class Record>
Field<Record> flagField(const char* key, DWORD Record::*member) {
    return {key, [member](const Record& r) { return Json(r.*member != 0); },
            [member](const Json& value, Record& r) -> std::wstring {
                if (!value.is_boolean()) return L"true or false is expected";
                r.*member = value.get<bool>() ? 1 : 0;
                return {};
            }};
}

Json portNumberValue(const PortSettings& settings) {
    const std::wstring& text = settings.portNumber;
    if (isDecimalNumber(text) && text.size() <= kLongestNumber) return Json(std::stoul(text));
    return Json(toUtf8(text));
}

std::wstring readPortNumber(const Json& value, PortSettings& settings) {
    if (!value.is_number_unsigned()) return L"a number from 1 to 65535 is expected";
    settings.portNumber = std::to_wstring(value.get<unsigned long long>());
    return {};
}

// The address as its lines up to the last one that is not empty.
Json addressValue(const PortOptions& options) {
    AddressLines lines = splitAddress(options.address);
    size_t used = lines.size();
    while (used && lines[used - 1].empty()) --used;
    Json address = Json::array();
    for (size_t i = 0; i < used; ++i) address.push_back(toUtf8(lines[i]));
    return address;
}

// Stored as the options dialog stores it: four lines, three line feeds;
// no lines, no address.
std::wstring readAddress(const Json& value, PortOptions& options) {
    AddressLines lines;
    if (!value.is_array() || value.size() > lines.size()) return L"a list of up to four texts is expected";
    for (size_t i = 0; i < value.size(); ++i) {
        if (!value[i].is_string()) return L"a list of up to four texts is expected";
        lines[i] = fromUtf8(value[i].get<std::string>());
    }
    options.address = value.empty() ? std::wstring() : joinAddress(lines);
    return {};
}

Json retryMinutesValue(const PortSettings& settings) { return settings.retryMinutes; }

std::wstring readRetryMinutes(const Json& value, PortSettings& settings) {
    if (!value.is_number_unsigned() || value.get<unsigned long long>() > PortSettings::kLongestRetryMinutes)
        return L"a number of minutes from 0 to " + std::to_wstring(PortSettings::kLongestRetryMinutes) +
               L" is expected";
    settings.retryMinutes = static_cast<DWORD>(value.get<unsigned long long>());
    return {};
}

const std::vector<Field<PortSettings>> kSettingsFields = {
    textField("host", &PortSettings::hostName),
    {"port", portNumberValue, readPortNumber},
    textField("queue", &PortSettings::printerName),
    flagField("unattended", &PortSettings::unattended),
    {"retryMinutes", retryMinutesValue, readRetryMinutes},
};

const std::vector<Field<PortOptions>> kOptionsFields = {
    textField("name", &PortOptions::name),         textField("department", &PortOptions::department),
    textField("room", &PortOptions::room),         textField("building", &PortOptions::building),
    {"address", addressValue, readAddress},        textField("attributes", &PortOptions::jobAttributes),
    flagField("prompt", &PortOptions::promptFlag),
};

template <class Record>
Json objectOf(const Record& record, const std::vector<Field<Record>>& fields) {
    Json object = Json::object();
    for (const Field<Record>& field : fields) object[field.key] = field.write(record);
    return object;
}

Json portObject(const PortRecord& port) {
    Json object = Json::object();
    object["name"] = toUtf8(port.settings.portName);
    object["settings"] = objectOf(port.settings, kSettingsFields);
    object["options"] = objectOf(port.options, kOptionsFields);
    return object;
}

// Plain ASCII, every other character as a \u escape (a surrogate pair beyond
// the BMP): Windows PowerShell 5.1 decodes a program's output with the
// console's code page and a file without a byte order mark as ANSI, and
// ASCII reads the same in every code page.
std::wstring documentText(const Json& document) { return fromUtf8(document.dump(2, ' ', true)) + L"\n"; }

// The parser's own words, byte by byte: they may quote bytes that are not UTF-8.
std::wstring parserText(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Reads a document and collects every problem with where it is.
class DocumentReader {
public:
    std::vector<PortRecord> read(const std::string& bytes) {
        // What Windows PowerShell 5.1's Out-File and Set-Content write unless told otherwise.
        if (bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0)
            refuse(L"the document is UTF-16; qrxport reads UTF-8 (PowerShell: Out-File -Encoding utf8)");
        Json document;
        try {
            document = Json::parse(bytes);
        } catch (const Json::parse_error& error) {
            // "[json.exception.parse_error.101] parse error at line 3, column 1: ..."
            std::string what = error.what();
            size_t text = what.find("] ");
            refuse(L"not a JSON document: " + parserText(text == std::string::npos ? what : what.substr(text + 2)));
        }
        if (!document.is_object()) refuse(L"the document is not a JSON object");
        readVersion(document);
        std::vector<PortRecord> ports;
        for (const auto& [key, value] : document.items()) {
            if (key == "ports") {
                readPorts(value, ports);
            } else if (key != "version") {
                problem(fromUtf8(key), L"unknown key");
            }
        }
        if (!document.contains("ports")) problem(L"ports", L"missing");
        if (!problems_.empty()) refuse({});
        return ports;
    }

private:
    // A document of another version is not read any further: its keys may
    // mean something else.
    void readVersion(const Json& document) {
        auto version = document.find("version");
        if (version == document.end()) refuse(L"version: missing");
        if (!version->is_number_unsigned() || version->get<unsigned long long>() != kPortDocumentVersion)
            refuse(L"version: " + fromUtf8(version->dump()) + L" is not a version this qrxport reads (" +
                   std::to_wstring(kPortDocumentVersion) + L")");
    }

    void readPorts(const Json& list, std::vector<PortRecord>& ports) {
        if (!list.is_array()) return problem(L"ports", L"a list of ports is expected");
        for (size_t i = 0; i < list.size(); ++i) {
            std::wstring where = L"ports[" + std::to_wstring(i) + L"]";
            const Json& port = list[i];
            if (!port.is_object()) {
                problem(where, L"a port (an object) is expected");
                continue;
            }
            auto name = port.find("name");
            if (name == port.end() || !name->is_string()) {
                problem(where + L" name", L"a text is expected");
                continue;
            }
            PortRecord record(fromUtf8(name->get<std::string>()));
            where += L" \"" + record.settings.portName + L"\"";
            // Without settings, the dialogs' checks would only repeat that.
            if (readPort(port, where, record)) checkPort(record, where, ports);
            ports.push_back(record);
        }
    }

    // Whether the port has its settings.
    bool readPort(const Json& port, const std::wstring& where, PortRecord& record) {
        for (const auto& [key, value] : port.items()) {
            if (key == "settings") {
                readObject(value, kSettingsFields, record.settings, where + L" settings");
            } else if (key == "options") {
                readObject(value, kOptionsFields, record.options, where + L" options");
            } else if (key != "name") {
                problem(where + L" " + fromUtf8(key), L"unknown key");
            }
        }
        if (port.contains("settings")) return true;
        problem(where + L" settings", L"missing");
        return false;
    }

    template <class Record>
    void readObject(const Json& object, const std::vector<Field<Record>>& fields, Record& record,
                    const std::wstring& where) {
        if (!object.is_object()) return problem(where, L"an object is expected");
        for (const auto& [key, value] : object.items()) {
            auto field =
                std::find_if(fields.begin(), fields.end(), [&](const Field<Record>& f) { return key == f.key; });
            std::wstring wrong = field == fields.end() ? L"unknown key" : field->read(value, record);
            if (!wrong.empty()) problem(where + L"." + fromUtf8(key), wrong);
        }
    }

    // The dialogs' checks, and no name that an earlier port has in any letter case.
    void checkPort(const PortRecord& port, const std::wstring& where, const std::vector<PortRecord>& earlier) {
        const PortSettings& settings = port.settings;
        if (settings.portName.empty()) problem(where + L" name", loadResourceString(IDS_ENTER_PORT_NAME));
        const std::pair<const wchar_t*, std::function<void()>> checks[] = {
            {L" settings.host", [&] { checkHostName(settings.hostName); }},
            {L" settings.port", [&] { checkPortNumber(settings.portNumber); }},
            {L" settings.queue", [&] { checkPrinterName(settings.printerName); }},
        };
        for (const auto& [key, check] : checks) {
            try {
                check();
            } catch (const RuntimeWarning& refusal) {
                problem(where + key, refusal.message());
            }
        }
        for (size_t i = 0; i < earlier.size(); ++i) {
            const std::wstring& name = earlier[i].settings.portName;
            if (!name.empty() && samePortName(name.c_str(), settings.portName))
                problem(where + L" name", L"the same port as ports[" + std::to_wstring(i) + L"] \"" + name +
                                              L"\" (port names are the same in any letter case)");
        }
    }

    void problem(const std::wstring& where, const std::wstring& what) { problems_.push_back(where + L": " + what); }

    [[noreturn]] void refuse(const std::wstring& last) {
        if (!last.empty()) problems_.push_back(last);
        std::wstring text;
        for (const std::wstring& line : problems_) text += (text.empty() ? L"" : L"\n") + line;
        throw RuntimeWarning(text);
    }

    std::vector<std::wstring> problems_;
};

}  // namespace

std::wstring portDocumentText(const std::vector<PortRecord>& ports) {
    Json document = Json::object();
    document["version"] = kPortDocumentVersion;
    document["ports"] = Json::array();
    for (const PortRecord& port : ports) document["ports"].push_back(portObject(port));
    return documentText(document);
}

std::wstring portObjectText(const PortRecord& port) { return documentText(portObject(port)); }

std::vector<PortRecord> readPortDocument(const std::string& bytes) { return DocumentReader().read(bytes); }
