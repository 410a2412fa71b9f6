// Feeds arbitrary bytes to every text helper that sees outside input. The first
// byte picks the helper, so one target covers them all; the input is copied to
// an exactly sized buffer so any read past it is caught.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "util/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    std::vector<char> exact(data + 1, data + size);
    std::string_view text(exact.data(), exact.size());
    switch (data[0] % 6) {
        case 0:
            (void)util::utf8ToLocal(text);
            break;
        case 1:
            (void)util::localToWide(text);
            break;
        case 2:
            (void)util::parseDecimal(text);
            break;
        case 3:
            (void)util::urlDecode(text);
            break;
        case 4:
            (void)util::fullWidthToHalfWidth(text);
            break;
        case 5: {
            std::u16string wide(exact.size() / 2, u'\0');
            for (std::size_t i = 0; i < wide.size(); ++i) {
                wide[i] = static_cast<char16_t>(static_cast<unsigned char>(exact[2 * i]) |
                                                (static_cast<unsigned char>(exact[2 * i + 1]) << 8));
            }
            (void)util::wideToLocal(wide);
            break;
        }
    }
    return 0;
}
