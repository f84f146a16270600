// Command-line archive writer: packs files and folders into one archive.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "tools/pakwriter/PakWriter.h"

static int Usage()
{
    std::fprintf(stderr,
                 "usage: pakwriter [--quiet] [--keep-folders] [--allow-duplicates] -o OUT inputs...\n"
                 "  Packs files, and folders recursively, into an archive. Names are stored in\n"
                 "  lower case and without folders unless --keep-folders is given.\n");
    return 2;
}

int main(int argc, char** argv)
{
    PakWriterOptions options;
    bool quiet = false;
    std::string output;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--quiet") == 0) {
            quiet = true;
        } else if (std::strcmp(argument, "--keep-folders") == 0) {
            options.keepFolders = true;
        } else if (std::strcmp(argument, "--allow-duplicates") == 0) {
            options.allowDuplicates = true;
        } else if (std::strcmp(argument, "-o") == 0) {
            if (i + 1 >= argc)
                return Usage();
            output = argv[++i];
        } else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            Usage();
            return 0;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            std::fprintf(stderr, "pakwriter: unknown option %s\n", argument);
            return Usage();
        } else {
            inputs.push_back(argument);
        }
    }
    if (output.empty())
        return Usage();

    std::vector<PakSource> sources;
    std::vector<uint8_t> archive;
    std::string error;
    if (!CollectPakSources(inputs, options, sources, error) || !BuildPak(sources, archive, error) ||
        !WritePakFile(output, archive, error)) {
        std::fprintf(stderr, "pakwriter: %s\n", error.c_str());
        return 1;
    }
    if (quiet)
        return 0;
    for (const PakSource& source : sources)
        std::printf("%-40s %10zu  %s\n", source.name.c_str(), source.data.size(), source.origin.c_str());
    std::printf("pakwriter: %zu files, %zu bytes -> %s\n", sources.size(), archive.size(), output.c_str());
    return 0;
}
