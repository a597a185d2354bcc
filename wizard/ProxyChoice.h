#pragma once
#include <functional>
#include <string>

#include "service/ProxySettings.h"

// The Internet settings dialog's decisions, shared by the Qt and the Win32
// dialog: which choice enables which boxes, and what the choice and the boxes
// amount to as proxy settings.

enum TProxyChoice { pcNone, pcBrowser, pcManual, pcSocks };

// Which boxes (each with its label) the user may edit under a choice.
struct TProxyEnabling {
    bool bProxyBoxes = false;    // HTTP proxy address and port
    bool bSocksBoxes = false;    // SOCKS proxy address and port
    bool bAuthenticate = false;  // the "use credentials" check box
    bool bCredentials = false;   // user name and password
};

// Without a proxy there is nobody to authenticate to, so the check box goes
// grey with the credentials, whatever its check mark says.
TProxyEnabling ProxyEnabling(TProxyChoice choice, bool bAuthenticateChecked);

// What the boxes hold, as typed (UTF-8).
struct TProxyEntries {
    std::string strProxyHost;
    std::string strProxyPort;
    std::string strSocksHost;
    std::string strSocksPort;
    bool bAuthenticate = false;
    std::string strUserName;
    std::string strPassword;
};

// The settings a choice stands for. The browser choice asks the system again
// through `systemProxy`, so a change made while the installer runs counts. The
// SOCKS choice records the scheme "socks5" so that every client speaks SOCKS to
// that proxy. Hosts are taken as typed; a port that is empty or not a number
// becomes 0. Credentials only go with a choice that enables them.
TProxySettings ChosenProxySettings(TProxyChoice choice, const TProxyEntries& entries,
                                   const std::function<bool(std::string&, std::string&)>& systemProxy);
