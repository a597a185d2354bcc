#pragma once
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/RegistryHive.h"
#include "platform/RegistryKeyPath.h"

struct sqlite3;

// A registry hive kept in one SQLite file, shared safely by the threads of a
// process (one connection behind a mutex) and by several processes (SQLite's
// file locks, waiting up to a few seconds for a busy file).
//
// The file is opened on first use. A missing file reads as an empty hive and
// is only created, with its folder (mode 0700), by the first write. A read-only
// hive never creates or changes anything and throws std::runtime_error on
// every write.
//
// The file keeps SQLite's rollback journal rather than WAL: a read-only reader
// of a machine-wide file (in /etc, owned by root) cannot create WAL's shared
// memory file beside it.
class TRegistryHiveSqlite : public IRegistryHive {
public:
    // Which hive the file stands for: its prefixes ("HKCU\\" or
    // "HKEY_CURRENT_USER\\", "HKLM\\" or "HKEY_LOCAL_MACHINE\\") are dropped
    // from the front of key paths.
    using TRoot = THiveRoot;

    TRegistryHiveSqlite(std::filesystem::path path, bool bReadOnly, TRoot root = TRoot::hrCurrentUser);
    TRegistryHiveSqlite(const TRegistryHiveSqlite&) = delete;
    TRegistryHiveSqlite& operator=(const TRegistryHiveSqlite&) = delete;

    bool KeyExists(const std::string& key) const override;
    std::vector<std::string> SubKeyNames(const std::string& key) const override;
    std::vector<TRegValue> Values(const std::string& key) const override;
    std::optional<TRegValue> ReadValue(const std::string& key, const std::string& name) const override;

    void CreateKey(const std::string& key) override;
    void WriteString(const std::string& key, const std::string& name, const std::string& data) override;
    void WriteDword(const std::string& key, const std::string& name, uint32_t data) override;
    void WriteValues(const std::vector<TRegWrite>& writes) override;
    bool DeleteKey(const std::string& key) override;
    bool DeleteValue(const std::string& key, const std::string& name) override;

    const std::filesystem::path& Path() const { return m_Path; }

    // The components of a key path with the hive prefix, empty components and
    // surrounding back-slashes removed: "\\HKCU\\A\\\\B\\" gives {"A", "B"}.
    static std::vector<std::string> SplitKeyPath(const std::string& key, TRoot root);

private:
    static constexpr long long kRootId = 0;

    // Both return null when there is nothing to read yet (missing file, or a
    // file that holds no hive tables).
    sqlite3* ReadConnection() const;
    sqlite3* WriteConnection();
    void Open(bool bCreate) const;
    bool HasTables() const;
    void CreateTables();
    void ThrowIfReadOnly(const char* operation) const;

    std::optional<long long> FindKey(const std::vector<std::string>& parts) const;
    long long EnsureKey(const std::vector<std::string>& parts);
    // Inside a write transaction: creates the key when missing and sets the value.
    void PutValue(const std::string& key, const TRegValue& value);

    std::filesystem::path m_Path;
    bool m_bReadOnly;
    TRoot m_Root;
    mutable std::mutex m_mtxDb;
    struct TCloseDb {
        void operator()(sqlite3* db) const;
    };
    mutable std::unique_ptr<sqlite3, TCloseDb> m_pDb;
    mutable bool m_bTablesSeen = false;
};
