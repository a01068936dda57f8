// The automation identity of the program and what stands in for COM here:
// registration entries in the registry store, and the class factories that
// are "running" in this process.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace automation {

// Class of the automation object, its ProgID, its empty dispatch interface
// and the type library that describes it.
inline constexpr const wchar_t* kClassId = L"{59A2AEF0-7455-4939-82DA-E9A1DCC64565}";
inline constexpr const wchar_t* kProgId = L"Velmor.Application";
inline constexpr const wchar_t* kInterfaceName = L"IVelmor";
inline constexpr const wchar_t* kInterfaceId = L"{7334EC35-ABAA-41A6-949F-FDC4B5CDA8D1}";
inline constexpr const wchar_t* kTypeLibName = L"Velmor";
inline constexpr const wchar_t* kTypeLibId = L"{4FEA7851-30C9-4BA1-B1B0-058668391B3B}";
inline constexpr int kTypeLibMajor = 1;
inline constexpr int kTypeLibMinor = 0;

// The registry sections the registration writes, "HKEY_CLASSES_ROOT\..." each.
std::wstring ProgIdSection();
std::wstring ClassSection();
std::wstring InterfaceSection();
std::wstring TypeLibSection();

// Writes the class, ProgID, interface and type library entries into the
// store `store`, naming `program` as the server. False when the store cannot
// be written; nothing else in it changes.
bool RegisterServer(const std::filesystem::path& store, const std::filesystem::path& program);
// Removes exactly those entries again.
bool UnregisterServer(const std::filesystem::path& store);

// Running class factories of this process, by class id.
using Factory = std::function<void*()>;
void RegisterRunningFactory(const std::wstring& classId, Factory factory);
bool IsFactoryRunning(const std::wstring& classId);
void RevokeRunningFactories();
// What a client's creation request gets: a new object, or null when no
// factory for the class runs here.
void* CreateObject(const std::wstring& classId);

// The application lock: objects that clients hold keep the program alive.
void LockApp();
void UnlockApp();
int AppLockCount();

} // namespace automation
