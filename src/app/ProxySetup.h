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
    // The settings as the context's file holds them now. A file that cannot be read has been
    // reported by the read (through the reporter of the calling thread, so call it where a
    // failure may be shown) and leaves the environment's proxy.
    static HttpProxy Read(const CAppContext& context, ProxyFallback fallback);
};
