#pragma once

#include "app/AppSettings.h"
#include "platform/http/HttpClient.h"

class CAppContext;

// What a transfer does when the settings name no proxy of their own: feeds, pages and pictures
// go the way the environment says (http_proxy, no_proxy), the weblog interfaces go direct.
enum class ProxyFallback { kEnvironment, kDirect };

// The one place where the proxy settings become the proxy of a transfer; every window, cli
// command and use-case that fetches takes its proxy from here.
class CProxySetup {
public:
    // The proxy the given settings ask for.
    static HttpProxy FromSettings(const ProxySettings& settings, ProxyFallback fallback);
    // The settings as the context's file holds them now. A file that cannot be read is reported
    // through the context's reporter (by default the calling thread's, so call it where a
    // failure may be shown) and gives the fallback, as settings without a proxy do.
    static HttpProxy Read(const CAppContext& context, ProxyFallback fallback);
};
