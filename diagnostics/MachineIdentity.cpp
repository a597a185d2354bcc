#include "diagnostics/MachineIdentity.h"

#include <array>
#include <exception>

#include "diagnostics/MachineHash.h"
#include "platform/DebugOutput.h"

namespace {

void AbsorbZeroTerminated(TMachineHash& hash, const std::string& text) {
    // Registry strings are absorbed with their terminating zero, as the registry reports their size.
    MachineHashUpdate(hash, std::string_view(text.c_str(), text.size() + 1));
}

void AbsorbWord(TMachineHash& hash, uint32_t word) {
    const std::array<uint8_t, 4> bytes = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
    MachineHashUpdate(hash, bytes);
}

void AbsorbOwner(TMachineHash& hash, const IMachineFacts& facts) {
    for (const std::string& text : facts.OwnerTexts()) AbsorbZeroTerminated(hash, text);
}

void AbsorbSystem(TMachineHash& hash, const IMachineFacts& facts) {
    for (uint32_t word : facts.SystemWords()) AbsorbWord(hash, word);
}

bool IsSubstitutedFolder(const TFixedDrive& drive) { return drive.strDevice.starts_with("\\??\\"); }

void AbsorbDrives(TMachineHash& hash, const IMachineFacts& facts) {
    for (const TFixedDrive& drive : facts.FixedDrives()) {
        DebugOutput(std::string("CreateMachineID:midDrives ") + drive.cLetter + ":\\ " + drive.strDevice);
        // A folder mapped to a letter is not a volume of its own: it must not change the id.
        if (IsSubstitutedFolder(drive)) continue;
        const std::array<uint8_t, 5> bytes = {uint8_t(drive.cLetter), uint8_t(drive.nSerial),
                                              uint8_t(drive.nSerial >> 8), uint8_t(drive.nSerial >> 16),
                                              uint8_t(drive.nSerial >> 24)};
        MachineHashUpdate(hash, bytes);
    }
}

// A source whose query fails only drops its part; the identifier is still needed
// for the error report that may be describing that very failure.
template <typename Fn>
void AbsorbSource(const char* name, Fn absorb) {
    try {
        absorb();
    } catch (const std::exception& e) {
        DebugOutput(std::string("CreateMachineID:") + name + " Except: " + e.what());
    }
}

}  // namespace

uint32_t CreateMachineID(const IMachineFacts& facts, TMachineIdSources sources) {
    TMachineHash hash;
    MachineHashInit(hash);
    if (sources & midOwner) AbsorbSource("midOwner", [&] { AbsorbOwner(hash, facts); });
    if (sources & midSystem) AbsorbSource("midSystem", [&] { AbsorbSystem(hash, facts); });
    if (sources & midDrives) AbsorbSource("midDrives", [&] { AbsorbDrives(hash, facts); });
    const std::vector<uint8_t> digest = MachineHashFinal(hash, 4);
    return uint32_t(digest[0]) | uint32_t(digest[1]) << 8 | uint32_t(digest[2]) << 16 | uint32_t(digest[3]) << 24;
}

uint32_t CreateMachineID(TMachineIdSources sources) { return CreateMachineID(*CreateMachineFacts(), sources); }

std::string MachineIdText(uint32_t id) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const uint8_t byte = uint8_t(id >> (8 * i));
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0F];
    }
    return text;
}

std::string MachineIdHex(const IMachineFacts& facts) { return MachineIdText(CreateMachineID(facts, midAll)); }

std::string MachineIdHex() { return MachineIdHex(*CreateMachineFacts()); }
