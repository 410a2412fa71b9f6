// An event loop on a thread of its own, as the network host runs it, for tests
// of the connection classes: `call` runs a function on the loop and waits.
#pragma once

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <future>
#include <optional>
#include <thread>

namespace testing_support {

class LoopThread {
  public:
    LoopThread() : guard_(io_.get_executor()), thread_([this] { io_.run(); }) {}
    ~LoopThread() { stop(); }

    boost::asio::io_context& io() { return io_; }

    template <typename F>
    auto call(F f) {
        std::packaged_task<decltype(f())()> task(std::move(f));
        auto result = task.get_future();
        boost::asio::post(io_, [&task] { task(); });
        return result.get();
    }

    void stop() {
        guard_.reset();
        io_.stop();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

  private:
    boost::asio::io_context io_;
    std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> guard_;
    std::thread thread_;
};

}  // namespace testing_support
