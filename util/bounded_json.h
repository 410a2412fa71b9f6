// JSON from the network, read into a property tree without trusting its
// shape: the tree reader recurses once per nesting level, so a reply made of
// thousands of brackets would exhaust the stack. Real replies nest a handful
// of levels; anything deeper is refused before the reader sees it.
//
// Pure; any thread.
#pragma once

#include <boost/property_tree/ptree.hpp>
#include <string_view>

namespace util {

inline constexpr int kJsonMaxDepth = 64;

// True when `text` is a JSON document nested at most kJsonMaxDepth levels and
// the reader accepted it; `out` then holds its tree.
bool readBoundedJson(std::string_view text, boost::property_tree::ptree& out);

}  // namespace util
