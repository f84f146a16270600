// Track encoding: the key values that make the player's track evaluation reproduce sampled motion.
#pragma once
#include <vector>
#include "engine/scene/MdlFile.h"
#include "engine/scene/Track.h"

// Control points whose uniform cubic B-spline, as the player evaluates tracks, passes through
// samples taken one key step apart: one point more at each end (a key one step before the
// first sample and one after the last), so that the player's clamping of the curve at its
// ends never bends the sampled span, and the ends free of bending (a natural spline; straight
// motion stays exactly straight). The player's curve does not pass through its keys: samples
// written as they are would flatten and lag the motion. Fewer than two samples: as they are.
std::vector<double> InterpolatingControlPoints(const std::vector<double>& samples);

// Rotation keys, each relative to the previous one, that the reader's accumulation turns back
// into the absolute rotations (player quaternions, one per frame). Signs are chosen so that
// neighbouring keys have a non-negative dot product (the player's slerp takes the short way)
// and every key is computed from what the reader will have accumulated in single precision,
// so errors do not add up along the track. e1 and e2 go into every key.
std::vector<MdlRotationKey> RelativeRotationKeys(const std::vector<int>& frames,
                                                 const std::vector<Quaternion>& absolute, float e1 = 0.0f,
                                                 float e2 = 0.0f);

// The roll (radians) that gives the player's camera, looking along forward, the up direction
// up. The player turns roll r into the up hint (sin r, cos r, sin r cos r) and removes its part
// along forward; not every up can be reached that way for every forward. Of the best rolls the
// one nearest to previous (unwrapped by whole turns) is returned; error gets the angle left
// between the up reached and the up wanted.
float CameraRoll(Vector3 forward, Vector3 up, float previous, float& error);
