#include "app/ProxySetup.h"
#include "app/AppContext.h"

HttpProxy CProxySetup::FromSettings(const ProxySettings& settings, ProxyFallback fallback) {
    HttpProxy proxy;
    if (!settings.use) {
        proxy.mode = fallback == ProxyFallback::kDirect ? HttpProxy::Mode::kDirect
                                                        : HttpProxy::Mode::kSystem;
        return proxy;
    }
    proxy.mode = HttpProxy::Mode::kManual;
    proxy.useForLocalHosts = settings.localProxyUse != 0;
    proxy.server = settings.server;
    proxy.port = settings.port;
    proxy.userName = settings.userName;
    proxy.password = settings.password;
    return proxy;
}

HttpProxy CProxySetup::Read(const CAppContext& context, ProxyFallback fallback) {
    // Settings that cannot be read (reported by the read) name no proxy: the fallback serves.
    ProxySettings settings;
    if (!context.Settings().ReadProxySettings(settings))
        settings = ProxySettings{};
    return FromSettings(settings, fallback);
}
