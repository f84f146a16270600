// Trace back of the latest throw: the C++ runtime's throw entry is wrapped to record the stack.
#include "app/ErrorTrace.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <elf.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <typeinfo>
#include <vector>

namespace {

constexpr int kMaxFrames = 48;
std::atomic<bool> g_enabled{false};
thread_local void* g_frames[kMaxFrames];
thread_local int g_frameCount = 0;

struct FunctionSymbol {
    uintptr_t start;
    uintptr_t size;
    const char* name;
};

// The executable's own functions: its full symbol table, which (unlike the exported one)
// names every function of the program. Empty when the executable is stripped.
class ExecutableSymbols {
public:
    ExecutableSymbols()
    {
        dl_iterate_phdr(&ExecutableSymbols::NoteMainProgram, this);
        Read();
    }

    // "function+0xoffset" for an address inside the executable, empty otherwise.
    std::string Describe(uintptr_t address) const
    {
        if (!Contains(address))
            return {};
        const uintptr_t value = address - bias_;
        auto it = std::upper_bound(symbols_.begin(), symbols_.end(), value,
                                   [](uintptr_t v, const FunctionSymbol& s) { return v < s.start; });
        if (it == symbols_.begin())
            return {};
        --it;
        if (value >= it->start + std::max<uintptr_t>(it->size, 1))
            return {};
        char offset[32];
        std::snprintf(offset, sizeof offset, "+0x%" PRIxPTR, value - it->start);
        return Demangle(it->name) + offset;
    }

    static std::string Demangle(const char* name)
    {
        int status = 0;
        char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
        std::string text = (status == 0 && readable) ? readable : name;
        std::free(readable);
        return text;
    }

private:
    static int NoteMainProgram(dl_phdr_info* info, size_t, void* data)
    {
        // The first object listed is the program itself.
        auto* self = static_cast<ExecutableSymbols*>(data);
        self->bias_ = info->dlpi_addr;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
            const ElfW(Phdr)& segment = info->dlpi_phdr[i];
            if (segment.p_type == PT_LOAD)
                self->segments_.push_back({info->dlpi_addr + segment.p_vaddr, segment.p_memsz});
        }
        return 1;
    }

    bool Contains(uintptr_t address) const
    {
        for (const auto& [start, size] : segments_)
            if (address >= start && address - start < size)
                return true;
        return false;
    }

    void Read()
    {
        const int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        auto readAt = [fd](void* out, size_t size, uint64_t offset) {
            return pread(fd, out, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
        };
        constexpr uint64_t kMaxTable = 256u << 20;
        ElfW(Ehdr) header;
        if (readAt(&header, sizeof header, 0) && std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
            header.e_shentsize == sizeof(ElfW(Shdr)) && header.e_shnum > 0) {
            std::vector<ElfW(Shdr)> sections(header.e_shnum);
            if (readAt(sections.data(), sections.size() * sizeof(ElfW(Shdr)), header.e_shoff)) {
                for (const ElfW(Shdr)& table : sections) {
                    if (table.sh_type != SHT_SYMTAB || table.sh_entsize != sizeof(ElfW(Sym)) ||
                        table.sh_link >= sections.size() || table.sh_size > kMaxTable)
                        continue;
                    const ElfW(Shdr)& strings = sections[table.sh_link];
                    if (strings.sh_size > kMaxTable)
                        continue;
                    std::vector<ElfW(Sym)> entries(table.sh_size / sizeof(ElfW(Sym)));
                    names_.assign(strings.sh_size + 1, '\0');
                    if (!readAt(entries.data(), entries.size() * sizeof(ElfW(Sym)), table.sh_offset) ||
                        !readAt(names_.data(), strings.sh_size, strings.sh_offset))
                        continue;
                    for (const ElfW(Sym)& entry : entries) {
                        if (ELF64_ST_TYPE(entry.st_info) == STT_FUNC && entry.st_value != 0 &&
                            entry.st_name < strings.sh_size)
                            symbols_.push_back({entry.st_value, entry.st_size,
                                                names_.data() + entry.st_name});
                    }
                    break;
                }
            }
        }
        close(fd);
        std::sort(symbols_.begin(), symbols_.end(),
                  [](const FunctionSymbol& a, const FunctionSymbol& b) { return a.start < b.start; });
    }

    uintptr_t bias_ = 0;
    std::vector<std::pair<uintptr_t, uintptr_t>> segments_;
    std::vector<char> names_;
    std::vector<FunctionSymbol> symbols_;
};

// One line of the trace: the function and offset when known, then the module and offset.
// A return address points after the call, so the call itself is looked up one byte
// before it; an exact address (the faulting instruction) is looked up as it is.
std::string DescribeFrame(void* frame, bool exact, const char* fallback, const ExecutableSymbols& program)
{
    const uintptr_t address = reinterpret_cast<uintptr_t>(frame) - (exact ? 0 : 1);
    std::string function = program.Describe(address);
    Dl_info info{};
    const bool located = dladdr(reinterpret_cast<void*>(address), &info) != 0 && info.dli_fname;
    if (function.empty() && located && info.dli_sname && info.dli_saddr) {
        char offset[32];
        std::snprintf(offset, sizeof offset, "+0x%" PRIxPTR,
                      address - reinterpret_cast<uintptr_t>(info.dli_saddr));
        function = ExecutableSymbols::Demangle(info.dli_sname) + offset;
    }
    if (function.empty() || !located)
        return fallback ? fallback : "?";
    const char* slash = std::strrchr(info.dli_fname, '/');
    char module[64];
    std::snprintf(module, sizeof module, "+0x%" PRIxPTR,
                  reinterpret_cast<uintptr_t>(frame) - reinterpret_cast<uintptr_t>(info.dli_fbase));
    return function + " (" + (slash ? slash + 1 : info.dli_fname) + module + ")";
}

}  // namespace

extern "C" {

using CxaThrowFunction = void (*)(void*, std::type_info*, void (*)(void*));

// Every throw passes through here; the runtime's own entry does the real work. It does not
// return: <cxxabi.h> declares it so, and clang refuses the standard attribute on a later
// declaration when the first one lacks it.
void __cxa_throw(void* object, std::type_info* type, void (*destructor)(void*))
{
    static const auto real =
        reinterpret_cast<CxaThrowFunction>(dlsym(RTLD_NEXT, "__cxa_throw"));
    if (g_enabled.load(std::memory_order_relaxed))
        g_frameCount = backtrace(g_frames, kMaxFrames);
    if (!real)
        std::abort();
    real(object, type, destructor);
    __builtin_unreachable();
}

}  // extern "C"

void EnableThrowTraces(bool enable)
{
    g_enabled = enable;
    g_frameCount = 0;
}

namespace {

// The lines of a trace; the first frame is exact when firstIsExact.
std::string DescribeFrames(void* const* frames, int count, bool firstIsExact)
{
    std::string text;
    if (count <= 0)
        return text;
    char** symbols = backtrace_symbols(frames, count);
    const ExecutableSymbols program;
    for (int i = 0; i < count; ++i) {
        text += DescribeFrame(frames[i], firstIsExact && i == 0, symbols ? symbols[i] : nullptr, program);
        text += '\n';
    }
    std::free(symbols);
    return text;
}

}  // namespace

std::string TakeThrowTrace()
{
    if (g_frameCount <= 1)
        return {};
    // Frame 0 is the throw wrapper itself.
    const int count = g_frameCount - 1;
    g_frameCount = 0;
    return DescribeFrames(g_frames + 1, count, false);
}

std::string DescribeFaultTrace(const std::vector<void*>& frames)
{
    return DescribeFrames(frames.data(), static_cast<int>(frames.size()), true);
}
