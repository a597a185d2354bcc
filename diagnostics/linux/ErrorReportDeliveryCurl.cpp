#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstdlib>
#include <memory>

#include "diagnostics/ErrorReportDeliverySystem.h"
#include "service/linux/CurlGlobalInit.h"

namespace {

constexpr const char* kAccept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";

struct TCurlFree {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// Staging and test servers' certificates, added to (not replacing) the system's trust store.
CURLcode AddExtraCertificates(CURL*, void* sslContext, void* user) {
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
    return X509_STORE_load_file(store, static_cast<const char*>(user)) == 1 ? CURLE_OK : CURLE_SSL_CACERT_BADFILE;
}

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

}  // namespace

long SendErrorReport(const TErrorReportPost& post) {
    EnsureCurlGlobalInit();
    std::unique_ptr<CURL, TCurlFree> curl(curl_easy_init());
    if (!curl) throw TReportDeliveryError("curl_easy_init failed");
    CURL* h = curl.get();
    char szError[CURL_ERROR_SIZE] = {};

    curl_slist* pHeaders = nullptr;
    for (const std::string& header :
         {std::string("Content-Type: application/x-www-form-urlencoded"), std::string("User-Agent: Mozilla/4.0"),
          std::string(kAccept), "Content-Length: " + std::to_string(post.strBody.size()), std::string("Expect:")}) {
        curl_slist* pNext = curl_slist_append(pHeaders, header.c_str());
        if (pNext == nullptr) {
            curl_slist_free_all(pHeaders);
            throw TReportDeliveryError("out of memory for the request headers");
        }
        pHeaders = pNext;
    }
    const std::unique_ptr<curl_slist, TCurlFree> headers(pHeaders);

    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, szError);
    curl_easy_setopt(h, CURLOPT_URL, post.strUrl.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https,http");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, post.strBody.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(post.strBody.size()));
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    // An empty proxy (not a null one) keeps curl from reading http_proxy and friends.
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(post.tConnectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(post.tIdleLimit.count()));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    const char* caBundle = std::getenv("ORLADESK_CA_BUNDLE");
    if (caBundle != nullptr && *caBundle != '\0') {
        curl_easy_setopt(h, CURLOPT_SSL_CTX_FUNCTION, &AddExtraCertificates);
        curl_easy_setopt(h, CURLOPT_SSL_CTX_DATA, caBundle);
    }
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &DiscardBody);

    const CURLcode rc = curl_easy_perform(h);
    if (rc != CURLE_OK)
        throw TReportDeliveryError(std::string(curl_easy_strerror(rc)) + (szError[0] ? std::string(": ") + szError : ""));
    long nStatus = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &nStatus);
    if (nStatus >= 400) throw TReportDeliveryError("the service answered with status " + std::to_string(nStatus));
    return nStatus;
}
