#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Bounds the bytes of downloaded packages held in memory while they wait to be
// unpacked. A download worker reserves a package's size before fetching it and
// waits while the budget is spent, so a fast server cannot make the installer
// read a whole release into memory. A single package larger than the budget is
// let through when nothing else is held, so every release still installs.
// Any thread.
class TMemoryBudget {
public:
    explicit TMemoryBudget(uint64_t nLimit);

    // A reservation gives its bytes back when it goes away.
    class TReservation {
    public:
        TReservation() = default;
        TReservation(TMemoryBudget* budget, uint64_t bytes) : m_Budget(budget), m_nBytes(bytes) {}
        TReservation(TReservation&& other) noexcept;
        TReservation& operator=(TReservation&& other) noexcept;
        ~TReservation();
        uint64_t Bytes() const { return m_nBytes; }

    private:
        void Release();
        TMemoryBudget* m_Budget = nullptr;
        uint64_t m_nBytes = 0;
    };

    // Waits until `bytes` fit (or nothing is held) or `cancelled()` turns true,
    // checking it at least every 100 ms. An empty reservation means cancelled.
    template <class Cancelled>
    TReservation Acquire(uint64_t bytes, Cancelled cancelled) {
        std::unique_lock lock(m_Mutex);
        while (!Fits(bytes)) {
            if (cancelled()) return {};
            m_Released.wait_for(lock, std::chrono::milliseconds(100));
        }
        m_nHeld += bytes;
        return TReservation(this, bytes);
    }

    uint64_t Held() const;
    uint64_t Limit() const;
    // A new limit for the reservations to come; a larger one lets waiting
    // workers through at once.
    void SetLimit(uint64_t nLimit);

private:
    bool Fits(uint64_t bytes) const { return m_nHeld == 0 || m_nHeld + bytes <= m_nLimit; }
    void Give(uint64_t bytes);

    uint64_t m_nLimit;
    mutable std::mutex m_Mutex;
    std::condition_variable m_Released;
    uint64_t m_nHeld = 0;
};
