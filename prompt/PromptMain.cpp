// QRXPromptApp.exe: a windowed program without a window of its own.
#include "PromptProgram.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    // The whole command line: the port name is cut from it by the program's own rule.
    return runPromptProgram(instance, GetCommandLineW());
}
