#include "platform/RegistryHiveSqlite.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <random>
#include <thread>
#include <stdexcept>

namespace {

// The folder holding the hive may hold other private settings: only its owner
// may look into it.
constexpr std::filesystem::perms kFolderPerms = std::filesystem::perms::owner_all;
constexpr int kBusyTimeoutMs = 5000;
constexpr int kSchemaVersion = 1;

// Key and value names, unique among their siblings without regard to ASCII
// letter case (NOCASE); ids grow with creation, so ordering by id enumerates
// in creation order.
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS reg_keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER NOT NULL,
    name TEXT NOT NULL COLLATE NOCASE,
    UNIQUE(parent, name));
CREATE TABLE IF NOT EXISTS reg_values(
    id INTEGER PRIMARY KEY,
    key_id INTEGER NOT NULL,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    str_data TEXT,
    dword_data INTEGER,
    UNIQUE(key_id, name));
PRAGMA user_version = 1;
)";

// SQLite's own busy handler sleeps up to 100 ms between attempts, and a
// writer that sleeps that long rarely finds the file free while others write
// back to back: it starves and fails after the timeout. Short, jittered naps
// give every waiting writer a fair chance within the same overall limit.
int WaitWhileBusy(void* /*context*/, int attempt) {
    thread_local std::chrono::steady_clock::time_point start;
    thread_local std::minstd_rand jitter{std::random_device{}()};
    auto now = std::chrono::steady_clock::now();
    if (attempt == 0) start = now;
    if (now - start >= std::chrono::milliseconds(kBusyTimeoutMs)) return 0;
    std::this_thread::sleep_for(std::chrono::microseconds(200 + jitter() % 1800));
    return 1;
}

[[noreturn]] void ThrowSqlite(sqlite3* db, const std::string& what) {
    throw std::runtime_error("registry hive: " + what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

class TStatement {
public:
    TStatement(sqlite3* db, const char* sql) : m_pDb(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_pStmt, nullptr) != SQLITE_OK) ThrowSqlite(db, "prepare");
    }
    ~TStatement() { sqlite3_finalize(m_pStmt); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    TStatement& Reset() {
        sqlite3_reset(m_pStmt);
        sqlite3_clear_bindings(m_pStmt);
        return *this;
    }
    TStatement& Bind(int index, long long v) {
        Check(sqlite3_bind_int64(m_pStmt, index, v), "bind");
        return *this;
    }
    TStatement& Bind(int index, const std::string& v) {
        Check(sqlite3_bind_text(m_pStmt, index, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT), "bind");
        return *this;
    }
    TStatement& BindNull(int index) {
        Check(sqlite3_bind_null(m_pStmt, index), "bind");
        return *this;
    }
    // True while there is a row to read.
    bool Step() {
        int rc = sqlite3_step(m_pStmt);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        ThrowSqlite(m_pDb, "step");
    }
    long long Int(int col) const { return sqlite3_column_int64(m_pStmt, col); }
    std::string Text(int col) const {
        auto p = reinterpret_cast<const char*>(sqlite3_column_text(m_pStmt, col));
        return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(m_pStmt, col))) : std::string();
    }

private:
    void Check(int rc, const char* what) {
        if (rc != SQLITE_OK) ThrowSqlite(m_pDb, what);
    }
    sqlite3* m_pDb;
    sqlite3_stmt* m_pStmt = nullptr;
};

void Exec(sqlite3* db, const char* sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        std::string text = msg ? msg : sqlite3_errmsg(db);
        sqlite3_free(msg);
        throw std::runtime_error(std::string("registry hive: ") + text);
    }
}

// One write transaction. IMMEDIATE takes the write lock up front, so two
// processes never both read and then deadlock when upgrading to write.
class TWriteTransaction {
public:
    explicit TWriteTransaction(sqlite3* db) : m_pDb(db) { Exec(db, "BEGIN IMMEDIATE"); }
    ~TWriteTransaction() {
        if (!m_bDone) sqlite3_exec(m_pDb, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    TWriteTransaction(const TWriteTransaction&) = delete;
    TWriteTransaction& operator=(const TWriteTransaction&) = delete;
    void Commit() {
        Exec(m_pDb, "COMMIT");
        m_bDone = true;
    }

private:
    sqlite3* m_pDb;
    bool m_bDone = false;
};

// Writers of one process take turns in arrival order before they ask SQLite
// for the file, so that several hive objects on one file within a process
// never starve each other; SQLite's file locks still order writers across
// processes.
class TFileWriterTurns {
public:
    static TFileWriterTurns& For(const std::filesystem::path& file) {
        static std::mutex mtxAll;
        static std::map<std::string, std::unique_ptr<TFileWriterTurns>> all;
        std::error_code ec;
        auto canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(file), ec);
        std::lock_guard lock(mtxAll);
        auto& turns = all[(ec ? file : canonical).string()];
        if (!turns) turns = std::make_unique<TFileWriterTurns>();
        return *turns;
    }
    void lock() {
        std::unique_lock lock(m_mtx);
        uint64_t ticket = m_nNext++;
        m_cvTurn.wait(lock, [&] { return m_nServing == ticket; });
    }
    void unlock() {
        {
            std::lock_guard lock(m_mtx);
            ++m_nServing;
        }
        m_cvTurn.notify_all();
    }

private:
    std::mutex m_mtx;
    std::condition_variable m_cvTurn;
    uint64_t m_nNext = 0, m_nServing = 0;
};

void CreatePrivateFolder(const std::filesystem::path& folder) {
    if (folder.empty() || std::filesystem::exists(folder)) return;
    CreatePrivateFolder(folder.parent_path());
    std::error_code ec;
    std::filesystem::create_directory(folder, ec);
    if (ec && !std::filesystem::is_directory(folder))
        throw std::runtime_error("registry hive: cannot create folder " + folder.string() + ": " + ec.message());
    std::filesystem::permissions(folder, kFolderPerms, ec);
}

TRegValue ValueFromRow(const TStatement& s) {
    TRegValue v;
    v.strName = s.Text(0);
    if (s.Int(1) == TRegValue::rtDword) {
        v.nType = TRegValue::rtDword;
        v.nData = static_cast<uint32_t>(s.Int(3));
    } else {
        v.nType = TRegValue::rtString;
        v.strData = s.Text(2);
    }
    return v;
}

}  // namespace

void TRegistryHiveSqlite::TCloseDb::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

TRegistryHiveSqlite::TRegistryHiveSqlite(std::filesystem::path path, bool bReadOnly, TRoot root)
    : m_Path(std::move(path)), m_bReadOnly(bReadOnly), m_Root(root) {}

std::vector<std::string> TRegistryHiveSqlite::SplitKeyPath(const std::string& key, TRoot root) {
    return RegistryKeyParts(key, root);
}

void TRegistryHiveSqlite::Open(bool bCreate) const {
    sqlite3* raw = nullptr;
    int flags = SQLITE_OPEN_FULLMUTEX | (m_bReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
    if (bCreate) flags |= SQLITE_OPEN_CREATE;
    std::error_code ec;
    bool existed = std::filesystem::exists(m_Path, ec);
    int rc = sqlite3_open_v2(m_Path.c_str(), &raw, flags, nullptr);
    std::unique_ptr<sqlite3, TCloseDb> db(raw);
    if (rc != SQLITE_OK) ThrowSqlite(raw, "cannot open " + m_Path.string());
    sqlite3_busy_handler(raw, WaitWhileBusy, nullptr);
    sqlite3_extended_result_codes(raw, 1);
    if (bCreate && !existed) chmod(m_Path.c_str(), S_IRUSR | S_IWUSR);
    m_pDb = std::move(db);
}

bool TRegistryHiveSqlite::HasTables() const {
    TStatement s(m_pDb.get(), "SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN ('reg_keys','reg_values')");
    s.Step();
    return s.Int(0) == 2;
}

sqlite3* TRegistryHiveSqlite::ReadConnection() const {
    if (!m_pDb) {
        std::error_code ec;
        if (!std::filesystem::exists(m_Path, ec)) return nullptr;
        Open(false);
    }
    // Another process may create the tables after we opened the file.
    if (!m_bTablesSeen) m_bTablesSeen = HasTables();
    return m_bTablesSeen ? m_pDb.get() : nullptr;
}

sqlite3* TRegistryHiveSqlite::WriteConnection() {
    ThrowIfReadOnly("write");
    if (!m_pDb) {
        CreatePrivateFolder(m_Path.parent_path());
        Open(true);
    }
    if (!m_bTablesSeen) CreateTables();
    return m_pDb.get();
}

void TRegistryHiveSqlite::CreateTables() {
    TWriteTransaction tx(m_pDb.get());
    TStatement version(m_pDb.get(), "PRAGMA user_version");
    version.Step();
    if (version.Int(0) > kSchemaVersion)
        throw std::runtime_error("registry hive: " + m_Path.string() + " was written by a newer program");
    Exec(m_pDb.get(), kSchema);
    tx.Commit();
    m_bTablesSeen = true;
}

void TRegistryHiveSqlite::ThrowIfReadOnly(const char* operation) const {
    if (m_bReadOnly)
        throw std::runtime_error(std::string("registry hive: ") + operation + " refused: " + m_Path.string() +
                                 " is read-only");
}

std::optional<long long> TRegistryHiveSqlite::FindKey(const std::vector<std::string>& parts) const {
    long long id = kRootId;
    TStatement find(m_pDb.get(), "SELECT id FROM reg_keys WHERE parent=?1 AND name=?2");
    for (const auto& part : parts) {
        find.Reset().Bind(1, id).Bind(2, part);
        if (!find.Step()) return std::nullopt;
        id = find.Int(0);
    }
    return id;
}

long long TRegistryHiveSqlite::EnsureKey(const std::vector<std::string>& parts) {
    long long id = kRootId;
    TStatement insert(m_pDb.get(), "INSERT INTO reg_keys(parent, name) VALUES(?1, ?2) ON CONFLICT DO NOTHING");
    TStatement find(m_pDb.get(), "SELECT id FROM reg_keys WHERE parent=?1 AND name=?2");
    for (const auto& part : parts) {
        insert.Reset().Bind(1, id).Bind(2, part).Step();
        find.Reset().Bind(1, id).Bind(2, part);
        if (!find.Step()) throw std::runtime_error("registry hive: key vanished while being created");
        id = find.Int(0);
    }
    return id;
}

bool TRegistryHiveSqlite::KeyExists(const std::string& key) const {
    auto parts = SplitKeyPath(key, m_Root);
    std::lock_guard lock(m_mtxDb);
    if (!ReadConnection()) return parts.empty();
    return FindKey(parts).has_value();
}

std::vector<std::string> TRegistryHiveSqlite::SubKeyNames(const std::string& key) const {
    auto parts = SplitKeyPath(key, m_Root);
    std::lock_guard lock(m_mtxDb);
    std::vector<std::string> names;
    if (!ReadConnection()) return names;
    auto id = FindKey(parts);
    if (!id) return names;
    TStatement s(m_pDb.get(), "SELECT name FROM reg_keys WHERE parent=?1 ORDER BY id");
    s.Bind(1, *id);
    while (s.Step()) names.push_back(s.Text(0));
    return names;
}

std::vector<TRegValue> TRegistryHiveSqlite::Values(const std::string& key) const {
    auto parts = SplitKeyPath(key, m_Root);
    std::lock_guard lock(m_mtxDb);
    std::vector<TRegValue> values;
    if (!ReadConnection()) return values;
    auto id = FindKey(parts);
    if (!id) return values;
    TStatement s(m_pDb.get(), "SELECT name, type, str_data, dword_data FROM reg_values WHERE key_id=?1 ORDER BY id");
    s.Bind(1, *id);
    while (s.Step()) values.push_back(ValueFromRow(s));
    return values;
}

std::optional<TRegValue> TRegistryHiveSqlite::ReadValue(const std::string& key, const std::string& name) const {
    auto parts = SplitKeyPath(key, m_Root);
    std::lock_guard lock(m_mtxDb);
    if (!ReadConnection()) return std::nullopt;
    auto id = FindKey(parts);
    if (!id) return std::nullopt;
    TStatement s(m_pDb.get(),
                 "SELECT name, type, str_data, dword_data FROM reg_values WHERE key_id=?1 AND name=?2");
    s.Bind(1, *id).Bind(2, name);
    if (!s.Step()) return std::nullopt;
    return ValueFromRow(s);
}

void TRegistryHiveSqlite::CreateKey(const std::string& key) {
    auto parts = SplitKeyPath(key, m_Root);
    std::lock_guard lock(m_mtxDb);
    std::lock_guard turn(TFileWriterTurns::For(m_Path));
    TWriteTransaction tx(WriteConnection());
    EnsureKey(parts);
    tx.Commit();
}

void TRegistryHiveSqlite::WriteString(const std::string& key, const std::string& name, const std::string& data) {
    WriteValues({TRegWrite::String(key, name, data)});
}

void TRegistryHiveSqlite::WriteDword(const std::string& key, const std::string& name, uint32_t data) {
    WriteValues({TRegWrite::Dword(key, name, data)});
}

void TRegistryHiveSqlite::WriteValues(const std::vector<TRegWrite>& writes) {
    std::lock_guard lock(m_mtxDb);
    std::lock_guard turn(TFileWriterTurns::For(m_Path));
    TWriteTransaction tx(WriteConnection());
    for (const TRegWrite& write : writes) PutValue(write.strKey, write.value);
    tx.Commit();
}

void TRegistryHiveSqlite::PutValue(const std::string& key, const TRegValue& value) {
    if (value.nType != TRegValue::rtString && value.nType != TRegValue::rtDword)
        throw std::invalid_argument("registry hive: value " + value.strName + " has an unknown type " +
                                    std::to_string(static_cast<int>(value.nType)));
    long long id = EnsureKey(SplitKeyPath(key, m_Root));
    // An existing value keeps its row, so its stored name and its place in the
    // enumeration stay as they were.
    TStatement s(m_pDb.get(),
                 "INSERT INTO reg_values(key_id, name, type, str_data, dword_data) VALUES(?1, ?2, ?3, ?4, ?5) "
                 "ON CONFLICT(key_id, name) DO UPDATE SET type=excluded.type, str_data=excluded.str_data, "
                 "dword_data=excluded.dword_data");
    s.Bind(1, id).Bind(2, value.strName).Bind(3, static_cast<long long>(value.nType));
    if (value.nType == TRegValue::rtDword) s.BindNull(4).Bind(5, static_cast<long long>(value.nData));
    else s.Bind(4, value.strData).BindNull(5);
    s.Step();
}

bool TRegistryHiveSqlite::DeleteKey(const std::string& key) {
    auto parts = SplitKeyPath(key, m_Root);
    std::lock_guard lock(m_mtxDb);
    ThrowIfReadOnly("delete");
    if (parts.empty()) throw std::runtime_error("registry hive: the hive's root cannot be deleted");
    if (!ReadConnection()) return false;
    std::lock_guard turn(TFileWriterTurns::For(m_Path));
    TWriteTransaction tx(m_pDb.get());
    auto id = FindKey(parts);
    if (!id) return false;
    static constexpr const char* kSubtree =
        "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM reg_keys k JOIN tree t ON k.parent=t.id) ";
    TStatement values(m_pDb.get(), (std::string(kSubtree) + "DELETE FROM reg_values WHERE key_id IN tree").c_str());
    values.Bind(1, *id).Step();
    TStatement keys(m_pDb.get(), (std::string(kSubtree) + "DELETE FROM reg_keys WHERE id IN tree").c_str());
    keys.Bind(1, *id).Step();
    tx.Commit();
    return true;
}

bool TRegistryHiveSqlite::DeleteValue(const std::string& key, const std::string& name) {
    auto parts = SplitKeyPath(key, m_Root);
    std::lock_guard lock(m_mtxDb);
    ThrowIfReadOnly("delete");
    if (!ReadConnection()) return false;
    std::lock_guard turn(TFileWriterTurns::For(m_Path));
    TWriteTransaction tx(m_pDb.get());
    auto id = FindKey(parts);
    if (!id) return false;
    TStatement s(m_pDb.get(), "DELETE FROM reg_values WHERE key_id=?1 AND name=?2");
    s.Bind(1, *id).Bind(2, name).Step();
    bool deleted = sqlite3_changes(m_pDb.get()) > 0;
    tx.Commit();
    return deleted;
}
