// MDL listing: a readable account of a scene file's records and what their names make of them.
#pragma once
#include <ostream>
#include "engine/scene/MdlFile.h"

// Header, every object with its decoded flags, materials and textures, track key counts
// and frame ranges, children, morph sequences, halos, particle streams and fog lights.
void DumpMdl(const MdlFile& file, const char* path, std::ostream& out);
// The names of the ObjectFlag bits set in flags, joined by '|' ("-" for none).
std::string DescribeFlags(uint32_t flags);
