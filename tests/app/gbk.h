// Test texts are written in UTF-8; the program holds and speaks GBK, and reads
// the host's files in either.
#pragma once

#include <string>

#include "util/text.h"

inline std::string gbk(const std::string& utf8) {
    return util::utf8ToLocal(utf8);
}

// "encoding|text" from a golden file as the bytes of a file: gbk, utf8 or bom
// (UTF-8 after a byte-order mark); \r and \n stand for CR and LF.
inline std::string fileBytes(const std::string& side) {
    const std::size_t bar = side.find('|');
    std::string text;
    for (std::size_t i = bar + 1; i < side.size(); ++i) {
        const bool escape = side[i] == '\\' && i + 1 < side.size();
        text += escape ? (side[++i] == 'r' ? '\r' : '\n') : side[i];
    }
    const std::string encoding = side.substr(0, bar);
    return encoding == "gbk" ? util::utf8ToLocal(text) : encoding == "bom" ? "\xEF\xBB\xBF" + text : text;
}
