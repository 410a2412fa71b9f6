// The sample files under tests/data, read whole.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace testing_support {

// The bytes of tests/data/`path`; empty when the file is missing.
inline std::string testData(const std::string& path) {
    std::ifstream in(std::string(SONARO_TEST_DATA) + "/" + path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace testing_support
