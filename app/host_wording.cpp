#include "app/host_wording.h"

#include <iostream>

#include "app/filter_list.h"
#include "util/text.h"

namespace app {

namespace {

std::shared_ptr<const Replacements> loadList(const std::string& path) {
    auto list = std::make_shared<Replacements>();
    const std::size_t skipped = list->addLines(loadFilterList(path));
    if (skipped != 0) {
        std::cerr << path << ": " << skipped << " line(s) without \"from=to\" (or a \"from\" over "
                  << Replacements::kMaxKeyBytes << " bytes) skipped\n";
    }
    // An empty list costs nothing per line when absent.
    return list->empty() ? nullptr : std::shared_ptr<const Replacements>(std::move(list));
}

}  // namespace

AnnouncementTexts hostWording(const Settings& settings, const std::string& nicknamePath,
                              const std::string& wordPath) {
    AnnouncementTexts texts;
    texts.chat = util::utf8ToLocal(settings.chatTemplate);
    texts.gift = util::utf8ToLocal(settings.giftTemplate);
    texts.welcome = util::utf8ToLocal(settings.welcomeTemplate);
    texts.follow = util::utf8ToLocal(settings.followTemplate);
    texts.paid = util::utf8ToLocal(settings.paidTemplate);
    texts.minGiftValue = settings.minGiftValue;
    texts.nicknames = loadList(nicknamePath);
    texts.words = loadList(wordPath);
    return texts;
}

}  // namespace app
