// Name resolution that never holds up the event loop nor its shutdown.
//
// Each lookup runs on a detached thread of its own: a getaddrinfo that hangs
// (a dead DNS server) then costs a parked thread, not a frozen close. Asio's
// own resolver would do the lookup on an internal thread that the io_context
// joins when it is destroyed, which is exactly the wait we must not have.
// The result is posted back to the loop only while the request is still
// wanted; `cancel` (or destruction) makes sure `done` never runs.
//
// Threads: construct, `resolve`, `cancel` and destroy on the thread that runs
// the event loop (or after it stopped). `done` runs on the loop. The object
// must be destroyed before the io_context it was given.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platforms {

using Endpoints = std::vector<boost::asio::ip::tcp::endpoint>;

class HostResolver {
  public:
    // A blocking lookup; it runs on the detached thread. Tests pass one that
    // never returns, or one that answers at once.
    using Lookup = std::function<Endpoints(const std::string& host, const std::string& port,
                                           boost::system::error_code& error)>;
    using Done = std::function<void(const boost::system::error_code& error, Endpoints endpoints)>;

    explicit HostResolver(boost::asio::io_context& eventLoop, Lookup lookup = systemLookup);
    ~HostResolver();

    HostResolver(const HostResolver&) = delete;
    HostResolver& operator=(const HostResolver&) = delete;

    // Resolves `host` (a name or a numeric address) and `port` (a number),
    // cancelling any lookup still under way. A numeric address is answered
    // from the loop without a thread. `done` gets every address found, in the
    // resolver's order, or an error and none.
    void resolve(const std::string& host, const std::string& port, Done done);

    // The pending lookup's `done` will not run.
    void cancel();

    // getaddrinfo through Asio's synchronous resolver.
    static Endpoints systemLookup(const std::string& host, const std::string& port,
                                  boost::system::error_code& error);

  private:
    struct Request;

    boost::asio::io_context& eventLoop_;
    Lookup lookup_;
    std::shared_ptr<Request> pending_;
};

}  // namespace platforms
