// Runs a fixed set of worker threads through a run cut into slices: every
// worker does its share of a slice, and the main thread takes its counts
// between slices, while the workers wait.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class SliceGate {
public:
    // Starts one thread per work; each is called with the slice's number.
    explicit SliceGate(std::vector<std::function<void(int)>> works);
    ~SliceGate();
    SliceGate(const SliceGate&) = delete;
    SliceGate& operator=(const SliceGate&) = delete;

    // Lets every worker run the slice and waits until all have finished it.
    void run(int slice);

private:
    void serve(const std::function<void(int)>& work);

    std::mutex mutex_;
    std::condition_variable changed_;
    int slice_ = -1;
    size_t unfinished_ = 0;
    bool over_ = false;
    std::vector<std::thread> threads_;
};
