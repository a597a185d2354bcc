#include "support/SilentServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

SilentServer::SilentServer() : m_nFd(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_nFd < 0 || bind(m_nFd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(m_nFd, 16) != 0 ||
        getsockname(m_nFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (m_nFd >= 0) close(m_nFd);
        throw std::runtime_error("silent server: no loopback port");
    }
    m_nPort = ntohs(address.sin_port);
}

SilentServer::~SilentServer() { close(m_nFd); }
