#include "core/session.h"

#include <algorithm>
#include <cassert>
#include <stdexcept>

namespace {

std::unique_ptr<SpeechService> makeSpeech(const SpeechServiceFactory& factory,
                                          boost::asio::io_context& loop) {
    std::unique_ptr<SpeechService> speech = factory ? factory(loop) : nullptr;
    if (!speech) {
        // A session that silently says nothing would look like a quiet room.
        throw std::invalid_argument("no speech engine");
    }
    return speech;
}

}  // namespace

Session::Session(const SpeechServiceFactory& speechFactory, FeederFactories feeders, Hooks hooks,
                 FilterCheck isFiltered)
    : hooks_(std::move(hooks)),
      feeders_(std::move(feeders)),
      window_(
          [this](unsigned message, std::unique_ptr<ChatEvent> record) {
              handleRoomMessage(mainTag_, message, std::move(record));
          },
          // Runs on the sending thread: the delivery is taken on the owner's.
          [this] {
              if (hooks_.post) {
                  hooks_.post([this] { window_.dispatchPending(); });
              }
          }),
      speech_(makeSpeech(speechFactory, host_.eventLoop())),
      rules_(*speech_, [this, isFiltered = std::move(isFiltered)](const std::string& text) {
          return isFiltered && isFiltered(filterWords_, text);
      }) {
    // From the speech worker: handed over to the owner thread.
    speech_->setStatusObserver([this](const std::string& line) {
        if (hooks_.post) {
            hooks_.post([this, line] { reportStatus(line); });
        }
    });
}

Session::~Session() {
    shutdown();
}

void Session::apply(const SessionSettings& settings) {
    speech_->applySettings(settings.speech);
    rules_.setSwitches(settings.switches);
}

Session::ExtraRoom::ExtraRoom(Session& session)
    : window(
          [this, &session](unsigned message, std::unique_ptr<ChatEvent> record) {
              session.handleRoomMessage(tag, message, std::move(record));
          },
          [this, &session] {
              if (session.hooks_.post) {
                  session.hooks_.post([this] { window.dispatchPending(); });
              }
          }) {}

bool Session::login(int platformIndex, std::string roomId, std::vector<RoomChoice> also) {
    // A login queued behind the shutdown (an early signal) must not start the
    // network side again.
    if (closing_ || host_.serving()) {
        return false;
    }
    mainTag_ = RoomTag{roomId, {}};
    if (!host_.login(platformIndex, std::move(roomId), window_, feeders_)) {
        return false;
    }
    roomCount_ = 1;
    std::vector<RoomChoice> started{RoomChoice{platformIndex, mainTag_.id}};
    for (RoomChoice& choice : also) {
        // The same room twice would read every line twice.
        if (std::find(started.begin(), started.end(), choice) != started.end()) {
            continue;
        }
        if (extrasReading_ == extras_.size()) {
            extras_.push_back(std::make_unique<ExtraRoom>(*this));
        }
        ExtraRoom& extra = *extras_[extrasReading_];
        extra.tag = RoomTag{choice.room, {}};
        if (extra.host.login(choice.platform, choice.room, extra.window, feeders_)) {
            ++extrasReading_;
            started.push_back(std::move(choice));
        }
    }
    roomCount_ = started.size();
    return true;
}

void Session::stopRooms() {
    host_.beginStop(window_);
    for (std::size_t i = 0; i < extrasReading_; ++i) {
        extras_[i]->host.beginStop(extras_[i]->window);
    }
    host_.stop(window_);
    for (std::size_t i = 0; i < extrasReading_; ++i) {
        extras_[i]->host.stop(extras_[i]->window);
    }
}

void Session::disconnect() {
    if (closing_) {
        return;
    }
    stopRooms();
    window_.reopen();
    for (std::size_t i = 0; i < extrasReading_; ++i) {
        extras_[i]->window.reopen();
    }
    extrasReading_ = 0;
    roomCount_ = 0;
}

void Session::shutdown() {
    closing_ = true;
    stopRooms();
    host_.shutdown(window_);
}

void Session::handleRoomMessage(RoomTag& tag, unsigned message, std::unique_ptr<ChatEvent> record) {
    if (record && roomCount_ > 1) {
        const std::string number = "[" + tag.id + "]";
        if (message == WM_FEEDER_STATUS) {
            tag.prefix = record->name;
            record->name += number;
        }
        record->room = tag.prefix + number;
    }
    handleMessage(message, std::move(record));
}

void Session::handleMessage(unsigned message, std::unique_ptr<ChatEvent> record) {
    assert(std::this_thread::get_id() == owner_);
    switch (message) {
        case WM_FEEDER_CHAT:
            rules_.onChatEvent(std::move(record));
            break;
        case WM_FEEDER_GIFT: {
            // Only a gift record carries a count; anything else is dropped.
            std::unique_ptr<GiftEvent> gift(dynamic_cast<GiftEvent*>(record.get()));
            if (gift) {
                record.release();
                rules_.onGiftEvent(std::move(gift));
            }
            break;
        }
        case WM_FEEDER_STATUS:
            if (record) {
                reportStatus(statusLine(*record));
            }
            break;
        case WM_FEEDER_ENTER:
            rules_.onEnterEvent(std::move(record));
            break;
        case WM_FEEDER_INTERACTION: {
            std::unique_ptr<InteractionEvent> interaction(dynamic_cast<InteractionEvent*>(record.get()));
            if (interaction) {
                record.release();
                rules_.onInteractionEvent(std::move(interaction));
            }
            break;
        }
        default:
            break;
    }
}

void Session::reportStatus(const std::string& gbkLine) {
    if (hooks_.status) {
        hooks_.status(gbkLine);
    }
}
