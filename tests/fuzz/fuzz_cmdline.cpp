// Fuzz target: the command line; the input's NUL bytes separate the arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include "app/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> words{"starfall"};
    std::string word;
    for (size_t i = 0; i < size && words.size() < 256; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    CommandLineOptions options;
    std::string error;
    ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options, error);
    HasSwitch(options.commandLine, "LogWindow");
    return 0;
}
