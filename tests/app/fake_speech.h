// A speech engine that keeps what it is given. The dialog calls it on the
// user-interface thread only, where the tests read it too.
#pragma once

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "core/speech_service.h"

struct FakeSpeech : SpeechService {
    std::deque<std::string> queue;
    std::vector<GiftEvent> gifts;
    SpeechSettings settings;
    int applied = 0;
    ReaderSnapshot reader;  // what snapshot() reports
    ReaderObserver readerObserver;
    int skips = 0;
    std::vector<std::string> devices;   // what outputDevices() lists
    std::vector<std::string> selected;  // every device asked for
    int clears = 0;
    std::vector<std::string> droppedViewers;

    std::vector<SpeechKind> kinds;  // of every item pushed, in order

    void pushItem(SpeechItem item) override {
        kinds.push_back(item.kind);
        pushText(std::move(item.text), item.kind == SpeechKind::Welcome || item.kind == SpeechKind::Gift);
    }
    void pushText(std::string text, bool atFront) override {
        // Bounding the queue is the engine's own concern, tested there.
        atFront ? queue.push_front(std::move(text)) : queue.push_back(std::move(text));
    }
    bool addGift(const GiftEvent& gift) override {
        gifts.push_back(gift);
        return true;
    }
    void applySettings(const SpeechSettings& s) override {
        settings = s;
        ++applied;
    }
    int loginSdk() override { return 0; }
    void setSpeakObserver(SpeakObserver) override {}
    ReaderSnapshot snapshot() const override { return reader; }
    void setReaderObserver(ReaderObserver observer) override { readerObserver = std::move(observer); }
    void skip() override { ++skips; }
    void clear() override { ++clears; }
    void dropViewer(const std::string& name) override { droppedViewers.push_back(name); }
    void setPaused(bool paused) override { reader.paused = paused; }
    bool paused() const override { return reader.paused; }
    std::vector<std::string> outputDevices() override { return devices; }
    OutputDeviceResult selectOutputDevice(const std::string& name) override {
        selected.push_back(name);
        if (name.empty()) {
            return OutputDeviceResult::Default;
        }
        const bool listed = std::find(devices.begin(), devices.end(), name) != devices.end();
        return listed ? OutputDeviceResult::Named : OutputDeviceResult::FellBackToDefault;
    }
    StatusObserver statusObserver;
    void setStatusObserver(StatusObserver observer) override { statusObserver = std::move(observer); }
};
