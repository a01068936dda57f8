#include "app/automation.h"

#include "platform/ini_document.h"
#include "platform/text.h"

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <system_error>

namespace automation {

namespace {

std::mutex g_lock;
std::map<std::wstring, Factory> g_runningFactories;
int g_appLocks = 0;

std::string Utf8(const std::wstring& text) {
    return platform::ToUtf8(text);
}

std::wstring Root(const std::wstring& key) {
    return L"HKEY_CLASSES_ROOT\\" + key;
}

bool ReadStore(const std::filesystem::path& store, std::string& text) {
    std::error_code error;
    if (!std::filesystem::exists(store, error))
        return true; // a new store
    std::ifstream in(store, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return true;
}

// Replaces the store in one step, so that a reader never sees half a file.
bool WriteStore(const std::filesystem::path& store, const std::string& text) {
    if (store.empty())
        return false;
    std::filesystem::path temporary = store;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out << text;
        if (!out.flush())
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, store, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

template <class Change> bool EditStore(const std::filesystem::path& named, Change change) {
    if (named.empty())
        return false;
    // A store that is a link stays one: its target is what gets rewritten.
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(named, error);
    const std::filesystem::path store = error ? named : canonical;
    std::string text;
    if (!ReadStore(store, text))
        return false;
    // A user's first registration makes the folder of the store.
    std::filesystem::create_directories(store.parent_path(), error);
    platform::IniDocument document = platform::IniDocument::Parse(text);
    change(document);
    return WriteStore(store, document.Text());
}

} // namespace

std::wstring ProgIdSection() {
    return Root(kProgId);
}
std::wstring ClassSection() {
    return Root(std::wstring(L"CLSID\\") + kClassId);
}
std::wstring InterfaceSection() {
    return Root(std::wstring(L"Interface\\") + kInterfaceId);
}
std::wstring TypeLibSection() {
    return Root(std::wstring(L"TypeLib\\") + kTypeLibId + L"\\" + std::to_wstring(kTypeLibMajor) +
                L"." + std::to_wstring(kTypeLibMinor));
}

bool RegisterServer(const std::filesystem::path& store, const std::filesystem::path& program) {
    const std::string server = program.string();
    return EditStore(store, [&](platform::IniDocument& document) {
        document.Set(Utf8(ProgIdSection()), "CLSID", Utf8(kClassId));
        document.Set(Utf8(ClassSection()), "ProgID", Utf8(kProgId));
        document.Set(Utf8(ClassSection()), "LocalServer32", server);
        document.Set(Utf8(InterfaceSection()), "Name", Utf8(kInterfaceName));
        document.Set(Utf8(InterfaceSection()), "TypeLib", Utf8(kTypeLibId));
        document.Set(Utf8(TypeLibSection()), "Name", Utf8(kTypeLibName));
        document.Set(Utf8(TypeLibSection()), "Path", server);
    });
}

bool UnregisterServer(const std::filesystem::path& store) {
    std::error_code error;
    if (!std::filesystem::exists(store, error))
        return true;
    return EditStore(store, [](platform::IniDocument& document) {
        for (const std::wstring& section :
             {ProgIdSection(), ClassSection(), InterfaceSection(), TypeLibSection()})
            document.RemoveSection(Utf8(section));
    });
}

void RegisterRunningFactory(const std::wstring& classId, Factory factory) {
    std::lock_guard guard(g_lock);
    g_runningFactories[classId] = std::move(factory);
}

bool IsFactoryRunning(const std::wstring& classId) {
    std::lock_guard guard(g_lock);
    return g_runningFactories.count(classId) != 0;
}

void RevokeRunningFactories() {
    std::lock_guard guard(g_lock);
    g_runningFactories.clear();
}

void* CreateObject(const std::wstring& classId) {
    Factory factory;
    {
        std::lock_guard guard(g_lock);
        const auto found = g_runningFactories.find(classId);
        if (found == g_runningFactories.end())
            return nullptr;
        factory = found->second;
    }
    return factory ? factory() : nullptr;
}

void LockApp() {
    std::lock_guard guard(g_lock);
    ++g_appLocks;
}

void UnlockApp() {
    std::lock_guard guard(g_lock);
    if (g_appLocks > 0)
        --g_appLocks;
}

int AppLockCount() {
    std::lock_guard guard(g_lock);
    return g_appLocks;
}

} // namespace automation
