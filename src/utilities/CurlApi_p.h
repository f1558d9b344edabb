// libcurl (and the one libssl call the HTTP client makes) loaded on first
// use. Linking them would load libcurl and its TLS, compression and
// directory-service libraries, two dozen in all, into every program at
// start-up, although most runs never go online. Not part of the public API.
#pragma once

#ifndef CURL_DISABLE_TYPECHECK
#define CURL_DISABLE_TYPECHECK // calls go through the table below
#endif
#include <curl/curl.h>

namespace zor::detail {

struct TCurlApi
{
    CURLcode (*global_init)(long flags);
    CURL *(*easy_init)();
    CURLcode (*easy_setopt)(CURL *curl, CURLoption option, ...);
    CURLcode (*easy_perform)(CURL *curl);
    CURLcode (*easy_getinfo)(CURL *curl, CURLINFO info, ...);
    void (*easy_cleanup)(CURL *curl);
    const char *(*easy_strerror)(CURLcode code);
    curl_slist *(*slist_append)(curl_slist *list, const char *text);
    void (*slist_free_all)(curl_slist *list);
    // libssl's SSL_CTX_set_verify_depth, for the TLS context libcurl hands out.
    void (*ssl_ctx_set_verify_depth)(void *ctx, int depth);
};

// Loads the libraries once (and runs curl_global_init); raises zor::Exception
// naming the library when it is missing.
const TCurlApi &Curl();

} // namespace zor::detail
