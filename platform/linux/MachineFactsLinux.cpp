#include "platform/linux/MachineFactsLinux.h"

#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <cctype>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kArchIntel = 0, kArchArm = 5, kArchAmd64 = 9, kArchArm64 = 12, kArchUnknown = 0xFFFF;
constexpr uint32_t kTypeIntelPentium = 586, kTypeAmdX8664 = 8664;
constexpr size_t kMaxDrives = 'Z' - 'C' + 1;

std::string ReadFirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

// /proc/self/mounts writes blanks and back-slashes in octal (\040).
std::string DecodeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string oct = field.substr(i + 1, 3);
            if (oct.find_first_not_of("01234567") == std::string::npos) {
                out += char(std::stoi(oct, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

struct TMount {
    std::string strDevice;
    std::string strMountPoint;
};

std::vector<TMount> ReadMounts(const fs::path& path) {
    std::vector<TMount> mounts;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        TMount m;
        if (fields >> m.strDevice >> m.strMountPoint) {
            m.strDevice = DecodeMountField(m.strDevice);
            m.strMountPoint = DecodeMountField(m.strMountPoint);
            mounts.push_back(std::move(m));
        }
    }
    return mounts;
}

// The kernel's name of a device: /dev/mapper/vg-root resolves to dm-0, the
// name that /dev/disk/by-uuid and /sys/class/block use.
std::string KernelDeviceName(const std::string& device) {
    std::error_code ec;
    fs::path resolved = fs::canonical(device, ec);
    return (ec ? fs::path(device) : resolved).filename().string();
}

bool IsRemovable(const fs::path& sysBlock, const std::string& name) {
    std::error_code ec;
    fs::path dir = fs::canonical(sysBlock / name, ec);
    if (ec) return false;
    // A partition's removable flag sits on the whole disk above it.
    if (fs::exists(dir / "partition", ec)) dir = dir.parent_path();
    return ReadFirstLine(dir / "removable") == "1";
}

std::string UuidOfDevice(const fs::path& byUuid, const std::string& name) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(byUuid, ec)) {
        std::error_code linkError;
        fs::path target = fs::read_symlink(entry.path(), linkError);
        if (!linkError && target.filename() == name) return entry.path().filename().string();
    }
    return {};
}

// Without a UUID link the file system's own id stands in; on ext4 and btrfs it
// is derived from the UUID as well.
uint32_t FileSystemId(const std::string& mountPoint) {
    struct statvfs st {};
    if (statvfs(mountPoint.c_str(), &st) != 0) return 0;
    return static_cast<uint32_t>(st.f_fsid);
}

}  // namespace

std::array<uint32_t, 2> SystemWordsForMachine(std::string_view machine) {
    if (machine == "x86_64" || machine == "amd64") return {kArchAmd64, kTypeAmdX8664};
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") return {kArchIntel, kTypeIntelPentium};
    if (machine == "aarch64" || machine == "arm64") return {kArchArm64, 0};
    if (machine.starts_with("arm")) return {kArchArm, 0};
    return {kArchUnknown, 0};
}

uint32_t VolumeSerialFromUuid(std::string_view uuid) {
    std::string hex;
    for (char ch : uuid) {
        if (std::isxdigit(static_cast<unsigned char>(ch))) hex += ch;
        if (hex.size() == 8) return static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
    }
    return 0;
}

TMachineFactsLinux::TMachineFactsLinux(TMachineFactsPaths paths) : m_Paths(std::move(paths)) {}

std::vector<std::string> TMachineFactsLinux::OwnerTexts() const {
    std::string id = ReadFirstLine(m_Paths.pathMachineId);
    if (id.empty()) return {};
    return {id};
}

std::array<uint32_t, 2> TMachineFactsLinux::SystemWords() const {
    std::string machine = m_Paths.strMachine;
    if (machine.empty()) {
        struct utsname u {};
        if (uname(&u) == 0) machine = u.machine;
    }
    return SystemWordsForMachine(machine);
}

std::vector<TFixedDrive> TMachineFactsLinux::FixedDrives() const {
    std::vector<TFixedDrive> drives;
    std::set<std::string> seen;
    for (const TMount& m : ReadMounts(m_Paths.pathMounts)) {
        if (drives.size() == kMaxDrives) break;
        if (!m.strDevice.starts_with("/dev/")) continue;  // network and virtual file systems
        const std::string name = KernelDeviceName(m.strDevice);
        // Loop devices come and go with images and snaps; they would make the id drift.
        if (name.starts_with("loop") || name.starts_with("ram")) continue;
        if (!seen.insert(name).second) continue;
        if (IsRemovable(m_Paths.pathSysBlock, name)) continue;
        TFixedDrive drive;
        drive.cLetter = static_cast<char>('C' + drives.size());
        drive.strDevice = m.strDevice;
        const std::string uuid = UuidOfDevice(m_Paths.pathDiskByUuid, name);
        drive.nSerial = uuid.empty() ? FileSystemId(m.strMountPoint) : VolumeSerialFromUuid(uuid);
        drives.push_back(std::move(drive));
    }
    return drives;
}

std::unique_ptr<IMachineFacts> CreateMachineFacts() { return std::make_unique<TMachineFactsLinux>(); }
