#include "util/bounded_json.h"

// The JSON reader pulls in the old bind header, which otherwise nags on every build.
#ifndef BOOST_BIND_GLOBAL_PLACEHOLDERS
#define BOOST_BIND_GLOBAL_PLACEHOLDERS
#endif
#include <boost/property_tree/json_parser.hpp>
#include <sstream>
#include <string>

namespace util {

namespace {

// Counts brackets outside strings; stray closers never lower the count below
// zero, so they cannot buy room for deeper nesting later on.
bool nestsTooDeep(std::string_view text) {
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
                return true;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

}  // namespace

bool readBoundedJson(std::string_view text, boost::property_tree::ptree& out) {
    if (nestsTooDeep(text)) {
        return false;
    }
    try {
        std::istringstream in{std::string(text)};
        boost::property_tree::read_json(in, out);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace util
