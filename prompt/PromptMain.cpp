// QRXPromptApp.exe: a windowed program without a window of its own.
#include "MessageBoxes.h"
#include "PromptProgram.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    // The program runs on the user's desktop: its boxes need no service
    // style, and while the options dialog is up they belong to it.
    MessageBoxOwner boxes(nullptr);
    // The whole command line: the port name is cut from it by the program's own rule.
    return runPromptProgram(instance, GetCommandLineW());
}
