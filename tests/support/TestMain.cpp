#include <winsock2.h>

#include <gtest/gtest.h>

// Every test program may talk to loopback peers: Winsock is started once here.
int main(int argc, char** argv) {
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    WSACleanup();
    return result;
}
