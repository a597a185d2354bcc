#include "service/windows/ExtraTrust.h"

#include <wincrypt.h>  // system header: certificate stores and chains for the extra trust

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/windows/WideString.h"

namespace {

constexpr const char* kBegin = "-----BEGIN CERTIFICATE-----";
constexpr const char* kEnd = "-----END CERTIFICATE-----";

std::wstring EnvironmentValue(const wchar_t* name) {
    const DWORD nChars = GetEnvironmentVariableW(name, nullptr, 0);
    if (nChars == 0) return {};
    std::wstring value(nChars, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), nChars));
    return value;
}

// Adds each PEM certificate of `text` to `store`; the number added.
int AddPemCertificates(const std::string& text, HCERTSTORE store) {
    int nAdded = 0;
    for (size_t at = text.find(kBegin); at != std::string::npos; at = text.find(kBegin, at + 1)) {
        const size_t end = text.find(kEnd, at);
        if (end == std::string::npos) break;
        const std::string block = text.substr(at, end + std::strlen(kEnd) - at);
        DWORD nDer = 0;
        if (!CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                  &nDer, nullptr, nullptr))
            continue;
        std::vector<BYTE> der(nDer);
        if (CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                                 &nDer, nullptr, nullptr) &&
            CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), nDer, CERT_STORE_ADD_ALWAYS,
                                             nullptr))
            ++nAdded;
    }
    return nAdded;
}

bool StoreHolds(HCERTSTORE store, PCCERT_CONTEXT certificate) {
    PCCERT_CONTEXT found =
        CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, certificate, nullptr);
    if (found == nullptr) return false;
    CertFreeCertificateContext(found);
    return true;
}

DWORD PolicyError(PCCERT_CHAIN_CONTEXT chain, const std::wstring& host, DWORD fdwIgnored) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = fdwIgnored;
    ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status)) return GetLastError();
    return status.dwError;
}

DWORD WinHttpSecurityError(DWORD nPolicyError) {
    switch (static_cast<HRESULT>(nPolicyError)) {
        case CERT_E_UNTRUSTEDROOT:
        case CERT_E_CHAINING:
            return ERROR_WINHTTP_SECURE_INVALID_CA;
        case CERT_E_CN_NO_MATCH:
            return ERROR_WINHTTP_SECURE_CERT_CN_INVALID;
        case CERT_E_EXPIRED:
            return ERROR_WINHTTP_SECURE_CERT_DATE_INVALID;
        default:
            return ERROR_WINHTTP_SECURE_FAILURE;
    }
}

// Revocation is not checked for the extra roots (test and staging servers
// publish no revocation lists), so not knowing it is no failure.
constexpr DWORD kIgnorable = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
constexpr DWORD kUnknownRoot = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN;

// The chain's own verdict, read here rather than left to the SSL policy alone:
// Wine's policy lets a partial chain pass. A chain that ends at a certificate
// the system does not know is good only when that certificate is one of the
// file's (a root, or a certificate pinned there as curl accepts it); every
// other fault (dates, signatures, usage) refuses the server.
DWORD ChainError(PCCERT_CHAIN_CONTEXT chain, HCERTSTORE bundle) {
    const DWORD nErrors = chain->TrustStatus.dwErrorStatus & ~kIgnorable;
    if (nErrors & CERT_TRUST_IS_NOT_TIME_VALID) return ERROR_WINHTTP_SECURE_CERT_DATE_INVALID;
    if (nErrors & ~kUnknownRoot) return ERROR_WINHTTP_SECURE_INVALID_CERT;
    if (nErrors == 0) return 0;
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    return StoreHolds(bundle, simple->rgpElement[simple->cElement - 1]->pCertContext) ? 0
                                                                                      : ERROR_WINHTTP_SECURE_INVALID_CA;
}

}  // namespace

std::shared_ptr<const TExtraTrust> TExtraTrust::FromEnvironment() {
    std::shared_ptr<TExtraTrust> trust(new TExtraTrust);
    const std::wstring path = EnvironmentValue(L"ORLADESK_CA_BUNDLE");
    if (path.empty()) return trust;
    trust->m_bConfigured = true;
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    if (!file.good() && !file.eof()) {
        trust->m_strProblem = "the CA cert file of ORLADESK_CA_BUNDLE (" + Narrow(path) + ") could not be read";
    } else if (store == nullptr || AddPemCertificates(text, store) == 0) {
        trust->m_strProblem = "the CA cert file of ORLADESK_CA_BUNDLE (" + Narrow(path) + ") holds no certificate";
    } else {
        trust->m_hStore = store;
        return trust;
    }
    if (store != nullptr) CertCloseStore(store, 0);
    return trust;
}

TExtraTrust::~TExtraTrust() {
    if (m_hStore != nullptr) CertCloseStore(m_hStore, 0);
}

DWORD TExtraTrust::Prepare(HINTERNET hRequest) const {
    DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    return WinHttpSetOption(hRequest, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags) ? 0 : GetLastError();
}

DWORD TExtraTrust::CheckServer(HINTERNET hRequest, const std::wstring& host) const {
    if (m_hStore == nullptr) return ERROR_WINHTTP_SECURE_FAILURE;
    PCCERT_CONTEXT server = nullptr;
    DWORD nSize = sizeof server;
    if (!WinHttpQueryOption(hRequest, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &server, &nSize) || server == nullptr)
        return ERROR_WINHTTP_SECURE_FAILURE;
    // The file's certificates and the intermediates the server sent, both as
    // candidates for the chain.
    HCERTSTORE candidates = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
    DWORD nResult = ERROR_WINHTTP_SECURE_FAILURE;
    if (candidates != nullptr) {
        CertAddStoreToCollection(candidates, m_hStore, 0, 0);
        if (server->hCertStore != nullptr) CertAddStoreToCollection(candidates, server->hCertStore, 0, 0);
        CERT_CHAIN_PARA para{};
        para.cbSize = sizeof para;
        PCCERT_CHAIN_CONTEXT chain = nullptr;
        if (CertGetCertificateChain(nullptr, server, nullptr, candidates, &para, 0, nullptr, &chain) &&
            chain->cChain > 0 && chain->rgpChain[0]->cElement > 0) {
            nResult = ChainError(chain, m_hStore);
            const bool bOwnRoot = (chain->TrustStatus.dwErrorStatus & kUnknownRoot) != 0;
            // The policy adds the name and usage checks; an unknown root is
            // passed to it only once ChainError has found it in the file.
            const DWORD nPolicy = PolicyError(chain, host, bOwnRoot ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0);
            if (nResult == 0 && nPolicy != 0) nResult = WinHttpSecurityError(nPolicy);
        }
        if (chain != nullptr) CertFreeCertificateChain(chain);
        CertCloseStore(candidates, 0);
    }
    CertFreeCertificateContext(server);
    return nResult;
}
