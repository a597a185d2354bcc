#include <gtest/gtest.h>

#include <stdexcept>

#include "workers/DiskReservations.h"

namespace {

// Three files unpacked at once on a disk with 100 bytes free share those 100
// bytes: what one holds, the next cannot be promised, until it is released.
TEST(DiskReservations, HoldersShareTheFreeSpaceAndGiveItBack) {
    TDiskReservations reservations;
    auto all = [](uint64_t nRoom) { return nRoom; };
    {
        const auto first = reservations.Take(100, [](uint64_t) { return uint64_t(60); });
        EXPECT_EQ(first.Bytes(), 60u);
        uint64_t seen = 0;
        const auto second = reservations.Take(100, [&](uint64_t nRoom) {
            seen = nRoom;
            return nRoom;
        });
        EXPECT_EQ(seen, 40u);
        EXPECT_EQ(second.Bytes(), 40u);
        EXPECT_THROW(reservations.Take(100,
                                       [](uint64_t nRoom) -> uint64_t {
                                           if (nRoom < 10) throw std::runtime_error("no room");
                                           return 10;
                                       }),
                     std::runtime_error);
        EXPECT_EQ(reservations.Held(), 100u);
        EXPECT_EQ(reservations.Take(100, all).Bytes(), 0u);
    }
    EXPECT_EQ(reservations.Held(), 0u);
    EXPECT_EQ(reservations.Take(100, all).Bytes(), 100u);
}

// The disk's free space already shows what a holder has written: only what it
// has yet to write stays held, or two files that fit together would be refused.
TEST(DiskReservations, WrittenBytesAreNoLongerHeld) {
    TDiskReservations reservations;
    auto all = [](uint64_t nRoom) { return nRoom; };
    auto first = reservations.Take(100, [](uint64_t) { return uint64_t(60); });
    first.Written(50);
    EXPECT_EQ(first.Bytes(), 10u);
    EXPECT_EQ(reservations.Held(), 10u);
    // 50 of the 100 bytes are on the disk now: 50 free, 10 of them still promised.
    EXPECT_EQ(reservations.Take(50, all).Bytes(), 40u);
    first.Written(20);
    EXPECT_EQ(reservations.Held(), 0u) << "more written than held gives back no more than it held";
}

}  // namespace
