// The platform clients built into this program, by platform combo index:
// 0 Douyu (2016), 1 Panda, 2 Zhanqi, 3 Longzhu, 4 Bilibili live, 5 Douyu today.
#pragma once

#include "core/feeder.h"
#include "core/platform_hosts.h"

namespace platforms {

// Factories whose clients connect to `hosts` (copied into each factory).
FeederFactories feederFactories(const PlatformHosts& hosts);

}  // namespace platforms
