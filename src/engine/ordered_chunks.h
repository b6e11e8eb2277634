// Chunks computed side by side and consumed strictly in index order.
//
//   run_in_order<Chunk>(count, workers,
//       [&](std::size_t i, Chunk &c) { ...compute chunk i into c... },
//       [&](std::size_t i, Chunk &c) { ...write chunk i...; return ok; });
//
// `render` runs on `workers` threads at once, each call on a slot of its
// own; `consume` runs on the calling thread, for chunk 0, 1, 2, ... in this
// order and only once that chunk's render has returned.
//
// The order holds by construction, whatever the scheduler does: the slots
// form a ring of 2 x workers cells, chunk i may only use cell i % cells,
// and a cell records the one chunk index allowed in it next (its turn). A
// worker that claimed chunk i waits until the cell's turn is i, which it
// becomes only when the consumer has finished chunk i - cells; the consumer
// waits until the cell holds chunk i rendered. A worker holding a later
// chunk for the same cell can never take it first, and the consumer checks
// the index it is handed.
//
// With `workers` at most 1 no thread is started: each chunk is rendered and
// consumed in turn on the calling thread. Memory is bounded by the cells,
// not by the count.
#ifndef TAVO_ENGINE_ORDERED_CHUNKS_H
#define TAVO_ENGINE_ORDERED_CHUNKS_H

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tavo::engine {

namespace ordered_chunks_detail {

template <class Slot>
class Ring {
public:
    Ring(std::size_t count, std::size_t cells) : count_(count), cells_(cells)
    {
        for (std::size_t k = 0; k < cells; k++)
            cells_[k].turn = k;
    }

    // A worker's loop: claims the next chunk, waits for its cell's turn,
    // renders and marks the cell ready. Returns when every chunk is
    // claimed or the run has stopped.
    template <class Render>
    void work(Render& render)
    {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            if (stopped_ || next_ == count_)
                return;
            const std::size_t i = next_++;
            Cell& cell = cells_[i % cells_.size()];
            changed_.wait(lock, [&] { return stopped_ || cell.turn == i; });
            if (stopped_)
                return;
            lock.unlock();
            try {
                render(i, cell.slot);
            } catch (...) {
                stop(std::current_exception());
                return;
            }
            lock.lock();
            cell.ready = true;
            changed_.notify_all();
        }
    }

    // The consumer's loop, on the calling thread. Returns false after the
    // first consume() that returns false or when the run was stopped.
    template <class Consume>
    bool consume_all(Consume& consume)
    {
        for (std::size_t i = 0; i < count_; i++) {
            Cell& cell = cells_[i % cells_.size()];
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stopped_ || (cell.turn == i && cell.ready); });
                if (stopped_)
                    return false;
            }
            // The cell is ours alone until its turn moves on.
            bool ok = false;
            try {
                ok = consume(i, cell.slot);
            } catch (...) {
                stop(std::current_exception());
                return false;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            cell.ready = false;
            cell.turn = i + cells_.size();
            if (!ok)
                stopped_ = true;
            changed_.notify_all();
            if (!ok)
                return false;
        }
        return true;
    }

    void stop(std::exception_ptr error = nullptr)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (error && !error_)
            error_ = error;
        stopped_ = true;
        changed_.notify_all();
    }

    // The first exception a render or consume threw, if any.
    std::exception_ptr error()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return error_;
    }

private:
    struct Cell {
        Slot slot;
        std::size_t turn = 0;  // the chunk that may use this cell next
        bool ready = false;    // the cell holds chunk `turn`, rendered
    };

    const std::size_t count_;
    std::vector<Cell> cells_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t next_ = 0;  // the next chunk to hand to a worker
    bool stopped_ = false;
    std::exception_ptr error_;
};

// Stops the ring and joins the workers on every way out, exceptions
// included, so that no worker is left waiting for a turn.
template <class Slot>
class Workers {
public:
    explicit Workers(Ring<Slot>& ring) : ring_(ring) {}
    ~Workers()
    {
        ring_.stop();
        for (std::thread& t : threads_)
            t.join();
    }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    template <class F>
    void start(F f)
    {
        threads_.emplace_back(f);
    }

private:
    Ring<Slot>& ring_;
    std::vector<std::thread> threads_;
};

}  // namespace ordered_chunks_detail

// Renders and consumes chunks 0 to count - 1 as described above. Stops
// handing out chunks after the first consume() that returns false; chunks
// already claimed are not consumed. Returns true when every chunk was
// consumed and every consume() returned true. The first exception thrown by
// a render or consume ends the run and is thrown again here once the workers
// have stopped.
template <class Slot, class Render, class Consume>
bool run_in_order(std::size_t count, unsigned workers, Render&& render, Consume&& consume)
{
    if (workers <= 1) {
        Slot slot;
        for (std::size_t i = 0; i < count; i++) {
            render(i, slot);
            if (!consume(i, slot))
                return false;
        }
        return true;
    }
    ordered_chunks_detail::Ring<Slot> ring(count, 2 * static_cast<std::size_t>(workers));
    bool ok;
    {
        ordered_chunks_detail::Workers<Slot> threads(ring);
        for (unsigned w = 0; w < workers; w++)
            threads.start([&] { ring.work(render); });
        ok = ring.consume_all(consume);
    }
    if (std::exception_ptr error = ring.error())
        std::rethrow_exception(error);
    return ok;
}

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_ORDERED_CHUNKS_H
