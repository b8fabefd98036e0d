// The pool against a plain mutex + condition-variable queue, and the shared buffer against a
// std::deque<std::string> under a mutex. items_per_second is tasks/s or texts/s.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "concurrency/shared_buffer.h"
#include "concurrency/thread_pool.h"

namespace {

constexpr int kTasks = 1000000;
constexpr int kTexts = 1000000;
constexpr int kWorkers = 4;

void PoolEmptyTasks(benchmark::State& state) {
    for (auto _ : state) {
        lanque::ThreadPool pool;
        pool.Create(kWorkers);
        for (int i = 0; i < kTasks; ++i) {
            pool.Submit([](int, int) {}, i);
        }
        pool.Stop(1);  // returns when every task has run
    }
    state.SetItemsProcessed(state.iterations() * kTasks);
}
BENCHMARK(PoolEmptyTasks)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// The baseline: the usual hand-written queue of std::function with four threads.
void PlainQueueEmptyTasks(benchmark::State& state) {
    for (auto _ : state) {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<std::function<void()>> queue;
        bool done = false;
        std::vector<std::thread> workers;
        for (int w = 0; w < kWorkers; ++w) {
            workers.emplace_back([&] {
                for (;;) {
                    std::function<void()> task;
                    {
                        std::unique_lock lock(mutex);
                        ready.wait(lock, [&] { return done || !queue.empty(); });
                        if (queue.empty()) {
                            return;
                        }
                        task = std::move(queue.front());
                        queue.pop_front();
                    }
                    task();
                }
            });
        }
        for (int i = 0; i < kTasks; ++i) {
            {
                std::lock_guard lock(mutex);
                queue.push_back([i] { benchmark::DoNotOptimize(i); });
            }
            ready.notify_one();
        }
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        ready.notify_all();
        for (auto& worker : workers) {
            worker.join();
        }
    }
    state.SetItemsProcessed(state.iterations() * kTasks);
}
BENCHMARK(PlainQueueEmptyTasks)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

std::vector<std::string> ShortTexts() {
    std::vector<std::string> texts;
    texts.reserve(kTexts);
    for (int i = 0; i < kTexts; ++i) {
        texts.push_back("http://127.0.0.1/s?id=" + std::to_string(i) + "|kw");
    }
    return texts;
}

const std::vector<std::string>& Texts() {
    static const std::vector<std::string> texts = ShortTexts();
    return texts;
}

// The deque under a mutex, with the buffer's interface.
class DequeQueue {
public:
    bool PushText(const std::string& text) {
        std::lock_guard lock(m_mutex);
        m_items.push_back(text);
        return true;
    }
    bool PopText(std::string& text) {
        std::lock_guard lock(m_mutex);
        if (m_items.empty()) {
            text.clear();
            return false;
        }
        text = std::move(m_items.front());
        m_items.pop_front();
        return true;
    }

private:
    std::mutex m_mutex;
    std::deque<std::string> m_items;
};

// Pushes and pops in batches, as the search and article tasks keep the queue short.
template <typename Queue>
void BatchedPushPop(benchmark::State& state) {
    const auto& texts = Texts();
    const int batch = static_cast<int>(state.range(0));
    Queue queue;  // one queue for the whole run, as the program keeps one buffer
    std::string out;
    for (auto _ : state) {
        for (int i = 0; i < kTexts; i += batch) {
            for (int j = i; j < i + batch && j < kTexts; ++j) {
                queue.PushText(texts[j]);
            }
            for (int j = i; j < i + batch && j < kTexts; ++j) {
                queue.PopText(out);
                benchmark::DoNotOptimize(out.data());
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kTexts);
}
BENCHMARK(BatchedPushPop<lanque::SharedBuffer>)
    ->Name("SharedBuffer/batch")
    ->Arg(64)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BatchedPushPop<DequeQueue>)
    ->Name("DequeMutex/batch")
    ->Arg(64)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);

// One producer thread and one consumer thread at once.
template <typename Queue>
void ProducerConsumer(benchmark::State& state) {
    const auto& texts = Texts();
    Queue queue;
    for (auto _ : state) {
        std::thread producer([&] {
            for (const auto& text : texts) {
                queue.PushText(text);
            }
        });
        std::string out;
        for (int popped = 0; popped < kTexts;) {
            if (queue.PopText(out)) {
                ++popped;
            }
        }
        producer.join();
    }
    state.SetItemsProcessed(state.iterations() * kTexts);
}
BENCHMARK(ProducerConsumer<lanque::SharedBuffer>)
    ->Name("SharedBuffer/threads")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(ProducerConsumer<DequeQueue>)
    ->Name("DequeMutex/threads")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Every text pushed before the first pop: the worst case for the buffer, which moves what remains to
// the front each time one growth step has been consumed.
template <typename Queue>
void FillThenDrain(benchmark::State& state) {
    const auto& texts = Texts();
    const int count = static_cast<int>(state.range(0));
    Queue queue;
    std::string out;
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            queue.PushText(texts[i]);
        }
        for (int i = 0; i < count; ++i) {
            queue.PopText(out);
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(FillThenDrain<lanque::SharedBuffer>)
    ->Name("SharedBuffer/fill")
    ->Arg(10000)
    ->Arg(kTexts)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(FillThenDrain<DequeQueue>)
    ->Name("DequeMutex/fill")
    ->Arg(10000)
    ->Arg(kTexts)
    ->Unit(benchmark::kMillisecond);

}  // namespace
