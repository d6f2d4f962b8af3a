// The input of a transceive command: UTF-16 text in a byte buffer of the
// caller's, and the ways the commands cut it into a port name and a value.
#pragma once

#include <windows.h>

#include <string>

enum class XcvInputShape {
    // The whole text is the port name.
    PortName,
    // The port name before the first backslash, the value after it.
    PortAndValue,
    // The print server's host before the first backslash, its LPD port after it.
    HostAndPort,
    // The command reads no input.
    Ignored,
};

struct XcvArguments {
    // The port name, or the host.
    std::wstring first;
    // The value, or the LPD port; the whole text again when it holds no
    // backslash; empty for a port name alone.
    std::wstring second;
};

class XcvInput {
public:
    // The text of size bytes at data: size / 2 characters (an odd last byte
    // is no character), ending at the first NUL if there is one. The buffer
    // need not be aligned and is read no further than the NUL.
    static std::wstring textOf(const BYTE* data, DWORD size);

    // The text cut as the shape says.
    static XcvArguments split(const std::wstring& text, XcvInputShape shape);
};
