// JSON from the network, read into a property tree without trusting its
// shape: the tree reader recurses once per nesting level, so a reply made of
// thousands of brackets would exhaust the stack. Real chat messages nest a
// handful of levels; anything deeper is refused before the reader sees it.
//
// Pure; any thread.
#pragma once

// The JSON reader pulls in the old bind header, which otherwise nags on every build.
#ifndef BOOST_BIND_GLOBAL_PLACEHOLDERS
#define BOOST_BIND_GLOBAL_PLACEHOLDERS
#endif
#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <sstream>
#include <string>
#include <string_view>

namespace platforms {

inline constexpr int kJsonMaxDepth = 64;

// True when `text` is a JSON document nested at most kJsonMaxDepth levels and
// the reader accepted it; `out` then holds its tree.
inline bool readBoundedJson(std::string_view text, boost::property_tree::ptree& out) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kJsonMaxDepth) {
                return false;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    try {
        std::istringstream in{std::string(text)};
        boost::property_tree::read_json(in, out);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace platforms
