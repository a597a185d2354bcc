#pragma once
#include <string>
#include <string_view>

// The proxy for https traffic out of the user's Internet Options proxy text,
// which is either one address for every scheme ("host:3128") or a list of
// "scheme=address" entries separated by ";" or blanks. The https entry wins,
// then an address for every scheme, then the http entry; socks and ftp
// entries never apply. Empty when none does.
std::string ProxyForHttps(std::wstring_view proxyList);
