// The web API's request signature ("WBI"): two keys handed out by the nav
// endpoint are shuffled into a mixin key; the sorted, percent-encoded query
// with a time stamp, followed by that key, hashed with MD5, is the "w_rid"
// parameter.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bilibili {

using QueryParams = std::vector<std::pair<std::string, std::string>>;

// The file name without extension of a key's disguise as an image URL
// (".../wbi/7cd0...077c.png" gives "7cd0...077c").
std::string wbiKeyFromUrl(std::string_view url);

// The 32-character mixin key, or an empty text when the keys together are
// shorter than the shuffle table needs.
std::string mixinKey(std::string_view imgKey, std::string_view subKey);

// encodeURIComponent: unreserved ASCII kept, every other byte as %XX in
// upper case (a space is %20, never '+').
std::string encodeComponent(std::string_view text);

// The query to send: `params` with "wts" added, sorted by key, values without
// the characters !'()*, then "&w_rid=" and the signature.
std::string signedQuery(QueryParams params, std::string_view mixin, std::int64_t wts);

}  // namespace bilibili
