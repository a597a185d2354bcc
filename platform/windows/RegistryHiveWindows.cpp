#include "platform/windows/RegistryHiveWindows.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <stdexcept>

#include "platform/windows/WideString.h"

namespace {

using TRoot = TRegistryHiveWindows::TRoot;

HKEY RootKey(TRoot root) { return root == TRoot::hrCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

// A missing key shows as either code, depending on which component is missing.
bool IsMissing(LONG rc) { return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND; }

class TKey {
public:
    TKey() = default;
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;
    ~TKey() {
        if (m_hKey) RegCloseKey(m_hKey);
    }
    HKEY Get() const { return m_hKey; }
    HKEY* Receive() { return &m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

LONG OpenKey(TRoot root, const std::string& path, REGSAM access, TKey& key) {
    return RegOpenKeyExW(RootKey(root), Widen(path).c_str(), 0, access, key.Receive());
}

// A value as the registry holds it, so that it can be put back exactly.
struct TRawValue {
    DWORD nType = REG_NONE;
    std::vector<BYTE> data;
};

// Empty when the value is missing; the error code otherwise.
LONG QueryRaw(HKEY key, const std::wstring& name, std::optional<TRawValue>& out) {
    out.reset();
    TRawValue raw;
    DWORD nSize = 0;
    LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &raw.nType, nullptr, &nSize);
    // Another writer may make the value longer between the calls.
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        raw.data.resize(nSize);
        rc = RegQueryValueExW(key, name.c_str(), nullptr, &raw.nType, raw.data.empty() ? nullptr : raw.data.data(),
                              &nSize);
        if (rc == ERROR_SUCCESS) {
            raw.data.resize(nSize);
            out = std::move(raw);
            return ERROR_SUCCESS;
        }
    }
    return IsMissing(rc) ? ERROR_SUCCESS : rc;
}

std::optional<TRegValue> ToRegValue(const std::string& name, const TRawValue& raw) {
    if (raw.nType == REG_DWORD) {
        if (raw.data.size() != sizeof(DWORD)) return std::nullopt;
        DWORD nValue = 0;
        memcpy(&nValue, raw.data.data(), sizeof nValue);
        return TRegValue{name, TRegValue::rtDword, "", nValue};
    }
    if (raw.nType != REG_SZ) return std::nullopt;
    std::wstring text(raw.data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) memcpy(text.data(), raw.data.data(), text.size() * sizeof(wchar_t));
    // One terminator is the stored form's; a NUL before it is the text's own.
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    return TRegValue{name, TRegValue::rtString, Narrow(text), 0};
}

TRawValue ToRaw(const TRegValue& value) {
    TRawValue raw;
    if (value.nType == TRegValue::rtDword) {
        raw.nType = REG_DWORD;
        raw.data.resize(sizeof(DWORD));
        const DWORD nValue = value.nData;
        memcpy(raw.data.data(), &nValue, sizeof nValue);
        return raw;
    }
    raw.nType = REG_SZ;
    const std::wstring text = Widen(value.strData);
    raw.data.resize((text.size() + 1) * sizeof(wchar_t), 0);
    if (!text.empty()) memcpy(raw.data.data(), text.data(), text.size() * sizeof(wchar_t));
    return raw;
}

LONG SetRaw(HKEY key, const std::wstring& name, const TRawValue& raw) {
    return RegSetValueExW(key, name.c_str(), 0, raw.nType, raw.data.data(), static_cast<DWORD>(raw.data.size()));
}

// The registry's own limits: 255 characters for a key name, 16383 for a value name.
constexpr DWORD kMaxKeyName = 256;
constexpr DWORD kMaxValueName = 16384;

// What one WriteValues call changed, to put back when a later write fails.
struct TUndoLog {
    struct TChange {
        std::string strPath;
        std::wstring strName;
        std::optional<TRawValue> before;
    };
    std::vector<TChange> changes;
    std::vector<std::string> createdKeys;  // the topmost key each write created

    // Best effort: the write's own error is what the caller must see.
    void Undo(TRoot root) {
        for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
            TKey key;
            if (OpenKey(root, it->strPath, KEY_SET_VALUE, key) != ERROR_SUCCESS) continue;
            if (it->before)
                SetRaw(key.Get(), it->strName, *it->before);
            else
                RegDeleteValueW(key.Get(), it->strName.c_str());
        }
        for (auto it = createdKeys.rbegin(); it != createdKeys.rend(); ++it)
            RegDeleteTreeW(RootKey(root), Widen(*it).c_str());
    }
};

}  // namespace

TRegistryHiveWindows::TRegistryHiveWindows(TRoot root, bool bReadOnly) : m_Root(root), m_bReadOnly(bReadOnly) {}

const char* TRegistryHiveWindows::RootName(TRoot root) {
    return root == TRoot::hrCurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::string TRegistryHiveWindows::NormalKeyPath(const std::string& key, TRoot root) {
    std::string path;
    for (const std::string& part : RegistryKeyParts(key, root)) {
        if (!path.empty()) path += '\\';
        path += part;
    }
    return path;
}

std::string TRegistryHiveWindows::FullName(const std::string& path) const {
    return path.empty() ? RootName(m_Root) : std::string(RootName(m_Root)) + "\\" + path;
}

void TRegistryHiveWindows::ThrowIfReadOnly(const char* operation) const {
    if (m_bReadOnly)
        throw std::runtime_error(std::string("registry: ") + RootName(m_Root) + " is read only (" + operation + ")");
}

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& fullName, LONG rc) {
    throw std::runtime_error("registry: " + what + " " + fullName + ": " + WindowsErrorText(static_cast<DWORD>(rc)));
}

}  // namespace

bool TRegistryHiveWindows::KeyExists(const std::string& key) const {
    const std::string path = NormalKeyPath(key, m_Root);
    TKey handle;
    const LONG rc = OpenKey(m_Root, path, KEY_QUERY_VALUE, handle);
    if (rc == ERROR_SUCCESS) return true;
    if (IsMissing(rc)) return false;
    // Only a key that is there can refuse us.
    if (rc == ERROR_ACCESS_DENIED) return true;
    Fail("cannot open", FullName(path), rc);
}

std::vector<std::string> TRegistryHiveWindows::SubKeyNames(const std::string& key) const {
    const std::string path = NormalKeyPath(key, m_Root);
    std::vector<std::string> names;
    TKey handle;
    LONG rc = OpenKey(m_Root, path, KEY_ENUMERATE_SUB_KEYS, handle);
    if (IsMissing(rc)) return names;
    if (rc != ERROR_SUCCESS) Fail("cannot open", FullName(path), rc);
    for (DWORD nIndex = 0;; ++nIndex) {
        wchar_t name[kMaxKeyName];
        DWORD nLength = kMaxKeyName;
        rc = RegEnumKeyExW(handle.Get(), nIndex, name, &nLength, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) Fail("cannot list the sub-keys of", FullName(path), rc);
        names.push_back(Narrow(std::wstring_view(name, nLength)));
    }
    return names;
}

std::vector<TRegValue> TRegistryHiveWindows::Values(const std::string& key) const {
    const std::string path = NormalKeyPath(key, m_Root);
    std::vector<TRegValue> values;
    TKey handle;
    LONG rc = OpenKey(m_Root, path, KEY_QUERY_VALUE, handle);
    if (IsMissing(rc)) return values;
    if (rc != ERROR_SUCCESS) Fail("cannot open", FullName(path), rc);
    std::wstring name(kMaxValueName, L'\0');
    for (DWORD nIndex = 0;; ++nIndex) {
        DWORD nLength = kMaxValueName;
        rc = RegEnumValueW(handle.Get(), nIndex, name.data(), &nLength, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) Fail("cannot list the values of", FullName(path), rc);
        const std::wstring valueName(name.data(), nLength);
        std::optional<TRawValue> raw;
        rc = QueryRaw(handle.Get(), valueName, raw);
        if (rc != ERROR_SUCCESS) Fail("cannot read a value of", FullName(path), rc);
        // A value deleted since it was listed is simply gone.
        if (!raw) continue;
        if (auto value = ToRegValue(Narrow(valueName), *raw)) values.push_back(std::move(*value));
    }
    return values;
}

std::optional<TRegValue> TRegistryHiveWindows::ReadValue(const std::string& key, const std::string& name) const {
    const std::string path = NormalKeyPath(key, m_Root);
    TKey handle;
    LONG rc = OpenKey(m_Root, path, KEY_QUERY_VALUE, handle);
    if (IsMissing(rc)) return std::nullopt;
    if (rc != ERROR_SUCCESS) Fail("cannot open", FullName(path), rc);
    std::optional<TRawValue> raw;
    rc = QueryRaw(handle.Get(), Widen(name), raw);
    if (rc != ERROR_SUCCESS) Fail("cannot read " + name + " in", FullName(path), rc);
    if (!raw) return std::nullopt;
    return ToRegValue(name, *raw);
}

void TRegistryHiveWindows::CreateKey(const std::string& key) {
    ThrowIfReadOnly("create a key");
    const std::string path = NormalKeyPath(key, m_Root);
    if (path.empty()) return;  // the root is always there
    TKey handle;
    const LONG rc = RegCreateKeyExW(RootKey(m_Root), Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_QUERY_VALUE, nullptr, handle.Receive(), nullptr);
    if (rc != ERROR_SUCCESS) Fail("cannot create", FullName(path), rc);
}

void TRegistryHiveWindows::WriteString(const std::string& key, const std::string& name, const std::string& data) {
    WriteValues({TRegWrite::String(key, name, data)});
}

void TRegistryHiveWindows::WriteDword(const std::string& key, const std::string& name, uint32_t data) {
    WriteValues({TRegWrite::Dword(key, name, data)});
}

void TRegistryHiveWindows::WriteValues(const std::vector<TRegWrite>& writes) {
    ThrowIfReadOnly("write");
    // A batch that cannot be written in full is refused before anything changes.
    for (const TRegWrite& write : writes)
        if (write.value.nType != TRegValue::rtString && write.value.nType != TRegValue::rtDword)
            throw std::invalid_argument("registry: value " + write.value.strName + " has an unknown type " +
                                        std::to_string(static_cast<int>(write.value.nType)));
    TUndoLog undo;
    try {
        for (const TRegWrite& write : writes) {
            const std::string path = NormalKeyPath(write.strKey, m_Root);
            if (!path.empty() && !KeyExists(path)) {
                // The topmost missing key, so that undoing takes every key this write made.
                size_t at = 0;
                std::string topmost = path;
                while ((at = path.find('\\', at)) != std::string::npos) {
                    if (!KeyExists(path.substr(0, at))) {
                        topmost = path.substr(0, at);
                        break;
                    }
                    ++at;
                }
                undo.createdKeys.push_back(topmost);
            }
            TKey handle;
            LONG rc = path.empty()
                          ? OpenKey(m_Root, path, KEY_QUERY_VALUE | KEY_SET_VALUE, handle)
                          : RegCreateKeyExW(RootKey(m_Root), Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, handle.Receive(), nullptr);
            if (rc != ERROR_SUCCESS) Fail("cannot create", FullName(path), rc);
            const std::wstring name = Widen(write.value.strName);
            std::optional<TRawValue> before;
            rc = QueryRaw(handle.Get(), name, before);
            if (rc != ERROR_SUCCESS) Fail("cannot read " + write.value.strName + " in", FullName(path), rc);
            rc = SetRaw(handle.Get(), name, ToRaw(write.value));
            if (rc != ERROR_SUCCESS) Fail("cannot write " + write.value.strName + " in", FullName(path), rc);
            undo.changes.push_back({path, name, std::move(before)});
        }
    } catch (...) {
        undo.Undo(m_Root);
        throw;
    }
}

bool TRegistryHiveWindows::DeleteKey(const std::string& key) {
    ThrowIfReadOnly("delete");
    const std::string path = NormalKeyPath(key, m_Root);
    if (path.empty()) throw std::runtime_error("registry: the hive's root cannot be deleted");
    const LONG rc = RegDeleteTreeW(RootKey(m_Root), Widen(path).c_str());
    if (IsMissing(rc)) return false;
    if (rc != ERROR_SUCCESS) Fail("cannot delete", FullName(path), rc);
    return true;
}

bool TRegistryHiveWindows::DeleteValue(const std::string& key, const std::string& name) {
    ThrowIfReadOnly("delete a value");
    const std::string path = NormalKeyPath(key, m_Root);
    TKey handle;
    LONG rc = OpenKey(m_Root, path, KEY_SET_VALUE, handle);
    if (IsMissing(rc)) return false;
    if (rc != ERROR_SUCCESS) Fail("cannot open", FullName(path), rc);
    rc = RegDeleteValueW(handle.Get(), Widen(name).c_str());
    if (IsMissing(rc)) return false;
    if (rc != ERROR_SUCCESS) Fail("cannot delete " + name + " in", FullName(path), rc);
    return true;
}
