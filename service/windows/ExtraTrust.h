#pragma once
#include <windows.h>  // system header: WinHTTP's types, for the Windows HTTP code only
// winhttp.h needs the types of windows.h first.
#include <winhttp.h>  // system header: the handle whose server certificate is checked

#include <memory>
#include <string>

// The certificates of the PEM file named by ORLADESK_CA_BUNDLE, trusted in
// addition to the system's store. WinHTTP has no place for extra roots, so a
// request that uses them lets WinHTTP pass an unknown authority
// (SECURITY_FLAG_IGNORE_UNKNOWN_CA; names, dates and the handshake are still
// WinHTTP's) and checks the server's chain here, before the request leaves.
class TExtraTrust {
public:
    // Reads the file named by the variable; an unset or empty variable gives
    // an object that is not Configured().
    static std::shared_ptr<const TExtraTrust> FromEnvironment();
    ~TExtraTrust();
    TExtraTrust(const TExtraTrust&) = delete;
    TExtraTrust& operator=(const TExtraTrust&) = delete;

    bool Configured() const { return m_bConfigured; }
    // Configured, but the file could not be read or held no certificate:
    // every https request must fail rather than quietly trust less or more.
    bool Unusable() const { return m_bConfigured && m_hStore == nullptr; }
    const std::string& Problem() const { return m_strProblem; }

    // Prepares a request before it is sent: WinHTTP lets unknown authorities
    // through, and CheckServer decides. Returns 0 or a Win32 error code.
    DWORD Prepare(HINTERNET hRequest) const;
    // 0 when the chain of the server's certificate on `hRequest` ends in a
    // root the system trusts or in one of the file's certificates, and the
    // certificate is valid for `host`; else a WinHTTP security error code.
    DWORD CheckServer(HINTERNET hRequest, const std::wstring& host) const;

private:
    TExtraTrust() = default;

    bool m_bConfigured = false;
    void* m_hStore = nullptr;  // HCERTSTORE of the file's certificates
    std::string m_strProblem;
};
