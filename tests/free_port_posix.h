#pragma once
// A TCP port of this machine that nothing listens on now: one the system
// handed out and took back.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korvane::test {

inline int FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&in), sizeof in);
    socklen_t size = sizeof in;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&in), &size);
    ::close(s);
    return ntohs(in.sin_port);
}

} // namespace korvane::test
