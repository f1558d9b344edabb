#include "CurlApi_p.h"

#include <ZorCompCore/platform/Exception.h>

#include <dlfcn.h>

#include <mutex>

namespace zor::detail {

namespace {

void *Open(const char *soname)
{
    void *lib = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        throw Exception(QStringLiteral("Cannot load %1: %2")
                            .arg(QLatin1String(soname), QString::fromLocal8Bit(dlerror())));
    return lib;
}

template <class F>
void Bind(void *lib, const char *name, F &slot)
{
    slot = reinterpret_cast<F>(dlsym(lib, name));
    if (!slot)
        throw Exception(QStringLiteral("The loaded libcurl lacks %1").arg(QLatin1String(name)));
}

TCurlApi Load()
{
    TCurlApi api{};
    void *curl = Open(ZOR_CURL_SONAME);
    Bind(curl, "curl_global_init", api.global_init);
    Bind(curl, "curl_easy_init", api.easy_init);
    Bind(curl, "curl_easy_setopt", api.easy_setopt);
    Bind(curl, "curl_easy_perform", api.easy_perform);
    Bind(curl, "curl_easy_getinfo", api.easy_getinfo);
    Bind(curl, "curl_easy_cleanup", api.easy_cleanup);
    Bind(curl, "curl_easy_strerror", api.easy_strerror);
    Bind(curl, "curl_slist_append", api.slist_append);
    Bind(curl, "curl_slist_free_all", api.slist_free_all);
    // libcurl's own TLS library: already loaded with it.
    Bind(Open(ZOR_SSL_SONAME), "SSL_CTX_set_verify_depth", api.ssl_ctx_set_verify_depth);
    // curl_global_init is not thread-safe on older libcurl builds: once, here.
    api.global_init(CURL_GLOBAL_DEFAULT);
    return api;
}

} // namespace

const TCurlApi &Curl()
{
    // A failed load raises to this caller and is tried again by the next.
    static std::mutex lock;
    static TCurlApi api{};
    static bool loaded = false;
    std::lock_guard<std::mutex> guard(lock);
    if (!loaded) {
        api = Load();
        loaded = true;
    }
    return api;
}

} // namespace zor::detail
