#include "platforms/historic/douyu/douyu_link.h"

namespace douyu {

const platforms::FrameRule& frameRule() {
    static const platforms::FrameRule rule{
        kHeaderSize, [](std::string_view header) -> std::optional<std::size_t> {
            return bodyLengthOf(reinterpret_cast<const std::uint8_t*>(header.data()));
        }};
    return rule;
}

void DouyuLink::readFrame(FrameHandler handler) {
    using Outcome = platforms::StreamConnection::ReadOutcome;
    connection_.readFrame(frameRule(),
                          [handler = std::move(handler)](Outcome outcome, std::string_view body) {
                              handler(outcome == Outcome::Frame           ? ReadOutcome::Text
                                      : outcome == Outcome::HeaderFailure ? ReadOutcome::HeaderFailure
                                                                          : ReadOutcome::BodyFailure,
                                      body);
                          });
}

}  // namespace douyu
