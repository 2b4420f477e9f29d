#include "discovery/socks5_proxy.hpp"

bool is_socks5_proxy(const std::string& proxy_server)
{
    return proxy_server.compare(0, 9, "socks5://") == 0;
}
