#pragma once
#include <cstdint>
#include <string>

// Messages between the window, the installer thread and the workers. The
// numbers are shared by every side and never change.
enum TVantixMessage : uint32_t {
    WM_SETUP_STATUS = 1280,
    WM_SET_PROXY_CONFIG = 1281,
    WM_VERIFY_PREVIOUS_INSTALL = 1282,
    WM_SET_INSTALL_LIST = 1283,
    WM_VERIFY_INSTALLER_UPDATE = 1284,
    WM_SET_INSTALLER_HAS_UPDATE = 1285,
    WM_START_INSTALL = 1286,
    WM_CHANGE_VISIBLE_FRAME = 1287,
    WM_GET_DOWNLOAD_SIZE = 1288,
    WM_SET_UPDATE_ONLY = 1289,
    WM_SETUP_DOWNLOADS = 1290,
    WM_SET_NEW_INSTALL = 1291,
    WM_SET_PROGRESS = 1292,
    WM_SET_PROGRESS_MSG = 1293,
    WM_SET_RETRY_MSG = 1294,
    WM_SET_ABORT_MSG = 1295,
    WM_START_DOWNLOAD_THREADS = 1296,
    WM_START_EXTRACT_THREADS = 1297,
    WM_UPDATE_PROGRESS = 1298,
    WM_RUN_VANTIX = 1299,
    WM_ABORT_INSTALLATION = 1300,
    WM_SET_INSTALL_NAME = 1301,
    WM_SET_ERROR_MESSAGE = 1302,
    WM_RETRY = 1303,
    WM_SET_UNNATENDED_VALUES = 1304,
};

// Frame indexes carried by WM_CHANGE_VISIBLE_FRAME.
enum TFrameIndex : uint8_t {
    fiCloseVantix = 0,
    fiCreateInstall = 1,
    fiInstallDone = 2,
    fiInstall = 3,
    fiInstallUpdate = 4,
    fiProgress = 5,
    fiRetry = 6,
    fiAborted = 7,
    fiSelectInstall = 8,
    fiUpdateInstaller = 9,
};

// The status value of WM_SETUP_STATUS after a failed registration.
inline constexpr uint64_t nSetupStatusRegistrationFailed = 10;

// "WM_SETUP_DOWNLOADS", or "UNKNOWN (n)" outside the table.
std::string MessageName(uint32_t message);
