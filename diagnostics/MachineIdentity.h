#pragma once
#include <cstdint>
#include <string>

#include "platform/MachineFacts.h"

// The sources a machine identifier may be made of; a set of these flags.
enum TMachineIdSource : unsigned {
    midOwner = 1u << 0,
    midSystem = 1u << 1,
    midDrives = 1u << 2,
};
using TMachineIdSources = unsigned;
inline constexpr TMachineIdSources midAll = midOwner | midSystem | midDrives;

// The first four bytes of the machine digest over the chosen sources, absorbed
// in the order owner, system, drives; byte 0 of the digest is the lowest byte
// of the result. Computed afresh on every call; a source that cannot be read
// only drops its part, so an identifier always comes back.
uint32_t CreateMachineID(const IMachineFacts& facts, TMachineIdSources sources);
uint32_t CreateMachineID(TMachineIdSources sources);

// The identifier's four bytes in digest order as eight upper-case hex digits.
std::string MachineIdText(uint32_t id);

// The identifier over all three sources, as text: the support code's prefix and
// the error report's hardware id.
std::string MachineIdHex(const IMachineFacts& facts);
std::string MachineIdHex();
