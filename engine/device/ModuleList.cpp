// Module list: the internal module, module libraries loaded with dlopen, device creation.
#include "engine/device/ModuleList.h"
#include <dlfcn.h>
#include <glob.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include "engine/core/Fatal.h"

RenderDevice* ModuleList::CreateDevice(int index, LogCallback callback)
{
    SetLogCallback(callback);
    if (index < 0 || index >= GetModuleCount())
        ReportFatal("CreateDevice : module %d does not exist (%d known).", index, GetModuleCount());
    if (internal_.create == nullptr) ReportFatal("CreateDevice : the internal module has no device.");
    LogLine("Found Module [%s](%s)", "Internal module", internal_.banner);
    return internal_.create();
}

void ModuleList::AddInternalModule(const char*)
{
    DeviceModule module;
    std::snprintf(module.description.name, sizeof(module.description.name), "%s", internal_.banner);
    module.fileName = kInternalModuleFile;
    modules_.push_back(module);
}

bool ModuleList::TryAddModule(const char* fileName)
{
    if (!LoadModule(fileName)) return false;
    ModuleDescribeEntry describe = GetDescribeEntry();
    if (describe == nullptr) {
        UnloadModule();
        return false;
    }
    ModuleDescription buffer;
    const ModuleDescription* answer = describe(&buffer);
    DeviceModule module;
    if (answer != nullptr) module.description = *answer;
    // The name must end inside its field whatever the library wrote.
    module.description.name[sizeof(module.description.name) - 1] = '\0';
    module.fileName = fileName;
    if (Accept(module.description)) modules_.push_back(module);
    UnloadModule();
    LogLine("Found Module [%s](%s)", fileName, module.description.name);
    return true;
}

LibraryModuleList::~LibraryModuleList()
{
    UnloadModule();
}

void LibraryModuleList::Scan()
{
    std::string pattern = (folder_.empty() ? std::string(".") : folder_) + "/*.so";
    glob_t found{};
    if (glob(pattern.c_str(), 0, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc; ++i) {
            std::string path = found.gl_pathv[i];
            std::string name = path.substr(path.find_last_of('/') + 1);
            if (!TryAddModule(name.c_str())) std::printf("o Not a valid DLL [%s]\n", name.c_str());
        }
    }
    globfree(&found);
}

bool LibraryModuleList::LoadModule(const char* fileName)
{
    UnloadModule();
    std::string path = (folder_.empty() ? std::string(".") : folder_) + "/" + fileName;
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return library_ != nullptr;
}

bool LibraryModuleList::UnloadModule()
{
    if (library_ == nullptr) return false;
    bool ok = dlclose(library_) == 0;
    library_ = nullptr;
    return ok;
}

ModuleDescribeEntry LibraryModuleList::GetDescribeEntry()
{
    if (library_ == nullptr) return nullptr;
    return reinterpret_cast<ModuleDescribeEntry>(dlsym(library_, kModuleDescribeSymbol));
}

ModuleFactoryEntry LibraryModuleList::GetFactoryEntry()
{
    if (library_ == nullptr) return nullptr;
    return reinterpret_cast<ModuleFactoryEntry>(dlsym(library_, kModuleFactorySymbol));
}
