// Running `count` independent jobs on up to `threads` threads. Jobs are taken in index order
// as threads come free; the caller's job function must keep its results apart by index.
#pragma once

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace Batch {

template <class Job>
void RunOnWorkers(int count, int threads, Job job) {
    const int workers = std::max(1, std::min(threads, count));
    std::atomic<int> nextJob{0};
    auto work = [&](int worker) {
        for (int index = nextJob++; index < count; index = nextJob++) job(worker, index);
    };
    if (workers == 1) {
        work(0);
        return;
    }
    std::vector<std::thread> pool;
    for (int w = 0; w < workers; ++w) pool.emplace_back(work, w);
    for (std::thread& thread : pool) thread.join();
}

}  // namespace Batch
