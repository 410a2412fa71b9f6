#include "core/network_host.h"

#include <pthread.h>
#include <boost/asio/post.hpp>

NetworkHost::NetworkHost() : workGuard_(boost::asio::make_work_guard(eventLoop_)) {}

NetworkHost::~NetworkHost() {
    closing_.store(true, std::memory_order_release);
    eventLoop_.stop();
    if (networkThread_.joinable()) {
        networkThread_.join();
    }
}

bool NetworkHost::login(int platformIndex, std::string roomId, MessageWindow& window,
                        const FeederFactories& factories) {
    if (feeder_ || networkThread_.joinable()) {
        return false;
    }
    feeder_ = createFeeder(platformIndex, eventLoop_, window, closing_, factories);
    if (!feeder_) {
        return false;
    }
    msgfeeder* feeder = feeder_.get();
    boost::asio::post(eventLoop_,
                      [feeder, room = std::move(roomId)]() mutable { feeder->start(std::move(room)); });
    networkThread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "networkThread");
        eventLoop_.run();
    });
    return true;
}

void NetworkHost::shutdown(MessageWindow& window) {
    closing_.store(true, std::memory_order_release);
    window.close();
    if (networkThread_.joinable()) {
        eventLoop_.stop();
        networkThread_.join();
    }
    feeder_.reset();
}
