#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One fixed drive as the machine identifier sees it.
struct TFixedDrive {
    char cLetter = 'C';
    // The device behind the drive. A name beginning with "\??\" marks a folder
    // substituted as a drive, which must not change the identifier.
    std::string strDevice;
    // The volume serial number; 0 when the volume could not be queried.
    uint32_t nSerial = 0;
};

// The stable machine properties the machine identifier is made of. Every query
// that cannot be answered gives an empty result rather than failing, so the
// identifier can always be formed from whatever remains.
class IMachineFacts {
public:
    virtual ~IMachineFacts() = default;
    // The registered owner and then the organisation, in the system's narrow
    // encoding; each is absorbed followed by its terminating zero byte.
    virtual std::vector<std::string> OwnerTexts() const = 0;
    // The OEM identifier word (processor architecture in its low half) and the processor type.
    virtual std::array<uint32_t, 2> SystemWords() const = 0;
    // Fixed drives in letter order, at most C to Z.
    virtual std::vector<TFixedDrive> FixedDrives() const = 0;
};

std::unique_ptr<IMachineFacts> CreateMachineFacts();
