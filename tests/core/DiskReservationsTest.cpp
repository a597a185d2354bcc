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

}  // namespace
