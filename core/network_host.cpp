#include "core/network_host.h"

#include <pthread.h>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>

NetworkHost::NetworkHost() = default;

NetworkHost::~NetworkHost() {
    closing_.store(true, std::memory_order_release);
    if (roomLoop_) {
        roomLoop_->stop();
    }
    if (networkThread_.joinable()) {
        networkThread_.join();
    }
    feeder_.reset();
    roomLoop_.reset();
}

bool NetworkHost::login(int platformIndex, std::string roomId, MessageWindow& window,
                        const FeederFactories& factories) {
    if (shutDown_ || feeder_ || networkThread_.joinable()) {
        return false;
    }
    // Every thread of the previous room is joined: nobody reads the flag now.
    closing_.store(false, std::memory_order_release);
    auto loop = std::make_unique<boost::asio::io_context>();
    feeder_ = createFeeder(platformIndex, *loop, window, closing_, factories);
    if (!feeder_) {
        return false;
    }
    roomLoop_ = std::move(loop);
    msgfeeder* feeder = feeder_.get();
    boost::asio::post(*roomLoop_,
                      [feeder, room = std::move(roomId)]() mutable { feeder->start(std::move(room)); });
    networkThread_ = std::thread([loop = roomLoop_.get()] {
        pthread_setname_np(pthread_self(), "networkThread");
        // Idle between a client's connections (a restart's pause) is not the end.
        auto guard = boost::asio::make_work_guard(*loop);
        loop->run();
    });
    return true;
}

void NetworkHost::beginStop(MessageWindow& window) {
    closing_.store(true, std::memory_order_release);
    window.close();
    if (roomLoop_) {
        roomLoop_->stop();
    }
}

void NetworkHost::stop(MessageWindow& window) {
    beginStop(window);
    if (networkThread_.joinable()) {
        networkThread_.join();
    }
    feeder_.reset();
    roomLoop_.reset();
}

void NetworkHost::shutdown(MessageWindow& window) {
    shutDown_ = true;
    stop(window);
}
