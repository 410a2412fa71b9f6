#include "util/bounded_json.h"

// The JSON reader pulls in the old bind header, which otherwise nags on every build.
#ifndef BOOST_BIND_GLOBAL_PLACEHOLDERS
#define BOOST_BIND_GLOBAL_PLACEHOLDERS
#endif
#include <boost/property_tree/json_parser.hpp>
#include <sstream>
#include <string>

#include "util/json_reader.h"

namespace util {

bool readBoundedJson(std::string_view text, boost::property_tree::ptree& out) {
    // Unpaired brackets or an open string are no JSON either: the tree
    // reader would refuse them too.
    constexpr std::size_t kAny = static_cast<std::size_t>(-1);
    if (measureJson(text, JsonLimits{kAny, kJsonMaxDepth, kAny}) != JsonShape::Ok) {
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
