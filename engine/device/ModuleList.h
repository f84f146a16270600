// The list of 3D modules that supply rendering devices: the internal module and module libraries.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/core/LibObject.h"
#include "engine/core/Log.h"

class RenderDevice;

// How a module describes itself (112 bytes).
struct ModuleDescription {
    char name[100] = {};  // NUL-terminated
    uint32_t value1 = 0;
    uint32_t value2 = 0;
    uint32_t value3 = 0;
};
static_assert(sizeof(ModuleDescription) == 112, "ModuleDescription must stay 112 bytes");

// One known module: its description and its file name ("Internal Module" for the built-in one).
struct DeviceModule {
    ModuleDescription description;
    std::string fileName;
};

// A module library is a shared object exporting these two C functions: the description entry
// is called with a 112-byte block and answers a pointer to the module's description block
// (which the list copies); the factory entry is fetched but never called.
extern "C" {
using ModuleDescribeEntry = const ModuleDescription* (*)(ModuleDescription* block);
using ModuleFactoryEntry = void* (*)();
}
constexpr const char* kModuleDescribeSymbol = "VireoModuleDescribe";
constexpr const char* kModuleFactorySymbol = "VireoModuleFactory";
constexpr const char* kInternalModuleFile = "Internal Module";

// The module built into the program: its name and the factory of its device.
struct InternalModule {
    const char* banner = "";
    RenderDevice* (*create)() = nullptr;
};

class ModuleList : public LibObject {
public:
    // internal: the module whose device CreateDevice builds.
    explicit ModuleList(const InternalModule& internal) : internal_(internal) {}
    ~ModuleList() override = default;
    ModuleList(const ModuleList&) = delete;
    ModuleList& operator=(const ModuleList&) = delete;

    // Looks for module libraries in the folder and adds those that describe themselves.
    virtual void Scan() = 0;
    virtual bool Accept(const ModuleDescription& description) = 0;
    virtual bool LoadModule(const char* fileName) = 0;
    virtual bool UnloadModule() = 0;
    virtual ModuleDescribeEntry GetDescribeEntry() = 0;
    virtual ModuleFactoryEntry GetFactoryEntry() = 0;
    // Makes callback the process-wide log callback first, then builds the internal module's
    // device (whatever the index; library modules are listed, never instantiated).
    // index must be below the module count. The caller owns the device.
    virtual RenderDevice* CreateDevice(int index, LogCallback callback);

    // Appends the internal module's entry; the folder is not used.
    void AddInternalModule(const char* folder);
    int GetModuleCount() const { return static_cast<int>(modules_.size()); }
    const DeviceModule& GetModule(int index) const { return modules_.at(index); }
    // Loads fileName, copies its description, appends it when accepted, unloads it and logs
    // the found-module line. False when the library does not load or lacks the entry.
    bool TryAddModule(const char* fileName);

    void SetFolder(const std::string& folder) { folder_ = folder; }
    const std::string& GetFolder() const { return folder_; }

protected:
    InternalModule internal_;
    void* library_ = nullptr;  // the module library loaded now
    std::string folder_;
    std::vector<DeviceModule> modules_;
};

// Loads module libraries with dlopen from the folder; leaves Accept to the final class.
class LibraryModuleList : public ModuleList {
public:
    using ModuleList::ModuleList;
    ~LibraryModuleList() override;
    // Every "*.so" in the folder, in name order; a library that is not a module prints
    // "o Not a valid DLL [name]" on the standard output.
    void Scan() override;
    bool LoadModule(const char* fileName) override;
    bool UnloadModule() override;
    ModuleDescribeEntry GetDescribeEntry() override;
    ModuleFactoryEntry GetFactoryEntry() override;
};

// The list the application keeps: accepts every module.
class DeviceModuleList : public LibraryModuleList {
public:
    using LibraryModuleList::LibraryModuleList;
    bool Accept(const ModuleDescription&) override { return true; }
};
