#include "core/message_window.h"

MessageWindow::MessageWindow(Handler handler, Waker waker)
    : handler_(std::move(handler)), waker_(std::move(waker)) {}

MessageWindow::~MessageWindow() {
    close();
}

bool MessageWindow::send(unsigned message, std::unique_ptr<ChatEvent> record) {
    Delivery delivery{message, std::move(record)};
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return false;
        }
        queue_.push_back(&delivery);
    }
    queued_.notify_one();
    if (waker_) {
        waker_();
    }
    std::unique_lock lock(mutex_);
    // A delivery the owner has taken is finished by the handler even when the
    // window closes meanwhile: the handler owns the record by then.
    delivered_.wait(lock, [&] { return delivery.done || (closed_ && !delivery.taken); });
    return delivery.done;
}

std::size_t MessageWindow::dispatchPending() {
    std::size_t count = 0;
    for (;;) {
        Delivery* delivery = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (closed_ || queue_.empty()) {
                return count;
            }
            delivery = queue_.front();
            queue_.pop_front();
            delivery->taken = true;
        }
        handler_(delivery->message, std::move(delivery->record));
        {
            std::lock_guard lock(mutex_);
            delivery->done = true;
        }
        delivered_.notify_all();
        ++count;
    }
}

std::size_t MessageWindow::waitAndDispatch(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(mutex_);
        queued_.wait_for(lock, timeout, [&] { return closed_ || !queue_.empty(); });
    }
    return dispatchPending();
}

void MessageWindow::close() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        closed_ = true;
        queue_.clear();  // the senders own these deliveries and free them on return
    }
    delivered_.notify_all();
    queued_.notify_all();
}

void MessageWindow::reopen() {
    std::lock_guard lock(mutex_);
    closed_ = false;
}

bool MessageWindow::isClosed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}
