// ObjectFlags: the bits a scene object's name and the scene's loading and drawing set on it.
#pragma once
#include <cstdint>

// Values are fixed: modifiers test and set them directly.
enum ObjectFlag : uint32_t {
    kFlagAlpha = 0x1,             // ".Alpha": drawn with alpha blending
    kFlagHide = 0x4,              // ".Hide": never drawn
    kFlagNoFog = 0x8,             // ".NoFog": fog off while the mesh is drawn
    kFlagEnvMap = 0x10,           // ".EnvMap": stage 1 environment map, coordinates every frame
    kFlagRecomputeNormals = 0x20, // normals rebuilt every frame (morph sources)
    kFlagWire = 0x40,             // ".Wire": recorded only
    kFlagVisible = 0x80,          // set when finished; culling and morph destinations clear it
    kFlagAlphaMap = 0x100,        // ".AlphaMap": uses its texture's alpha
    kFlagNoCull = 0x200,          // ".NoCull": both faces drawn
    kFlagDriven = 0x400,          // this frame's matrix comes from a rotation track or a parent
    kFlagFloor = 0x4000,          // ".Floor": floor blending
    kFlagNoDynaLight = 0x10000,   // ".NoDynaLight": lighting off for this mesh
    kFlagMorph = 0x40000,         // ".MorphSrc": morphed every frame
    kFlagMorphDest = 0x80000,     // ".MorphDest": a morph target, never drawn
    kFlagMorphLoop = 0x100000,    // ".Loop" on a morph source: recorded only
    kFlagMovedLast = 0x80000000u  // alpha mesh already moved to the end of the mesh list
};
