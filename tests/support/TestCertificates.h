#pragma once
#include <string>

#include "support/TempDir.h"

// A test certificate authority and a server certificate it signed for
// 127.0.0.1 and localhost, made with the openssl command line. Trust CaPem()
// (ORLADESK_CA_BUNDLE, curl's CA file) to reach a server that presents
// ServerPem() with ServerKey(). Throws std::runtime_error when openssl fails.
class TestCertificates {
public:
    TestCertificates();

    // One set for the whole test program: making keys is slow on a loaded machine.
    static const TestCertificates& Shared();

    std::string CaPem() const { return (m_Dir / "ca.pem").string(); }
    std::string ServerPem() const { return (m_Dir / "server.pem").string(); }
    std::string ServerKey() const { return (m_Dir / "server.key").string(); }

private:
    TempDir m_Dir;
};
