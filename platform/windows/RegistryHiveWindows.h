#pragma once
#include <string>
#include <vector>

#include "platform/RegistryHive.h"
#include "platform/RegistryKeyPath.h"

// One of Windows' own registry roots (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE)
// behind the hive interface. Every call opens the keys it needs and closes
// them again, so the object holds no handle and any thread may use it.
//
// Only REG_SZ and REG_DWORD values are seen: values of other types (other
// programs write REG_EXPAND_SZ, REG_BINARY, ...) are left out of Values and
// read as missing, so that nobody mistakes their bytes for text.
class TRegistryHiveWindows : public IRegistryHive {
public:
    using TRoot = THiveRoot;

    TRegistryHiveWindows(TRoot root, bool bReadOnly);

    bool KeyExists(const std::string& key) const override;
    std::vector<std::string> SubKeyNames(const std::string& key) const override;
    std::vector<TRegValue> Values(const std::string& key) const override;
    std::optional<TRegValue> ReadValue(const std::string& key, const std::string& name) const override;

    void CreateKey(const std::string& key) override;
    void WriteString(const std::string& key, const std::string& name, const std::string& data) override;
    void WriteDword(const std::string& key, const std::string& name, uint32_t data) override;
    // Windows offers no usable transaction for the registry (the transacted
    // registry calls are deprecated, and Wine answers them with "not
    // implemented"). So the values are written one after the other, and when
    // one fails, those already written are put back as they were and the keys
    // this call created are removed, before the error is passed on. A process
    // that ends half-way leaves the values written so far.
    void WriteValues(const std::vector<TRegWrite>& writes) override;
    bool DeleteKey(const std::string& key) override;
    bool DeleteValue(const std::string& key, const std::string& name) override;

    // The key path as Windows wants it below the root: components joined by
    // single back-slashes, without the root's prefix ("HKCU", "HKEY_CURRENT_USER",
    // any case) and without empty components. "\\HKCU\\A\\\\B\\" gives "A\\B".
    static std::string NormalKeyPath(const std::string& key, TRoot root);
    // "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE", for messages.
    static const char* RootName(TRoot root);

private:
    void ThrowIfReadOnly(const char* operation) const;
    std::string FullName(const std::string& path) const;

    TRoot m_Root;
    bool m_bReadOnly;
};
