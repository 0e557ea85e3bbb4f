#pragma once

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

// The longest the main thread took to get to a call posted to it every 5 ms
// from another thread: how long it could not answer the user.
class StallProbe {
public:
    StallProbe()
        : worstNs_(std::make_shared<std::atomic<long long>>(0))
        , thread_([this] {
            while (!stop_) {
                const auto sent = std::chrono::steady_clock::now();
                QMetaObject::invokeMethod(QCoreApplication::instance(), [worst = worstNs_, sent] {
                    const long long waited = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                 std::chrono::steady_clock::now() - sent).count();
                    long long seen = worst->load();
                    while (waited > seen && !worst->compare_exchange_weak(seen, waited)) {
                    }
                }, Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        })
    {
    }
    ~StallProbe() { finish(); }

    // Stops probing; calls still queued are answered and counted. In
    // milliseconds.
    double finish()
    {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
            QCoreApplication::processEvents();
        }
        return double(worstNs_->load()) / 1e6;
    }

private:
    std::shared_ptr<std::atomic<long long>> worstNs_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
