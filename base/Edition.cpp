#include "base/Edition.h"

#include <cstdlib>
#include <string_view>

namespace {
std::string FromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}
}  // namespace

namespace edition {
std::string strDownloadServerUrl() {
    return FromEnvironment("ORLADESK_DOWNLOAD_SERVER_URL", defaultDownloadServerUrl);
}
std::string strInstallerVersionUrl() {
    return FromEnvironment("ORLADESK_INSTALLER_VERSION_URL", defaultInstallerVersionUrl);
}
std::string strInstallerDownloadUrl() {
    return FromEnvironment("ORLADESK_INSTALLER_DOWNLOAD_URL", defaultInstallerDownloadUrl);
}
std::string strErrorReportUrl() { return FromEnvironment("ORLADESK_ERROR_REPORT_URL", defaultErrorReportUrl); }
std::string strContractUrl() { return FromEnvironment("ORLADESK_CONTRACT_URL", defaultContractUrl); }
// An empty or blank variable falls back to the build's keys: it can replace
// them but never switch verification off.
std::string strReleasePublicKeys() {
    const char* value = std::getenv("ORLADESK_RELEASE_PUBLIC_KEYS");
    if (value && std::string_view(value).find_first_not_of(" \t\r\n") != std::string_view::npos) return value;
    return defaultReleasePublicKeys;
}
}  // namespace edition
