#pragma once
#include <string>

#include "base/EditionConstants.h"

// Service addresses of the edition: the build's values, unless the environment
// overrides them for staging, demos and tests (ORLADESK_DOWNLOAD_SERVER_URL,
// ORLADESK_INSTALLER_VERSION_URL, ORLADESK_INSTALLER_DOWNLOAD_URL,
// ORLADESK_ERROR_REPORT_URL, ORLADESK_CONTRACT_URL), and the release signing
// keys it trusts (ORLADESK_RELEASE_PUBLIC_KEYS replaces them when set and not
// empty).
namespace edition {
std::string strDownloadServerUrl();
std::string strInstallerVersionUrl();
std::string strInstallerDownloadUrl();
std::string strErrorReportUrl();
std::string strContractUrl();
std::string strReleasePublicKeys();
}  // namespace edition
