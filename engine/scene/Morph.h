// Morphing: a source mesh's vertices blended between the rest shapes of its sequence over time.
#pragma once

class Mesh;

// At scene frame t, the first entry i of the source's sequence (but the last) with
// start_i < t < end_i blends entry i into entry i + 1; outside every interval the
// vertices stay as they are. Positions only.
void EvaluateMorph(Mesh& source, float t);
