#include "common/on_proxy_fail.hpp"

bool blocks_failed_launch(const LaunchSettings& settings)
{
    return settings.on_proxy_fail == "block";
}
