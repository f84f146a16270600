// Command-line archive writer: packs files and folders into one archive, lists and unpacks archives.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>
#include "tools/pakwriter/PakContents.h"
#include "tools/pakwriter/PakWriter.h"

static int Usage()
{
    std::fprintf(stderr,
                 "usage: pakwriter [--quiet] [--keep-folders] [--allow-duplicates] -o OUT inputs...\n"
                 "       pakwriter --list FILE\n"
                 "       pakwriter --extract FILE DIR\n"
                 "  Packs files, and folders recursively, into an archive. Names are stored in\n"
                 "  lower case and without folders unless --keep-folders is given.\n"
                 "  --list prints every entry of FILE in directory order: packed size, unpacked\n"
                 "  size and name, then the totals.\n"
                 "  --extract unpacks every entry of FILE below DIR (created if missing); the\n"
                 "  backslashes of kept folders become folders. An archive holding a name that\n"
                 "  would land outside DIR (absolute, with a drive, or with a \"..\" part, with\n"
                 "  either slash) is refused before anything is written; a path through a\n"
                 "  symbolic link is refused; of two entries landing in the same place the first\n"
                 "  (the one a player reads) is kept. Exit 1 on any failure.\n");
    return 2;
}

// --list FILE / --extract FILE DIR; -1 when the arguments ask for neither.
static int ReadArchive(int argc, char** argv)
{
    const bool list = argc == 3 && std::strcmp(argv[1], "--list") == 0;
    const bool extract = argc == 4 && std::strcmp(argv[1], "--extract") == 0;
    if (!list && !extract)
        return -1;
    std::string error;
    if (list ? ListPak(argv[2], std::cout, error) : ExtractPak(argv[2], argv[3], std::cout, error))
        return 0;
    std::cout.flush();
    std::fprintf(stderr, "pakwriter: %s\n", error.c_str());
    return 1;
}

int main(int argc, char** argv)
{
    if (argc >= 2 && (std::strcmp(argv[1], "--list") == 0 || std::strcmp(argv[1], "--extract") == 0)) {
        const int status = ReadArchive(argc, argv);
        return status >= 0 ? status : Usage();
    }
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
