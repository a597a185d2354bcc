#pragma once
#include <cstdint>
#include <functional>
#include <mutex>

// Disk space promised to files being unpacked and not yet released. Each
// unpacking takes its share from what the disk has free less what the others
// hold, so that several workers never count the same free bytes as theirs and
// fill the disk together. Any thread.
class TDiskReservations {
public:
    // The one set of the process: every extract worker unpacks to one disk.
    static TDiskReservations& Process();

    // Holds its bytes until it goes.
    class TTicket {
    public:
        TTicket(TDiskReservations& owner, uint64_t nBytes) : m_pOwner(&owner), m_nBytes(nBytes) {}
        TTicket(TTicket&& other) noexcept : m_pOwner(other.m_pOwner), m_nBytes(other.m_nBytes) {
            other.m_pOwner = nullptr;
        }
        TTicket(const TTicket&) = delete;
        TTicket& operator=(const TTicket&) = delete;
        TTicket& operator=(TTicket&&) = delete;
        ~TTicket();
        uint64_t Bytes() const { return m_nBytes; }
        // Bytes now written to the disk: its free space shows them from here
        // on, so holding them as well would count them twice and refuse a
        // file that fits. One thread at a time.
        void Written(uint64_t nBytes);

    private:
        TDiskReservations* m_pOwner;
        uint64_t m_nBytes;
    };

    // `limitFor` is given the room left of `nFree` once every other holder is
    // served and answers how much the caller takes (it may throw to refuse);
    // both happen under one lock, so no two callers are given the same bytes.
    TTicket Take(uint64_t nFree, const std::function<uint64_t(uint64_t nRoom)>& limitFor);

    uint64_t Held() const;

private:
    void Release(uint64_t nBytes);

    mutable std::mutex m_csHeld;
    uint64_t m_nHeld = 0;
};
