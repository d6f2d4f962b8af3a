#include "SliceGate.h"

SliceGate::SliceGate(std::vector<std::function<void(int)>> works) {
    for (auto& work : works) threads_.emplace_back([this, work = std::move(work)] { serve(work); });
}

SliceGate::~SliceGate() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        over_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void SliceGate::run(int slice) {
    std::unique_lock<std::mutex> lock(mutex_);
    slice_ = slice;
    unfinished_ = threads_.size();
    changed_.notify_all();
    changed_.wait(lock, [&] { return unfinished_ == 0; });
}

void SliceGate::serve(const std::function<void(int)>& work) {
    int done = -1;
    for (;;) {
        int slice;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return over_ || slice_ != done; });
            if (over_) return;
            slice = slice_;
        }
        work(slice);
        done = slice;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --unfinished_;
        }
        changed_.notify_all();
    }
}
