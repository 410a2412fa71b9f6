// The platforms built into this program, in the order of the dialog's list:
// every place that shows, checks or loops over the platforms reads this list
// (the dialog, the command line's help, the demo, the hosts from the
// environment, the settings' range check). Each entry is defined in its
// platform's folder.
//
// Threads: any; the list and its entries are constants.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/feeder.h"
#include "core/platform_hosts.h"
#include "platforms/common/platform_entry.h"

namespace platforms {

// Every entry, by index.
std::span<const PlatformEntry* const> catalogue();

// The entry at `index`, or null outside the list.
const PlatformEntry* entryAt(int index);

// Each entry's kind of room id, by index.
std::vector<RoomIdKind> roomKinds();

// Factories whose clients connect to `hosts` (copied into each factory).
FeederFactories feederFactories(const PlatformHosts& hosts);

// Every host variable with its default: each entry's in list order, then
// those every living client reads.
std::vector<HostVariable> hostVariables();

// Sets the value of `variable`; false, changing nothing, for a name that is
// not in hostVariables() or an empty value (which keeps the default).
bool setHost(PlatformHosts& hosts, std::string_view variable, std::string value);

}  // namespace platforms
