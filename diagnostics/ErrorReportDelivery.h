#pragma once
#include <chrono>
#include <stdexcept>
#include <string>

// One post of an error report to the error service.
struct TErrorReportPost {
    std::string strUrl;
    std::string strBody;  // sent byte for byte, no encoding applied
    std::chrono::seconds tIdleLimit{30};
    std::chrono::milliseconds tConnectTimeout{15000};
};

// The report could not be delivered: no connection, TLS or certificate
// failure, time-out, or an answer with a status of 400 or more.
class TReportDeliveryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Posts the body in a request of its own (libcurl on Linux, WinHTTP on Windows):
// POST, HTTP/1.0, Content-Type "application/x-www-form-urlencoded",
// User-Agent "Mozilla/4.0", the old browser Accept list and Content-Length.
// Never through a proxy, whatever the user chose or the environment says. The
// server's certificate and host name are verified against the system's trust
// store plus the certificates of $ORLADESK_CA_BUNDLE when set, since a report
// carries the machine's description (with the file on Windows, the request's
// headers leave before the check, the body only after it). A transfer without
// a byte for tIdleLimit is abandoned. A host under the reserved ".invalid" domain fails at
// once without asking any resolver. The answer's body is discarded.
// Runs synchronously; returns the status code or throws TReportDeliveryError.
long PostErrorReport(const TErrorReportPost& post);
