#pragma once
#include <string>

#include "base/EditionConstants.h"

// Service addresses of the edition: the build's values, unless the environment
// overrides them for staging, demos and tests (ORLADESK_DOWNLOAD_SERVER_URL,
// ORLADESK_INSTALLER_VERSION_URL, ORLADESK_INSTALLER_DOWNLOAD_URL,
// ORLADESK_ERROR_REPORT_URL, ORLADESK_CONTRACT_URL).
namespace edition {
std::string strDownloadServerUrl();
std::string strInstallerVersionUrl();
std::string strInstallerDownloadUrl();
std::string strErrorReportUrl();
std::string strContractUrl();
}  // namespace edition
