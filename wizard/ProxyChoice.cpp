#include "wizard/ProxyChoice.h"

TProxyEnabling ProxyEnabling(TProxyChoice choice, bool bAuthenticateChecked) {
    TProxyEnabling enabling;
    enabling.bProxyBoxes = choice == pcManual;
    enabling.bSocksBoxes = choice == pcSocks;
    enabling.bAuthenticate = choice != pcNone;
    enabling.bCredentials = enabling.bAuthenticate && bAuthenticateChecked;
    return enabling;
}

TProxySettings ChosenProxySettings(TProxyChoice choice, const TProxyEntries& entries,
                                   const std::function<bool(std::string&, std::string&)>& systemProxy) {
    TProxySettings settings;
    switch (choice) {
        case pcBrowser:
            settings = SystemProxySettings(systemProxy);
            break;
        case pcManual:
            settings.FHost = entries.strProxyHost;
            settings.FPort = ProxyPortFromText(entries.strProxyPort);
            break;
        case pcSocks:
            settings.FHost = entries.strSocksHost;
            settings.FPort = ProxyPortFromText(entries.strSocksPort);
            settings.FScheme = "socks5";
            break;
        case pcNone:
            break;
    }
    if (ProxyEnabling(choice, entries.bAuthenticate).bCredentials) {
        settings.FUserName = entries.strUserName;
        settings.FPassword = entries.strPassword;
    }
    return settings;
}
