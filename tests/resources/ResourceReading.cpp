#include "ResourceReading.h"

#include <cstring>
#include <cwchar>
#include <regex>
#include <stdexcept>

namespace qrxtest {

LoadedLibrary::LoadedLibrary(const std::wstring& path, DWORD flags)
    : module_(LoadLibraryExW(path.c_str(), nullptr, flags)) {
    if (!module_)
        throw std::runtime_error("cannot load library, error " + std::to_string(GetLastError()));
}

LoadedLibrary::~LoadedLibrary() { FreeLibrary(module_); }

std::vector<std::uint8_t> resourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language) {
    HRSRC info = FindResourceExW(module, type, name, language);
    if (!info) return {};
    HGLOBAL loaded = LoadResource(module, info);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(loaded));
    if (!data) return {};
    return std::vector<std::uint8_t>(data, data + SizeofResource(module, info));
}

bool ResourceEntry::operator<(const ResourceEntry& o) const {
    if (type != o.type) return type < o.type;
    if (name != o.name) return name < o.name;
    return language < o.language;
}

std::wstring ordinalName(WORD ordinal) { return L"#" + std::to_wstring(ordinal); }

namespace {

std::wstring resourceIdText(LPCWSTR id) {
    return IS_INTRESOURCE(id) ? ordinalName(LOWORD(reinterpret_cast<ULONG_PTR>(id))) : std::wstring(id);
}

struct Enumeration {
    std::set<ResourceEntry>* entries;
    std::wstring type;
    std::wstring name;
};

BOOL CALLBACK onLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    auto* e = reinterpret_cast<Enumeration*>(param);
    e->entries->insert({e->type, e->name, language});
    return TRUE;
}

BOOL CALLBACK onName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
    auto* e = reinterpret_cast<Enumeration*>(param);
    e->name = resourceIdText(name);
    EnumResourceLanguagesW(module, type, name, onLanguage, param);
    return TRUE;
}

BOOL CALLBACK onType(HMODULE module, LPWSTR type, LONG_PTR param) {
    auto* e = reinterpret_cast<Enumeration*>(param);
    e->type = resourceIdText(type);
    EnumResourceNamesW(module, type, onName, param);
    return TRUE;
}

const IMAGE_DATA_DIRECTORY& directory(HMODULE image, int entry) {
    const auto* base = reinterpret_cast<const BYTE*>(image);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->OptionalHeader.DataDirectory[entry];
}

}  // namespace

std::set<ResourceEntry> listResources(HMODULE module) {
    std::set<ResourceEntry> entries;
    Enumeration e{&entries, {}, {}};
    EnumResourceTypesW(module, onType, reinterpret_cast<LONG_PTR>(&e));
    return entries;
}

std::vector<std::string> importedLibraries(HMODULE image) {
    const auto* base = reinterpret_cast<const BYTE*>(image);
    const IMAGE_DATA_DIRECTORY& imports = directory(image, IMAGE_DIRECTORY_ENTRY_IMPORT);
    std::vector<std::string> names;
    if (imports.Size == 0) return names;
    for (const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         d->Name != 0; ++d)
        names.emplace_back(reinterpret_cast<const char*>(base + d->Name));
    return names;
}

DWORD exportedFunctionCount(HMODULE image) {
    const IMAGE_DATA_DIRECTORY& exports = directory(image, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (exports.Size == 0) return 0;
    const auto* d = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        reinterpret_cast<const BYTE*>(image) + exports.VirtualAddress);
    return d->NumberOfFunctions;
}

ExecutionLevel requestedExecutionLevel(const std::string& manifest) {
    ExecutionLevel result;
    std::smatch element;
    if (!std::regex_search(manifest, element, std::regex(R"(<(?:\w+:)?requestedExecutionLevel\b([^>]*)>)")))
        return result;
    const std::string attributes = element[1];
    std::smatch value;
    if (std::regex_search(attributes, value, std::regex(R"(\blevel\s*=\s*["']([^"']*)["'])")))
        result.level = value[1];
    if (std::regex_search(attributes, value, std::regex(R"(\buiAccess\s*=\s*["']([^"']*)["'])")))
        result.uiAccess = value[1];
    return result;
}

std::vector<MessageEntry> parseMessageTable(const std::vector<std::uint8_t>& bytes) {
    auto at = [&bytes](std::size_t offset, std::size_t size) {
        if (offset + size > bytes.size()) throw std::runtime_error("message table is truncated");
        return bytes.data() + offset;
    };
    DWORD blocks;
    std::memcpy(&blocks, at(0, sizeof blocks), sizeof blocks);
    std::vector<MessageEntry> entries;
    for (DWORD b = 0; b < blocks; ++b) {
        MESSAGE_RESOURCE_BLOCK block;
        std::memcpy(&block, at(sizeof(DWORD) + b * sizeof block, sizeof block), sizeof block);
        std::size_t offset = block.OffsetToEntries;
        for (DWORD id = block.LowId; id <= block.HighId; ++id) {
            WORD header[2];  // length of the whole entry, flags
            std::memcpy(header, at(offset, sizeof header), sizeof header);
            if (header[0] < sizeof header) throw std::runtime_error("message entry too short");
            const std::size_t textBytes = header[0] - sizeof header;
            const std::uint8_t* text = at(offset + sizeof header, textBytes);
            MessageEntry e{id, (header[1] & MESSAGE_RESOURCE_UNICODE) != 0, {}};
            if (e.unicode) {
                e.text.resize(textBytes / sizeof(wchar_t));
                std::memcpy(&e.text[0], text, e.text.size() * sizeof(wchar_t));
            } else {
                e.text.assign(text, text + textBytes);
            }
            e.text.resize(std::wcslen(e.text.c_str()));
            entries.push_back(e);
            offset += header[0];
        }
    }
    return entries;
}

namespace {

// Sequential reader of a template's WORD-based fields.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    template <typename T>
    T read() {
        need(sizeof(T));
        T value;
        std::memcpy(&value, bytes_.data() + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }

    std::wstring zeroTerminated() {
        std::wstring s;
        for (wchar_t c; (c = static_cast<wchar_t>(read<WORD>())) != 0;) s.push_back(c);
        return s;
    }

    // A string that may be an ordinal (0xFFFF followed by the number).
    std::wstring stringOrOrdinal() {
        need(sizeof(WORD));
        WORD first;
        std::memcpy(&first, bytes_.data() + offset_, sizeof first);
        if (first != 0xFFFF) return zeroTerminated();
        offset_ += sizeof first;
        return ordinalName(read<WORD>());
    }

    void alignToDword() { offset_ = (offset_ + 3) & ~std::size_t{3}; }
    void skip(std::size_t n) { need(n); offset_ += n; }

private:
    void need(std::size_t n) const {
        if (offset_ + n > bytes_.size()) throw std::runtime_error("dialog template is truncated");
    }
    const std::vector<std::uint8_t>& bytes_;
    std::size_t offset_ = 0;
};

std::wstring windowClass(const std::wstring& raw) {
    static const struct { const wchar_t* ordinal; const wchar_t* name; } predefined[] = {
        {L"#128", L"Button"}, {L"#129", L"Edit"},      {L"#130", L"Static"},
        {L"#131", L"ListBox"}, {L"#132", L"ScrollBar"}, {L"#133", L"ComboBox"}};
    for (const auto& p : predefined)
        if (raw == p.ordinal) return p.name;
    return raw;
}

}  // namespace

DialogTemplate parseDialogTemplate(const std::vector<std::uint8_t>& bytes) {
    TemplateReader in(bytes);
    DialogTemplate dialog{};
    const WORD version = in.read<WORD>();
    const WORD signature = in.read<WORD>();
    dialog.extended = version == 1 && signature == 0xFFFF;
    WORD count;
    if (dialog.extended) {
        in.read<DWORD>();  // help id
        in.read<DWORD>();  // extended style
        dialog.style = in.read<DWORD>();
    } else {
        dialog.style = MAKELONG(version, signature);
        in.read<DWORD>();  // extended style
    }
    count = in.read<WORD>();
    in.read<short>();  // x
    in.read<short>();  // y
    dialog.cx = in.read<short>();
    dialog.cy = in.read<short>();
    in.stringOrOrdinal();  // menu
    in.stringOrOrdinal();  // window class
    dialog.caption = in.zeroTerminated();
    if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
        dialog.pointSize = in.read<WORD>();
        if (dialog.extended) {
            in.read<WORD>();  // weight
            in.read<BYTE>();  // italic
            in.read<BYTE>();  // character set
        }
        dialog.fontName = in.zeroTerminated();
    }
    for (WORD i = 0; i < count; ++i) {
        in.alignToDword();
        DialogControl c{};
        if (dialog.extended) {
            in.read<DWORD>();  // help id
            in.read<DWORD>();  // extended style
            c.style = in.read<DWORD>();
        } else {
            c.style = in.read<DWORD>();
            in.read<DWORD>();  // extended style
        }
        c.x = in.read<short>();
        c.y = in.read<short>();
        c.cx = in.read<short>();
        c.cy = in.read<short>();
        c.id = dialog.extended ? static_cast<int>(in.read<std::int32_t>()) : in.read<std::int16_t>();
        c.windowClass = windowClass(in.stringOrOrdinal());
        c.text = in.stringOrOrdinal();
        // Creation data: the extended count excludes the count word, the
        // classic one includes it.
        const WORD creationData = in.read<WORD>();
        if (creationData != 0) in.skip(dialog.extended ? creationData : creationData - sizeof(WORD));
        dialog.controls.push_back(c);
    }
    return dialog;
}

}  // namespace qrxtest
