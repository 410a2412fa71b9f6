#include "platforms/common/frame_rule.h"

namespace platforms {

bool FrameAssembler::feed(std::string_view message,
                          const std::function<void(std::string_view header, std::string_view body)>& frame) {
    buffer_.append(message);
    std::size_t used = 0;
    bool intact = true;
    while (buffer_.size() - used >= rule_.headerLength) {
        std::string_view rest(buffer_.data() + used, buffer_.size() - used);
        auto body = rule_.bodyLength(rest.substr(0, rule_.headerLength));
        if (!body) {
            intact = false;
            break;
        }
        if (rest.size() - rule_.headerLength < *body) {
            break;
        }
        used += rule_.headerLength + *body;
        frame(rest.substr(0, rule_.headerLength), rest.substr(rule_.headerLength, *body));
    }
    if (intact) {
        buffer_.erase(0, used);
    } else {
        buffer_.clear();
    }
    return intact;
}

}  // namespace platforms
