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
            result.push_back(ReadProcess(entry.path(), std::stoi(name)));
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
    static TProcessInfo ReadProcess(const std::filesystem::path& procDir, int pid) {
        TProcessInfo info;
        info.nPid = pid;
        info.strExePath = ReadLink(procDir / "exe");
        info.strExeName =
            info.strExePath.empty() ? ReadComm(procDir) : std::filesystem::path(info.strExePath).filename().string();
        info.lstArguments = ReadCommandLine(procDir);
        info.strWorkingDir = ReadLink(procDir / "cwd");
        return info;
    }

    // The path behind one of the process's links; empty when unreadable.
    static std::string ReadLink(const std::filesystem::path& link) {
        std::error_code error;
        auto target = std::filesystem::read_symlink(link, error);
        return error ? std::string() : StripDeleted(target.string());
    }

    // A replaced executable shows as "<path> (deleted)"; it still runs from that path.
    static std::string StripDeleted(std::string path) {
        const std::string suffix = " (deleted)";
        if (path.ends_with(suffix)) path.resize(path.size() - suffix.size());
        return path;
    }

    // NUL-separated arguments; empty for kernel threads and unreadable processes.
    static std::vector<std::string> ReadCommandLine(const std::filesystem::path& procDir) {
        std::ifstream in(procDir / "cmdline", std::ios::binary);
        std::vector<std::string> arguments;
        std::string argument;
        while (std::getline(in, argument, '\0')) arguments.push_back(argument);
        return arguments;
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
