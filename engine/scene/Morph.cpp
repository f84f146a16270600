// Morph evaluation: blends the rest positions of two neighbouring entries of a source's sequence.
#include "engine/scene/Morph.h"
#include <algorithm>
#include "engine/scene/Mesh.h"

void EvaluateMorph(Mesh& source, float t)
{
    const std::vector<Mesh*>& list = source.morph.targets;
    for (size_t i = 0; i + 1 < list.size(); ++i) {
        const MorphData& entry = list[i]->morph;
        if (!(entry.intervalStart < t && t < entry.intervalEnd))
            continue;
        const float l = (t - static_cast<float>(source.morph.startFrame) - entry.intervalStart) /
                        (entry.intervalEnd - entry.intervalStart);
        const std::vector<Vertex>& from = list[i]->restVertices;
        const std::vector<Vertex>& to = list[i + 1]->restVertices;
        const size_t count = std::min({source.vertices.size(), from.size(), to.size()});
        for (size_t k = 0; k < count; ++k) {
            Vertex& v = source.vertices[k];
            v.x = l * to[k].x + (1.0f - l) * from[k].x;
            v.y = l * to[k].y + (1.0f - l) * from[k].y;
            v.z = l * to[k].z + (1.0f - l) * from[k].z;
        }
        return;
    }
}
