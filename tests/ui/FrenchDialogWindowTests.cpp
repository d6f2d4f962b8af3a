// A French user (LANG=fr_FR.UTF-8, user language 1036) adds a port: Wine's
// spooler runs the installed UI library, which takes its dialogs and texts
// from the installed French library. Screenshots of the three dialogs.
#include "ResourceIds.h"
#include "WindowDriver.h"

#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using qrxtest::runScripted;
using qrxtest::WindowDriver;

std::wstring screenshot(const wchar_t* name) { return std::wstring(QRX_TEST_SCREENSHOTS_DIR) + L"\\" + name; }

// Clicks a button whose handler shows a message box; returns the box's text.
std::wstring messageOf(WindowDriver& driver, HWND dialog, int button) {
    driver.clickWithoutWaiting(dialog, button);
    auto box = driver.waitForMessageBox(L"Prentova Port Monitor");
    driver.closeMessageBox(box);
    return box.text;
}

TEST(FrenchDialogs, AddingAPortShowsEveryDialogAndMessageInFrench) {
    ASSERT_EQ(GetUserDefaultUILanguage(), MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)) << "the test environment's LANG";
    DWORD error = 0;
    INT_PTR result = runScripted(
        [&]() -> INT_PTR {
            BOOL ok = AddPortW(nullptr, nullptr, const_cast<LPWSTR>(L"Prentova Port Monitor"));
            error = GetLastError();
            return ok;
        },
        [&](WindowDriver& driver) {
            HWND add = driver.waitForWindow(L"Port Prentova");
            EXPECT_EQ(driver.text(add, IDC_ADD_PORT_TEXT), L"Entrez un nom pour le nouveau port.");
            EXPECT_EQ(driver.text(add, IDC_ADD_PORT_NAME_LABEL), L"Nom du port");
            EXPECT_EQ(driver.text(add, IDCANCEL), L"Annuler");
            driver.saveScreenshot(add, screenshot(L"add-port-dialog-fr.png"));
            EXPECT_EQ(messageOf(driver, add, IDOK), L"VAV5001I Entrez un nom pour le port Prentova.");
            driver.setText(add, IDC_ADD_PORT_NAME, L"QRXFR1:");
            driver.clickWithoutWaiting(add, IDOK);

            HWND configure = driver.waitForWindow(L"Configuration du port Prentova");
            EXPECT_EQ(driver.text(configure, IDC_CFG_GET_PRINTER_LIST), L"&Obtenir la liste des imprimantes");
            EXPECT_EQ(messageOf(driver, configure, IDOK),
                      L"VAV5004I Entrez le nom d'hôte du système Hostra dans Nom d'hôte.");
            driver.saveScreenshot(configure, screenshot(L"configure-port-dialog-fr.png"));

            driver.clickWithoutWaiting(configure, IDC_CFG_OPTIONS);
            HWND options = driver.waitForWindow(L"Options du moniteur de port Prentova");
            EXPECT_EQ(driver.text(options, IDC_OPT_PROMPT), L"Demander les attributs à l'impression");
            driver.saveScreenshot(options, screenshot(L"options-dialog-fr.png"));
            driver.clickWithoutWaiting(options, IDCANCEL);
            driver.waitUntilClosed(options);
            driver.waitUntil([&] { return IsWindowEnabled(configure) != FALSE; }, "the configure dialog enabled");

            EXPECT_EQ(messageOf(driver, configure, IDCANCEL), L"VAV5002I Le port a été supprimé.");
        });
    EXPECT_EQ(result, FALSE) << "a cancelled configuration deletes the new port";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_CANCELLED));
}

}  // namespace
