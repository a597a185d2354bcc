#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/MachineFacts.h"

// Where the Linux machine facts come from; tests point these at a fake tree.
struct TMachineFactsPaths {
    std::filesystem::path pathMachineId = "/etc/machine-id";
    std::filesystem::path pathMounts = "/proc/self/mounts";
    std::filesystem::path pathDiskByUuid = "/dev/disk/by-uuid";
    std::filesystem::path pathSysBlock = "/sys/class/block";
    // The uname machine name; empty asks uname.
    std::string strMachine;
};

// Owner: the machine-id (the same for every user and stable across boots).
// System: architecture and processor type words chosen from the uname machine.
// Drives: each local, non-removable block device mounted from /dev, in mount
// order, once per device (a bind mount is the same volume again), lettered C
// onwards; its serial is taken from the file-system UUID.
class TMachineFactsLinux : public IMachineFacts {
public:
    explicit TMachineFactsLinux(TMachineFactsPaths paths = {});

    std::vector<std::string> OwnerTexts() const override;
    std::array<uint32_t, 2> SystemWords() const override;
    std::vector<TFixedDrive> FixedDrives() const override;

private:
    TMachineFactsPaths m_Paths;
};

// The words Windows would report for the same processor family, so that the
// absorbed bytes keep their meaning: x86_64 gives {9, 8664} (AMD64).
std::array<uint32_t, 2> SystemWordsForMachine(std::string_view machine);

// A 32-bit serial number from a file-system UUID: its first eight hex digits,
// so a FAT volume "1A2B-3C4D" keeps the serial Windows shows for it. 0 when the
// UUID holds fewer than eight hex digits.
uint32_t VolumeSerialFromUuid(std::string_view uuid);
