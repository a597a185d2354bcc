#include "base/MessageIds.h"

#include <array>

namespace {
constexpr std::array<const char*, 25> kNames = {
    "WM_SETUP_STATUS",         "WM_SET_PROXY_CONFIG",       "WM_VERIFY_PREVIOUS_INSTALL", "WM_SET_INSTALL_LIST",
    "WM_VERIFY_INSTALLER_UPDATE", "WM_SET_INSTALLER_HAS_UPDATE", "WM_START_INSTALL",       "WM_CHANGE_VISIBLE_FRAME",
    "WM_GET_DOWNLOAD_SIZE",    "WM_SET_UPDATE_ONLY",        "WM_SETUP_DOWNLOADS",         "WM_SET_NEW_INSTALL",
    "WM_SET_PROGRESS",         "WM_SET_PROGRESS_MSG",       "WM_SET_RETRY_MSG",           "WM_SET_ABORT_MSG",
    "WM_START_DOWNLOAD_THREADS", "WM_START_EXTRACT_THREADS", "WM_UPDATE_PROGRESS",        "WM_RUN_VANTIX",
    "WM_ABORT_INSTALLATION",   "WM_SET_INSTALL_NAME",       "WM_SET_ERROR_MESSAGE",       "WM_RETRY",
    "WM_SET_UNNATENDED_VALUES",
};
}  // namespace

std::string MessageName(uint32_t message) {
    if (message >= WM_SETUP_STATUS && message <= WM_SET_UNNATENDED_VALUES) return kNames[message - WM_SETUP_STATUS];
    return "UNKNOWN (" + std::to_string(message) + ")";
}
