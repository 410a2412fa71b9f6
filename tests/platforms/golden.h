// Cases kept as data under tests/data: each "in:" line is followed by the
// "out:" line expected for it; other lines are notes. A "\0" at the end of an
// input stands for a NUL byte; "\xHH" anywhere on either line stands for that byte.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "test_data.h"

namespace testing_support {

struct GoldenCase {
    std::string in;
    std::string out;
};

inline std::string goldenBytes(std::string line) {
    for (auto at = line.find("\\x"); at != std::string::npos && at + 4 <= line.size();
         at = line.find("\\x", at + 1)) {
        line.replace(at, 4, 1, static_cast<char>(std::stoi(line.substr(at + 2, 2), nullptr, 16)));
    }
    return line;
}

inline std::vector<GoldenCase> goldenCases(const std::string& path) {
    std::istringstream file(testData(path));
    std::vector<GoldenCase> cases;
    std::string line, input;
    while (std::getline(file, line)) {
        if (line.starts_with("in:")) {
            input = goldenBytes(line.substr(3));
            if (input.ends_with("\\0")) {
                input.replace(input.size() - 2, 2, 1, '\0');
            }
        } else if (line.starts_with("out:")) {
            cases.push_back({input, goldenBytes(line.substr(4))});
        }
    }
    return cases;
}

}  // namespace testing_support
