#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <stdexcept>

#include "diagnostics/MachineHash.h"
#include "diagnostics/MachineIdentity.h"
#include "platform/linux/MachineFactsLinux.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class TFakeFacts : public IMachineFacts {
public:
    std::vector<std::string> lstOwner = {"Maria Silva", "Corvane"};
    std::array<uint32_t, 2> arrSystem = {9, 8664};
    std::vector<TFixedDrive> lstDrives = {{'C', "/dev/sda1", 0x1A2B3C4D}, {'D', "/dev/sdb1", 0xCAFEF00D}};
    bool bDrivesFail = false;

    std::vector<std::string> OwnerTexts() const override { return lstOwner; }
    std::array<uint32_t, 2> SystemWords() const override { return arrSystem; }
    std::vector<TFixedDrive> FixedDrives() const override {
        if (bDrivesFail) throw std::runtime_error("volume query failed");
        return lstDrives;
    }
};

uint32_t DigestOf(const std::string& bytes) {
    TMachineHash hash;
    MachineHashInit(hash);
    MachineHashUpdate(hash, bytes);
    auto d = MachineHashFinal(hash, 4);
    return uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24;
}

}  // namespace

TEST(MachineIdentity, AbsorbsEachSourceAsDocumentedBytes) {
    TFakeFacts facts;
    using namespace std::string_literals;
    const std::string owner = "Maria Silva\0Corvane\0"s;
    const std::string system = "\x09\x00\x00\x00\xD8\x21\x00\x00"s;  // 9, 8664 little-endian
    const std::string drives =
        "C\x4D\x3C\x2B\x1A"
        "D\x0D\xF0\xFE\xCA"s;
    struct {
        TMachineIdSources nSources;
        std::string strBytes;
    } cases[] = {
        {midOwner, owner}, {midSystem, system}, {midDrives, drives}, {midAll, owner + system + drives}, {0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CreateMachineID(facts, c.nSources), DigestOf(c.strBytes)) << "sources " << c.nSources;
}

TEST(MachineIdentity, SameMachineSameIdentifier) {
    TFakeFacts facts;
    EXPECT_EQ(MachineIdHex(facts), MachineIdHex(facts));
    EXPECT_EQ(MachineIdHex(facts), MachineIdText(CreateMachineID(facts, midAll)));
}

TEST(MachineIdentity, DriveChangesChangeTheIdentifier) {
    TFakeFacts facts;
    const std::string before = MachineIdHex(facts);

    TFakeFacts reformatted;
    reformatted.lstDrives[1].nSerial = 0xCAFEF00E;
    EXPECT_NE(MachineIdHex(reformatted), before);

    TFakeFacts added;
    added.lstDrives.push_back({'E', "/dev/sdc1", 0x12345678});
    EXPECT_NE(MachineIdHex(added), before);

    TFakeFacts substituted;
    substituted.lstDrives.push_back({'S', "\\??\\C:\\Projects", 0x1A2B3C4D});
    EXPECT_EQ(MachineIdHex(substituted), before);
}

TEST(MachineIdentity, MissingOwnerOrFailingDrivesStillGiveAnIdentifier) {
    TFakeFacts noOwner;
    noOwner.lstOwner.clear();
    EXPECT_EQ(CreateMachineID(noOwner, midAll), CreateMachineID(noOwner, midSystem | midDrives));
    EXPECT_NE(CreateMachineID(noOwner, midAll), CreateMachineID(TFakeFacts{}, midAll));

    TFakeFacts failing;
    failing.bDrivesFail = true;
    EXPECT_EQ(CreateMachineID(failing, midAll), CreateMachineID(failing, midOwner | midSystem));
}

TEST(MachineIdentity, TextIsBytesInDigestOrderWithLeadingZeros) {
    EXPECT_EQ(MachineIdText(0x0000000Au), "0A000000");
    EXPECT_EQ(MachineIdText(0xDEADBEEFu), "EFBEADDE");
    EXPECT_EQ(MachineIdText(0u), "00000000");
    // The empty digest CA 7C FA 8F, byte 0 first.
    EXPECT_EQ(MachineIdText(DigestOf("")), "CA7CFA8F");
}

TEST(MachineIdentity, ThisMachineHasAStableIdentifier) {
    const std::string id = MachineIdHex();
    EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{8}"))) << id;
    EXPECT_EQ(MachineIdHex(), id);
}

TEST(MachineFactsLinux, SystemWordsByArchitecture) {
    struct {
        const char* machine;
        std::array<uint32_t, 2> words;
    } cases[] = {
        {"x86_64", {9, 8664}}, {"i686", {0, 586}}, {"aarch64", {12, 0}}, {"armv7l", {5, 0}}, {"mips", {0xFFFF, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(SystemWordsForMachine(c.machine), c.words) << c.machine;
}

TEST(MachineFactsLinux, VolumeSerialFromUuid) {
    EXPECT_EQ(VolumeSerialFromUuid("1A2B-3C4D"), 0x1A2B3C4Du);
    EXPECT_EQ(VolumeSerialFromUuid("3f1c2a44-9d1e-4c8b-a1b2-0123456789ab"), 0x3F1C2A44u);
    EXPECT_EQ(VolumeSerialFromUuid("00000001"), 1u);
    EXPECT_EQ(VolumeSerialFromUuid("12-34"), 0u);
    EXPECT_EQ(VolumeSerialFromUuid(""), 0u);
}

// A fake /proc, /dev/disk/by-uuid and /sys/class/block.
class MachineFactsTree : public ::testing::Test {
protected:
    void SetUp() override {
        m_Paths.pathMachineId = m_Dir / "machine-id";
        m_Paths.pathMounts = m_Dir / "mounts";
        m_Paths.pathDiskByUuid = m_Dir / "dev/disk/by-uuid";
        m_Paths.pathSysBlock = m_Dir / "sys/class/block";
        m_Paths.strMachine = "x86_64";
        fs::create_directories(m_Paths.pathDiskByUuid);
        fs::create_directories(m_Paths.pathSysBlock);
        WriteFileText(m_Paths.pathMachineId, "4c4c4544004a3510804bb4c04f4e3132\n");
        Uuid("1111aaaa-0000-4000-8000-000000000001", "sda1");
        Uuid("2222-BBBB", "sdb1");
        Uuid("3333-CCCC", "sdc1");
        Partition("sda", "sda1", false);
        Partition("sdc", "sdc1", true);
    }

    void Uuid(const std::string& uuid, const std::string& device) {
        fs::create_symlink("../../" + device, m_Paths.pathDiskByUuid / uuid);
    }

    void Partition(const std::string& disk, const std::string& part, bool removable) {
        const fs::path diskDir = m_Dir / "sys/devices/block" / disk;
        fs::create_directories(diskDir / part);
        WriteFileText(diskDir / "removable", removable ? "1\n" : "0\n");
        WriteFileText(diskDir / part / "partition", "1\n");
        fs::create_symlink(diskDir / part, m_Paths.pathSysBlock / part);
    }

    TempDir m_Dir{"vxfacts"};
    TMachineFactsPaths m_Paths;
};

TEST_F(MachineFactsTree, OwnerIsTheMachineId) {
    EXPECT_EQ(TMachineFactsLinux(m_Paths).OwnerTexts(), std::vector<std::string>{"4c4c4544004a3510804bb4c04f4e3132"});
    fs::remove(m_Paths.pathMachineId);
    EXPECT_TRUE(TMachineFactsLinux(m_Paths).OwnerTexts().empty());
}

TEST_F(MachineFactsTree, DrivesAreLocalFixedVolumesOnceEachInMountOrder) {
    WriteFileText(m_Paths.pathMounts,
                  "proc /proc proc rw 0 0\n"
                  "/dev/sda1 / ext4 rw 0 0\n"
                  "/dev/loop0 /snap/core squashfs ro 0 0\n"
                  "/dev/sda1 /srv/bind ext4 rw 0 0\n"
                  "server:/export /nfs nfs rw 0 0\n"
                  "/dev/sdc1 /media/usb vfat rw 0 0\n"
                  "/dev/sdb1 /mnt/data\\040disk vfat rw 0 0\n");
    auto drives = TMachineFactsLinux(m_Paths).FixedDrives();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].cLetter, 'C');
    EXPECT_EQ(drives[0].strDevice, "/dev/sda1");
    EXPECT_EQ(drives[0].nSerial, 0x1111AAAAu);
    EXPECT_EQ(drives[1].cLetter, 'D');
    EXPECT_EQ(drives[1].strDevice, "/dev/sdb1");
    EXPECT_EQ(drives[1].nSerial, 0x2222BBBBu);
}

TEST_F(MachineFactsTree, NoMoreDrivesThanLettersCToZ) {
    std::string mounts;
    for (int i = 0; i < 30; ++i) mounts += "/dev/vd" + std::to_string(i) + " /m" + std::to_string(i) + " ext4 rw 0 0\n";
    WriteFileText(m_Paths.pathMounts, mounts);
    auto drives = TMachineFactsLinux(m_Paths).FixedDrives();
    ASSERT_EQ(drives.size(), 24u);
    EXPECT_EQ(drives.back().cLetter, 'Z');
}

TEST_F(MachineFactsTree, UnreadableSourcesGiveEmptyFacts) {
    m_Paths.pathMounts = m_Dir / "missing";
    EXPECT_TRUE(TMachineFactsLinux(m_Paths).FixedDrives().empty());
    EXPECT_EQ(TMachineFactsLinux(m_Paths).SystemWords(), (std::array<uint32_t, 2>{9, 8664}));
}
