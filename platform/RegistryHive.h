#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// A registry hive: keys named by back-slash separated paths below the hive's
// root ("Software\\Corvane\\OrlaDesk\\1.0"; leading and trailing back-slashes
// and the hive prefix "HKCU\\" are ignored). Key and value names are compared
// without regard to letter case; the stored case is kept and enumerations list
// names as stored, in the order they were created. Values are REG_SZ (string)
// or REG_DWORD (32-bit). Every write is one transaction.
// On Windows the registry itself keeps the names and the order of enumeration
// (sub-keys come sorted there), and a batch is written value by value (see
// TRegistryHiveWindows::WriteValues).
//
// Implementations are safe to call from any thread; failures of the store
// itself (unreadable file, disk full) throw std::runtime_error.
struct TRegValue {
    enum TType : uint8_t { rtString = 1, rtDword = 4 };
    std::string strName;
    TType nType = rtString;
    std::string strData;  // rtString
    uint32_t nData = 0;   // rtDword
};

// One value to write, with the key that holds it.
struct TRegWrite {
    std::string strKey;
    TRegValue value;

    static TRegWrite String(const std::string& key, const std::string& name, const std::string& data) {
        return {key, TRegValue{name, TRegValue::rtString, data, 0}};
    }
    static TRegWrite Dword(const std::string& key, const std::string& name, uint32_t data) {
        return {key, TRegValue{name, TRegValue::rtDword, "", data}};
    }
};

class IRegistryHive {
public:
    virtual ~IRegistryHive() = default;

    virtual bool KeyExists(const std::string& key) const = 0;
    // Names of the direct sub-keys; empty when the key is missing.
    virtual std::vector<std::string> SubKeyNames(const std::string& key) const = 0;
    // The key's values; empty when the key is missing.
    virtual std::vector<TRegValue> Values(const std::string& key) const = 0;
    virtual std::optional<TRegValue> ReadValue(const std::string& key, const std::string& name) const = 0;

    // Creating a key creates its missing parents. Writing a value creates its key.
    // A read-only hive throws std::runtime_error on every write.
    virtual void CreateKey(const std::string& key) = 0;
    virtual void WriteString(const std::string& key, const std::string& name, const std::string& data) = 0;
    virtual void WriteDword(const std::string& key, const std::string& name, uint32_t data) = 0;
    // Writes every value, in order, as one transaction: whatever fails or
    // ends the process on the way, the hive holds all of them or none.
    virtual void WriteValues(const std::vector<TRegWrite>& writes) = 0;
    // Both return false when there was nothing to delete. Deleting a key deletes
    // its sub-keys and values.
    virtual bool DeleteKey(const std::string& key) = 0;
    virtual bool DeleteValue(const std::string& key, const std::string& name) = 0;

    std::optional<std::string> ReadString(const std::string& key, const std::string& name) const {
        auto v = ReadValue(key, name);
        if (!v || v->nType != TRegValue::rtString) return std::nullopt;
        return v->strData;
    }
};
