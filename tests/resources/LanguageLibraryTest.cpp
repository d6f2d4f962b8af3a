// The English language library QRXPM1033U.dll: its dialogs, strings, icons,
// version information and manifest, read back from the built library and
// compared with the tables the monitor's modules are written against.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <cwctype>
#include <set>
#include <sstream>

#include "LibraryChecks.h"
#include "ResourceReading.h"
#include "TestPaths.h"

namespace {

using qrxtest::LoadedLibrary;

constexpr WORD kEnglishUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::wstring libraryPath() { return qrxtest::deliverablePath(L"QRXPM1033U.dll"); }

// ---------------------------------------------------------------- dialogs

// The kinds of control in the dialog tables, each with its window class and
// complete style: every control is a visible child; edits have a border, take
// the tab stop and scroll horizontally; buttons and check boxes take the tab
// stop; labels are left-aligned static text starting a group.
enum class Kind { Edit, ReadOnlyEdit, Button, DefaultButton, CheckBox, GroupBox, Label, Icon, PrinterList };

struct KindTraits {
    const wchar_t* windowClass;
    DWORD style;
};

KindTraits traitsOf(Kind kind) {
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const DWORD edit = child | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
    switch (kind) {
    case Kind::Edit: return {L"Edit", edit};
    case Kind::ReadOnlyEdit: return {L"Edit", edit | ES_READONLY};
    case Kind::Button: return {L"Button", child | WS_TABSTOP | BS_PUSHBUTTON};
    case Kind::DefaultButton: return {L"Button", child | WS_TABSTOP | BS_DEFPUSHBUTTON};
    case Kind::CheckBox: return {L"Button", child | WS_TABSTOP | BS_AUTOCHECKBOX};
    case Kind::GroupBox: return {L"Button", child | BS_GROUPBOX};
    case Kind::Label: return {L"Static", child | WS_GROUP | SS_LEFT};
    case Kind::Icon: return {L"Static", child | SS_ICON};
    case Kind::PrinterList:
        return {WC_LISTVIEWW, child | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS};
    }
    return {L"", 0};
}

struct ExpectedControl {
    int id;
    Kind kind;
    const wchar_t* text;  // "#102": the icon with that ordinal
    short x, y, cx, cy;
};

struct ExpectedDialog {
    int id;
    bool extended;
    const wchar_t* caption;
    short cx, cy;
    DWORD style;
    std::vector<ExpectedControl> controls;  // in tab order
};

const DWORD kModalFrame = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFOREGROUND | DS_SETFONT;

const ExpectedDialog kDialogs[] = {
    {101, true, L"Prentova Port Configuration", 311, 369, kModalFrame | WS_SYSMENU,
     {
         {1004, Kind::Edit, L"", 56, 71, 76, 14},
         {1005, Kind::Edit, L"", 178, 71, 40, 14},
         {1003, Kind::Button, L"&Get Printer List", 16, 96, 82, 14},
         {1006, Kind::PrinterList, L"List1", 20, 195, 260, 85},
         {1002, Kind::Button, L"Options", 20, 308, 50, 14},
         {1007, Kind::CheckBox, L"Unattended port", 88, 310, 67, 10},
         {1, Kind::DefaultButton, L"OK", 7, 342, 50, 14},
         {2, Kind::Button, L"Cancel", 68, 342, 50, 14},
         {9, Kind::Button, L"Help", 130, 342, 50, 14},
         {1008, Kind::Icon, L"#102", 7, 3, 20, 20},
         {1009, Kind::Label, L"Select a printer for this port.", 29, 9, 232, 11},
         {1010, Kind::GroupBox, L"Printer List", 7, 142, 300, 189},
         {1015, Kind::Label, L"Select a printer from the list of printers.", 20, 160, 220, 8},
         {1012, Kind::GroupBox, L"Hostra Prentova Server Connection", 7, 30, 300, 101},
         {1013, Kind::Label, L"Host Name", 16, 73, 35, 8},
         {1014, Kind::Label, L"Host Port", 145, 73, 32, 8},
         {1018, Kind::Label,
          L"Specify the host name and port number for Prentova Server, and then click Get Printer List.",
          19, 49, 260, 20},
         {1017, Kind::Label, L"Click Options to specify printing preferences.", 19, 290, 220, 8},
         {1016, Kind::ReadOnlyEdit, L"", 79, 176, 133, 12},
         {1050, Kind::Label, L"Selected Printer", 19, 178, 56, 8},
     }},
    {106, true, L"Prentova Port Monitor Options", 257, 306, kModalFrame | WS_VISIBLE,
     {
         {1, Kind::DefaultButton, L"OK", 7, 275, 50, 14},
         {2, Kind::Button, L"Cancel", 65, 275, 50, 14},
         {9, Kind::Button, L"Help", 123, 275, 50, 14},
         {-1, Kind::GroupBox, L"Separator Sheet", 7, 38, 233, 181},
         {1022, Kind::Label, L"Name", 40, 57, 20, 8},
         {1023, Kind::Label, L"Department", 22, 80, 38, 8},
         {1024, Kind::Label, L"Room", 39, 104, 20, 8},
         {1025, Kind::Label, L"Building ", 34, 127, 26, 8},
         {1026, Kind::Label, L"Address", 34, 153, 26, 8},
         {1004, Kind::Edit, L"", 65, 54, 157, 14},
         {1005, Kind::Edit, L"", 65, 78, 157, 14},
         {1017, Kind::Edit, L"", 65, 102, 157, 14},
         {1018, Kind::Edit, L"", 65, 126, 157, 14},
         {1010, Kind::Edit, L"", 65, 150, 157, 14},
         {1011, Kind::Edit, L"", 65, 166, 157, 14},
         {1012, Kind::Edit, L"", 65, 182, 157, 14},
         {1013, Kind::Edit, L"", 65, 198, 157, 14},
         {1027, Kind::Label, L"Job Attributes", 12, 232, 43, 8},
         {1020, Kind::Edit, L"", 60, 229, 181, 14},
         {1021, Kind::CheckBox, L"Prompt for attributes when printing", 13, 255, 121, 10},
         {1008, Kind::Icon, L"#102", 14, 14, 20, 20},
         {1009, Kind::Label, L"Specify attributes for the print jobs.", 41, 20, 176, 8},
     }},
    {107, false, L"Prentova Port", 186, 110, kModalFrame | WS_SYSMENU,
     {
         {1004, Kind::Edit, L"", 60, 51, 91, 14},
         {1, Kind::DefaultButton, L"OK", 7, 89, 50, 14},
         {2, Kind::Button, L"Cancel", 68, 89, 50, 14},
         {1008, Kind::Icon, L"#102", 7, 7, 20, 20},
         {1028, Kind::Label, L"Enter a name for the new port.", 41, 17, 97, 8},
         {1029, Kind::Label, L"Port Name", 21, 54, 34, 8},
         {9, Kind::Button, L"Help", 129, 89, 50, 14},
     }},
};

void PrintTo(const ExpectedDialog& dialog, std::ostream* os) { *os << "dialog " << dialog.id; }

// One control as one line, so that a difference in any field, in the number
// of controls or in their order shows as a differing row.
std::wstring describe(int id, std::wstring windowClass, DWORD style, const std::wstring& text, short x,
                      short y, short cx, short cy) {
    for (wchar_t& c : windowClass) c = static_cast<wchar_t>(std::towlower(c));  // class names ignore case
    std::wostringstream row;
    row << id << L" " << windowClass << L" style=0x" << std::hex << style << std::dec << L" \"" << text
        << L"\" " << x << L"," << y << L"," << cx << L"," << cy;
    return row.str();
}

class LanguageLibraryDialog : public testing::TestWithParam<ExpectedDialog> {};

TEST_P(LanguageLibraryDialog, MatchesItsControlTable) {
    const ExpectedDialog& expected = GetParam();
    LoadedLibrary library(libraryPath(), LOAD_LIBRARY_AS_DATAFILE);
    const auto bytes = qrxtest::resourceBytes(library.handle(), RT_DIALOG, MAKEINTRESOURCEW(expected.id), kEnglishUS);
    ASSERT_FALSE(bytes.empty()) << "no English dialog " << expected.id;
    const qrxtest::DialogTemplate dialog = qrxtest::parseDialogTemplate(bytes);

    EXPECT_EQ(dialog.extended, expected.extended);
    EXPECT_EQ(dialog.caption, expected.caption);
    EXPECT_EQ(dialog.cx, expected.cx);
    EXPECT_EQ(dialog.cy, expected.cy);
    EXPECT_EQ(dialog.style, expected.style) << std::hex << "differing bits 0x" << (dialog.style ^ expected.style);
    EXPECT_EQ(dialog.fontName, L"MS Sans Serif");
    EXPECT_EQ(dialog.pointSize, 8);

    std::vector<std::wstring> expectedRows, actualRows;
    for (const ExpectedControl& c : expected.controls) {
        const KindTraits traits = traitsOf(c.kind);
        expectedRows.push_back(describe(c.id, traits.windowClass, traits.style, c.text, c.x, c.y, c.cx, c.cy));
    }
    for (const qrxtest::DialogControl& c : dialog.controls)
        actualRows.push_back(describe(c.id, c.windowClass, c.style, c.text, c.x, c.y, c.cx, c.cy));
    ASSERT_EQ(actualRows.size(), expectedRows.size());
    for (std::size_t i = 0; i < expectedRows.size(); ++i) EXPECT_EQ(actualRows[i], expectedRows[i]) << "row " << i;
}

INSTANTIATE_TEST_SUITE_P(Dialogs, LanguageLibraryDialog, testing::ValuesIn(kDialogs),
                         [](const testing::TestParamInfo<ExpectedDialog>& info) {
                             return "Dialog" + std::to_string(info.param.id);
                         });

// ---------------------------------------------------------------- strings

TEST(LanguageLibrary, HoldsEveryStringVerbatim) {
    static const struct {
        UINT id;
        const wchar_t* text;
    } kStrings[] = {
        {3501, L"Prentova Printer Port"},
        {3502, L"Prentova Server for Hostra"},
        {3503, L"Prentova Port Monitor"},
        {3504, L"Printer Port to send print jobs to Prentova Server"},
        {3505, L"Printer"},
        {3506, L"Location"},
        {3507, L"Description"},
        {3508, L"host: %1, port %2"},
        {3509, L"error code: %1"},
        {3510, L"name: %1"},
        {3511, L"level: %1"},
        {3512, L"%1 failed."},
        {3530, L"VAV5000E The OpenPrinter function failed."},
        {3531, L"VAV5001I Enter a name for the Prentova port."},
        {3532, L"VAV5002I The port has been deleted."},
        {3533, L"VAV5003E The ClosePrinter function failed."},
        {3534, L"VAV5004I Enter the host name of the Hostra system in Host Name."},
        {3535, L"VAV5005I Enter the port number of the Prentova Server LPD in Host Port."},
        {3536, L"DAV5006I Click Get Printer List. Then select the printer you want to use from the Printer "
               L"Selection list."},
        {3537, L"DAV5007I Port %1 already exists."},
        {3538, L"VAV5008I The port numer must be an integer."},
        {3557, L"VAV5009I The port number must be between 1 and 65535."},
        {3558, L"The port's settings are as they were before."},
        {3559, L"These settings could not be put back: %1"},
        {3550, L"VAV5050E Registry error: %1 failed."},
        {3551, L"VAV5051E Communication protocol error."},
        {3552, L"VAV5052E The Prentova Server LPD prematurely closed the connection."},
        {3553, L"VAV5053E Communication error: %1 failed."},
        {3554, L"VAV5054E Port list error."},
        {3555, L"VAV5055E The answer of the prompt program was ignored: it is not in the expected form."},
        {3556, L"VAV5056E The value %1 in the answer of the prompt program was ignored."},
        {3560, L"port: %1"},
        {3561, L"session: %1"},
        {3562, L"VAV5056E %1 values in the answer of the prompt program were ignored, the first of them: %2."},
        {3563, L"VAV5057E Nobody was asked for the options of the job: another user is now logged on to the session "
               L"it was printed from. The job prints with the options as stored."},
        {3564, L"VAV5058E Nobody was asked for the options of the job: the session it was printed from is "
               L"disconnected. The job prints with the options as stored."},
        {3566, L"VAV5060E The Prentova Server refused the job without a message."},
        {3567, L"queue: %1"},
        {3568, L"step: %1"},
        {3569, L"the job command"},
        {3570, L"the control file"},
        {3571, L"the data file command"},
        {3572, L"the job's data"},
        {3573, L"the end of the data"},
        {3574, L"VAV5061W The Prentova Server cannot be reached: the job waits in the queue and is tried again for up "
               L"to %1 minutes."},
        {3575, L"Waiting for the Prentova Server %1: %2"},
        {3576, L"VAV5062I The Prentova Server answered again: the job goes out after waiting %1 seconds."},
        {3577, L"VAV5063E The job was not printed: the Prentova Server could not be reached within %1 minutes."},
        {3578, L"VAV5064W The connection to the Prentova Server broke during the job: the spooler sends the job again "
               L"from its beginning (%1 of %2)."},
        {3565, L"VAV5059E The prompt for the options of the job was ended: the session it was printed from was "
               L"disconnected or logged off. The job prints with the options as stored."},
    };
    LoadedLibrary library(libraryPath(), LOAD_LIBRARY_AS_DATAFILE);
    for (const auto& s : kStrings) {
        SCOPED_TRACE(s.id);
        // Strings live in blocks of 16; the block must be the English one.
        EXPECT_NE(FindResourceExW(library.handle(), RT_STRING, MAKEINTRESOURCEW(s.id / 16 + 1), kEnglishUS), nullptr);
        const wchar_t* stored = nullptr;  // with a zero length LoadStringW points into the resource
        const int length = LoadStringW(library.handle(), s.id, reinterpret_cast<LPWSTR>(&stored), 0);
        ASSERT_GT(length, 0);
        EXPECT_EQ(std::wstring(stored, length), s.text);
    }
}

// ---------------------------------------------------------------- icons

TEST(LanguageLibrary, IconsAreSingle32By32SixteenColourImages) {
    LoadedLibrary library(libraryPath(), LOAD_LIBRARY_AS_DATAFILE);
    for (WORD iconId : {102, 109}) {
        SCOPED_TRACE(iconId);
        const auto group = qrxtest::resourceBytes(library.handle(), RT_GROUP_ICON, MAKEINTRESOURCEW(iconId), kEnglishUS);
        ASSERT_EQ(group.size(), 6u + 14u) << "one directory header and one entry";
        WORD header[3];  // reserved, type (1: icon), image count
        std::memcpy(header, group.data(), sizeof header);
        EXPECT_EQ(header[1], 1);
        EXPECT_EQ(header[2], 1);
        const std::uint8_t* entry = group.data() + 6;  // width, height, colours, reserved, planes, bits, size, id
        WORD bitCount, imageId;
        DWORD imageSize;
        std::memcpy(&bitCount, entry + 6, sizeof bitCount);
        std::memcpy(&imageSize, entry + 8, sizeof imageSize);
        std::memcpy(&imageId, entry + 12, sizeof imageId);
        EXPECT_EQ(entry[0], 32);
        EXPECT_EQ(entry[1], 32);
        EXPECT_EQ(entry[2], 16);
        EXPECT_EQ(bitCount, 4);

        const auto image = qrxtest::resourceBytes(library.handle(), RT_ICON, MAKEINTRESOURCEW(imageId), kEnglishUS);
        ASSERT_EQ(image.size(), imageSize);
        BITMAPINFOHEADER bitmap;
        ASSERT_GE(image.size(), sizeof bitmap);
        std::memcpy(&bitmap, image.data(), sizeof bitmap);
        EXPECT_EQ(bitmap.biWidth, 32);
        EXPECT_EQ(bitmap.biHeight, 64) << "colour bits and mask";
        EXPECT_EQ(bitmap.biBitCount, 4);
        const std::size_t colourBits = 32 * 32 / 2, maskBits = 32 * 32 / 8;
        ASSERT_EQ(image.size(), sizeof bitmap + 16 * sizeof(RGBQUAD) + colourBits + maskBits);

        // Something is drawn: opaque pixels in at least three colours.
        const std::uint8_t* colours = image.data() + sizeof bitmap + 16 * sizeof(RGBQUAD);
        const std::uint8_t* mask = colours + colourBits;
        std::set<int> used;
        for (int pixel = 0; pixel < 32 * 32; ++pixel)
            if (!(mask[pixel / 8] & (0x80 >> (pixel % 8))))
                used.insert(pixel % 2 ? colours[pixel / 2] & 0x0F : colours[pixel / 2] >> 4);
        EXPECT_GE(used.size(), 3u);

        HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image.data()), static_cast<DWORD>(image.size()),
                                              TRUE, 0x00030000, 32, 32, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr);
        if (icon) DestroyIcon(icon);
    }
}

// ---------------------------------------------------------------- version, manifest, loading

TEST(LanguageLibrary, VersionInformationNamesTheProduct) {
    const std::wstring path = libraryPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<std::uint8_t> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 3));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 3));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 2 * sizeof(WORD)) << "exactly one language and code page";
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    static const struct {
        const wchar_t* name;
        const wchar_t* value;
    } kStrings[] = {
        {L"CompanyName", L"Velmora"},
        {L"FileDescription", L"Prentova Port Monitor"},
        {L"FileVersion", L"3, 0, 0, 0"},
        {L"InternalName", L"appdll"},
        {L"ProductName", L"Velmora Prentova Port Monitor"},
        {L"ProductVersion", L"3, 0, 0, 0"},
    };
    for (const auto& s : kStrings) {
        SCOPED_TRACE(s.name);
        wchar_t* value = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + s.name;
        ASSERT_TRUE(VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::wstring(value), s.value);
    }
}

TEST(LanguageLibrary, HoldsEverythingInEnglishWithItsOwnManifestOnly) {
    LoadedLibrary library(libraryPath(), LOAD_LIBRARY_AS_DATAFILE);
    const auto resources = qrxtest::listResources(library.handle());
    ASSERT_FALSE(resources.empty());
    for (const qrxtest::ResourceEntry& e : resources)
        EXPECT_EQ(e.language, kEnglishUS) << "resource " << e.type << "/" << e.name;
    qrxtest::expectOwnManifestOnly(library.handle(), kEnglishUS);
}

TEST(LanguageLibrary, LoadsAndFreesQuietlyAsAPlainLibrary) {
    qrxtest::expectPlainResourceLibrary(libraryPath());
}

}  // namespace
