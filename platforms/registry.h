// The platform clients built into this program, by platform combo index:
// 0 Douyu, 1 Panda, 2 Zhanqi, 3 Longzhu.
#pragma once

#include "core/feeder.h"

namespace platforms {

const FeederFactories& feederFactories();

}  // namespace platforms
