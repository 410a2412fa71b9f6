#include "platforms/common/host_resolver.h"

#include <boost/asio/post.hpp>
#include <mutex>
#include <thread>

namespace platforms {

// Shared by the loop and the lookup thread. `done` is only ever touched on
// the loop's thread (taken out to run it, or dropped by `cancel`), so what it
// captures is never destroyed on the lookup thread.
struct HostResolver::Request {
    std::mutex mutex;
    bool cancelled = false;
    Done done;

    Done take() {
        std::lock_guard lock(mutex);
        cancelled = true;
        return std::move(done);
    }
};

HostResolver::HostResolver(boost::asio::io_context& eventLoop, Lookup lookup)
    : eventLoop_(eventLoop), lookup_(std::move(lookup)) {}

HostResolver::~HostResolver() {
    cancel();
}

void HostResolver::cancel() {
    if (pending_) {
        Done dropped = pending_->take();
    }
    pending_.reset();
}

void HostResolver::resolve(const std::string& host, const std::string& port, Done done) {
    cancel();
    auto request = std::make_shared<Request>();
    request->done = std::move(done);
    pending_ = request;

    boost::system::error_code error;
    auto address = boost::asio::ip::make_address(host, error);
    if (!error) {
        unsigned long number = 0;
        try {
            std::size_t used = 0;
            number = std::stoul(port, &used);
            if (used != port.size()) {
                number = 0;
            }
        } catch (const std::exception&) {
            number = 0;
        }
        Endpoints endpoints;
        if (number > 0 && number <= 0xFFFF) {
            endpoints.emplace_back(address, static_cast<unsigned short>(number));
        }
        boost::asio::post(eventLoop_, [request, endpoints = std::move(endpoints)] {
            if (auto done = request->take()) {
                auto e = endpoints.empty() ? make_error_code(boost::asio::error::invalid_argument)
                                           : boost::system::error_code();
                done(e, endpoints);
            }
        });
        return;
    }

    // The thread owns copies of everything it touches except the loop, and it
    // posts to the loop only under the request's lock while the request is
    // wanted: `cancel` runs before the loop is destroyed, so that post always
    // finds the loop alive.
    std::thread([request, lookup = lookup_, &eventLoop = eventLoop_, host, port] {
        boost::system::error_code lookupError;
        Endpoints endpoints = lookup(host, port, lookupError);
        if (!lookupError && endpoints.empty()) {
            lookupError = boost::asio::error::host_not_found;
        }
        std::lock_guard lock(request->mutex);
        if (request->cancelled) {
            return;
        }
        boost::asio::post(eventLoop, [request, lookupError, endpoints = std::move(endpoints)] {
            if (auto done = request->take()) {
                done(lookupError, lookupError ? Endpoints{} : endpoints);
            }
        });
    }).detach();
}

Endpoints HostResolver::systemLookup(const std::string& host, const std::string& port,
                                     boost::system::error_code& error) {
    boost::asio::io_context local;
    boost::asio::ip::tcp::resolver resolver(local);
    auto results = resolver.resolve(host, port, boost::asio::ip::tcp::resolver::numeric_service, error);
    Endpoints endpoints;
    if (!error) {
        for (const auto& entry : results) {
            endpoints.push_back(entry.endpoint());
        }
    }
    return endpoints;
}

}  // namespace platforms
