#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/ProcessList.h"

namespace {

class TProcessListLinux : public IProcessList {
public:
    std::vector<TProcessInfo> Snapshot() const override {
        std::vector<TProcessInfo> result;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
            const std::string name = entry.path().filename().string();
            if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
            TProcessInfo info;
            info.nPid = std::stoi(name);
            std::error_code linkError;
            auto exe = std::filesystem::read_symlink(entry.path() / "exe", linkError);
            if (!linkError) info.strExePath = StripDeleted(exe.string());
            info.strExeName = info.strExePath.empty() ? ReadComm(entry.path())
                                                      : std::filesystem::path(info.strExePath).filename().string();
            result.push_back(std::move(info));
        }
        return result;
    }

    std::vector<std::string> Modules(int pid) const override {
        std::vector<std::string> modules;
        std::set<std::string> seen;
        std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
        std::string line;
        while (std::getline(maps, line)) {
            auto slash = line.find('/');
            if (slash == std::string::npos) continue;
            std::string path = StripDeleted(line.substr(slash));
            if (seen.insert(path).second) modules.push_back(path);
        }
        return modules;
    }

private:
    // A replaced executable shows as "<path> (deleted)"; it still runs from that path.
    static std::string StripDeleted(std::string path) {
        const std::string suffix = " (deleted)";
        if (path.ends_with(suffix)) path.resize(path.size() - suffix.size());
        return path;
    }

    static std::string ReadComm(const std::filesystem::path& procDir) {
        std::ifstream in(procDir / "comm");
        std::string comm;
        std::getline(in, comm);
        return comm;
    }
};

}  // namespace

std::unique_ptr<IProcessList> CreateProcessList() { return std::make_unique<TProcessListLinux>(); }
