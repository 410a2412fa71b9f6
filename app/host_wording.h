// The host's wording as the announcement rules take it: the templates of the
// settings file and the nickname and word lists beside it.
//
// Threads: the user-interface thread (reads files).
#pragma once

#include <string>

#include "app/config_file.h"
#include "core/announcement_texts.h"

namespace app {

inline constexpr char kNicknameFileName[] = "昵称替换.txt";  // "name=how to say it" lines
inline constexpr char kWordFileName[] = "替换列表.txt";      // "from=to" lines

// The templates of `settings` in GBK and the two lists read like the filter
// list (GBK or UTF-8). Lines a list cannot use are skipped and counted in one
// message on standard error per file and load.
AnnouncementTexts hostWording(const Settings& settings, const std::string& nicknamePath,
                              const std::string& wordPath);

}  // namespace app
