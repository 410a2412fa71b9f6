// Cases kept as data under tests/data: each "in:" line is followed by the
// "out:" line expected for it (an empty expectation when there is none); other
// lines are notes. A "\0" at the end of an input stands for a NUL byte; "\xHH"
// anywhere on either line stands for that byte.
#pragma once

#include <sstream>
#include <string>
#include <string_view>
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

// `bytes` as lower-case hex digits, for golden lines of binary messages; and back.
inline std::string hexOf(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += {digits[c >> 4], digits[c & 15]};
    }
    return out;
}

inline std::string fromHex(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    }
    return out;
}

inline std::vector<GoldenCase> goldenCases(const std::string& path) {
    std::istringstream file(testData(path));
    std::vector<GoldenCase> cases;
    std::string line;
    while (std::getline(file, line)) {
        if (line.starts_with("in:")) {
            std::string input = goldenBytes(line.substr(3));
            if (input.ends_with("\\0")) {
                input.replace(input.size() - 2, 2, 1, '\0');
            }
            cases.push_back({input, ""});
        } else if (line.starts_with("out:") && !cases.empty()) {
            cases.back().out = goldenBytes(line.substr(4));
        }
    }
    return cases;
}

}  // namespace testing_support
