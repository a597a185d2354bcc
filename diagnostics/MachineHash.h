#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// The program's own digest behind the machine identifier. Its output must stay
// bit-for-bit the same across releases and platforms: support codes and error
// reports already collected compare against it. The input block is the first
// eight bytes of State, always taken little-endian whatever the host order.
struct TMachineHash {
    uint8_t nPos = 0;
    std::array<uint8_t, 256> Buffer{};
    uint8_t nBlockPos = 0;
    std::array<uint32_t, 4> State{};
};

void MachineHashInit(TMachineHash& hash);
void MachineHashUpdate(TMachineHash& hash, std::span<const uint8_t> bytes);
void MachineHashUpdate(TMachineHash& hash, std::string_view bytes);
// Pads, encrypts the whole buffer and returns its first `count` bytes (at most
// 256). The state is spent afterwards: start again with MachineHashInit.
std::vector<uint8_t> MachineHashFinal(TMachineHash& hash, size_t count);
