// Named byte blocks linked into the executable (the archive travels this way).
#pragma once
#include <cstddef>
#include <cstdint>

// Registers bytes under a name (looked up without regard to case). The bytes must
// outlive every reader; registering a name again replaces it.
void RegisterEmbeddedResource(const char* name, const uint8_t* data, size_t size);
void UnregisterEmbeddedResource(const char* name);
// Finds a resource; returns false when absent.
bool FindEmbeddedResource(const char* name, const uint8_t*& data, size_t& size);
