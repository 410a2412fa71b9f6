// Test texts are written in UTF-8; the program holds and speaks GBK.
#pragma once

#include <string>

#include "util/text.h"

inline std::string gbk(const std::string& utf8) {
    return util::utf8ToLocal(utf8);
}
