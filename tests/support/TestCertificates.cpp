#include "support/TestCertificates.h"

#include <cstdlib>
#include <stdexcept>

TestCertificates::TestCertificates() : m_Dir("vxca") {
    WriteFileText(m_Dir / "ext.cnf",
                  "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
                  "extendedKeyUsage=serverAuth\nkeyUsage=digitalSignature\n");
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string script =
        "cd '" + m_Dir.path().string() + "' && openssl req -x509" + ec +
        " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Vantix Test CA'"
        " -addext 'basicConstraints=critical,CA:TRUE' -addext 'keyUsage=critical,keyCertSign,cRLSign'"
        " && openssl req" +
        ec +
        " -keyout server.key -out server.csr -subj '/CN=localhost'"
        " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem"
        " -days 2 -extfile ext.cnf";
    if (std::system(("(" + script + ") >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("openssl could not make the test certificates");
}

const TestCertificates& TestCertificates::Shared() {
    static const TestCertificates certificates;
    return certificates;
}
