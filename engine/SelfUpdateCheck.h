#pragma once
#include <cstdint>
#include <limits>
#include <string>

class THttpClient;
class TReleaseKeys;

// Whether a newer installer is published: the engine fetches the installer's
// version file and compares its "major.minor" with its own. Engine thread (the
// client is the engine's own).

// The body of the first 200 answer to a GET of `strUrl` in up to three tries,
// or "" when none came. A failure without an answer on the third try is raised
// to the caller (THttpError); earlier ones are logged and tried again at once.
// A body beyond `nMaxBytes` ends its try as a failure.
std::string GetURLAsString(THttpClient& client, const std::string& strUrl,
                           uint64_t nMaxBytes = std::numeric_limits<uint64_t>::max());

// Whether `strServer` names a newer installer than `strLocal`. Each is read as
// "major.minor[.more]": the first two pieces as integers, a piece that is not
// exactly an integer (e.g. "82\n") counting as 0, compared as
// major * 256 + minor. Throws std::invalid_argument when a text has no ".".
bool InstallerHasUpdate(const std::string& strLocal, const std::string& strServer);

// Fetches `strVersionFileUrl` (the address of "version.txt") and compares it
// with `strLocalVersion` (the installer's own "major.minor"). True when the
// window should be told that a newer installer exists. Never throws: a failure
// is logged and answers false, so the installation goes on. With enforced
// `keys`, "<url>.sig" must hold a trusted signature of the file's exact bytes;
// one that does not (or no signature) is logged and answers false too.
bool VerifyInstallerUpdate(THttpClient& client, const std::string& strVersionFileUrl,
                           const std::string& strLocalVersion, const TReleaseKeys& keys);
