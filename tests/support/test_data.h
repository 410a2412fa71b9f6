// The sample files under tests/data, read whole.
#pragma once

#include <string>

#include "temp_dir.h"

namespace testing_support {

// The bytes of tests/data/`path`; empty when the file is missing.
inline std::string testData(const std::string& path) {
    return readFile(std::string(SONARO_TEST_DATA) + "/" + path);
}

}  // namespace testing_support
