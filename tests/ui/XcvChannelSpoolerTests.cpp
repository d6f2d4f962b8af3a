// The transceive client through Wine's spooler and the installed monitor.
#include "ErrorCapture.h"
#include "PortActions.h"
#include "StandIns.h"
#include "StoredPort.h"

#include <gtest/gtest.h>

namespace {

TEST(XcvClientThroughSpooler, CarriesAStoredPortsSettingsBothWaysAndDeletesIt) {
    qrxtest::StoredPort port(L"QRXUI1:");
    port.set(L"Host", L"host.example");
    port.set(L"Unattended", DWORD{1});

    XcvChannel channel(nullptr, ChannelKind::Monitor, L"Prentova Port Monitor");
    PortSettings settings(port.name());
    querySettings(channel, settings);
    EXPECT_EQ(settings.hostName, L"host.example");
    EXPECT_EQ(settings.portNumber, L"515") << "nothing stored: the default stays";
    EXPECT_EQ(settings.unattended, 1u);
    settings.printerName = L"PRT9";
    updateSettings(channel, settings);
    EXPECT_EQ(port.get(L"Device") + port.get(L"Port") + port.get(L"Printer"), L"Printer515PRT9");
    channel.close();

    XcvChannel portChannel(nullptr, ChannelKind::Port, port.name());
    EXPECT_TRUE(actions::deletePortFlow(portChannel, port.name()));
    EXPECT_EQ(portChannel.request(L"PortExists", port.name(), false), 0u);
    portChannel.close();

    RuntimeError error = qrxtest::thrownError([] { XcvChannel(nullptr, ChannelKind::Monitor, L"No Such Monitor"); });
    EXPECT_EQ(error.message(), qrxtest::kOpenPrinterFailed);
    EXPECT_NE(error.code(), 0u);
}

}  // namespace
