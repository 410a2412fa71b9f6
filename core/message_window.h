// The dialog's message window: how the network thread hands event records to
// the user-interface thread.
//
// `send` blocks its caller until the owner thread has run the handler with the
// record, which paces a platform client to the dialog. Once the window is
// closed, a send still waiting and every later send return at once; the record
// is destroyed either way, so no path leaks or frees it twice.
//
// Threads: `send` from any thread but the owner's; `dispatchPending` and
// `waitAndDispatch` and `reopen` on the owner (user-interface) thread only; `close` and
// `isClosed` from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "core/events.h"

class MessageWindow {
  public:
    using Handler = std::function<void(unsigned message, std::unique_ptr<ChatEvent> record)>;
    // Called on the sending thread after a delivery was queued, so that the
    // owner's event loop can schedule `dispatchPending` (for Qt, a queued call).
    using Waker = std::function<void()>;

    explicit MessageWindow(Handler handler, Waker waker = {});
    ~MessageWindow();

    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // True when the handler ran with the record; false when the window was
    // closed before the delivery was taken.
    bool send(unsigned message, std::unique_ptr<ChatEvent> record);

    // Runs the handler for every delivery queued now; returns how many ran.
    std::size_t dispatchPending();

    // Waits up to `timeout` for a delivery, then dispatches what is queued.
    // Returns the number dispatched.
    std::size_t waitAndDispatch(std::chrono::milliseconds timeout);

    // Stops taking deliveries and releases every waiting sender. Idempotent.
    void close();
    bool isClosed() const;
    // Takes deliveries again, for the next room. Owner thread, once no sender
    // of the closed room is left (its network thread joined).
    void reopen();

  private:
    struct Delivery {
        unsigned message;
        std::unique_ptr<ChatEvent> record;
        bool taken = false;
        bool done = false;
    };

    Handler handler_;
    Waker waker_;
    mutable std::mutex mutex_;
    std::condition_variable delivered_;  // senders wait here
    std::condition_variable queued_;     // waitAndDispatch waits here
    std::deque<Delivery*> queue_;
    bool closed_ = false;
};
