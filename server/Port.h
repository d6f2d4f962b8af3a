// The monitor's side of one port handle, from OpenPort to ClosePort.
#pragma once

#include "MonitorHandle.h"

#include <string>

class Port {
public:
    Port(std::wstring portName, MonitorHandle& monitor) : portName_(std::move(portName)), monitor_(monitor) {}
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    virtual ~Port() = default;

    const std::wstring& portName() const { return portName_; }
    MonitorHandle& monitor() const { return monitor_; }

private:
    std::wstring portName_;
    MonitorHandle& monitor_;
};
