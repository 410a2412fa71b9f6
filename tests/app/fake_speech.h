// A speech engine that keeps what it is given: the queue with its bound, the
// gifts and the settings.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "core/speech_service.h"

class FakeSpeech : public SpeechService {
  public:
    void pushText(std::string text, bool atFront) override {
        std::lock_guard lock(mutex_);
        if (atFront) {
            queue_.push_front(std::move(text));
        } else if (static_cast<int>(queue_.size()) < settings_.queueLimit) {
            queue_.push_back(std::move(text));
        }
    }
    bool addGift(const GiftEvent& gift) override {
        std::lock_guard lock(mutex_);
        gifts_.push_back(gift);
        return true;
    }
    void applySettings(const SpeechSettings& settings) override {
        std::lock_guard lock(mutex_);
        settings_ = settings;
        ++applied_;
    }
    int loginSdk() override {
        std::lock_guard lock(mutex_);
        ++logins_;
        return 0;
    }
    void setSpeakObserver(SpeakObserver) override {}

    std::deque<std::string> queue() const {
        std::lock_guard lock(mutex_);
        return queue_;
    }
    std::vector<GiftEvent> gifts() const {
        std::lock_guard lock(mutex_);
        return gifts_;
    }
    SpeechSettings settings() const {
        std::lock_guard lock(mutex_);
        return settings_;
    }
    int applied() const {
        std::lock_guard lock(mutex_);
        return applied_;
    }
    int logins() const {
        std::lock_guard lock(mutex_);
        return logins_;
    }

  private:
    mutable std::mutex mutex_;
    std::deque<std::string> queue_;
    std::vector<GiftEvent> gifts_;
    SpeechSettings settings_;
    int applied_ = 0;
    int logins_ = 0;
};
