// The layer stack at the current time, as an author reads it: type, name, window, fade and the parameters set.
#pragma once
#include <string>
#include <utility>
#include <vector>

class Timeline;
class TypeCatalog;

struct StackEntry {
    std::string type;
    std::string name;
    bool named = false;         // named layers stay on the stack after their window
    float windowStart = 0.0f;   // production seconds
    float windowEnd = -1.0f;    // production seconds; -1: unlimited
    bool visible = false;       // inside its window now
    float fade = -1.0f;         // envelope now; -1 for layers without one
    std::vector<std::pair<std::string, std::string>> parameters;  // values that differ from the type's defaults
};

// Bottom of the picture first.
std::vector<StackEntry> ReadLayerStack(const Timeline& timeline, const TypeCatalog& catalog);
// The stack as lines of text, headed by the production time and the script's blocks.
std::string FormatLayerStack(const Timeline& timeline, const std::vector<StackEntry>& stack);
// One layer on one line (without the parameters).
std::string FormatStackEntry(const StackEntry& entry);
