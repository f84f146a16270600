// ViewFrustum: the view test that decides whether a static mesh's bounding box can be seen.
#pragma once
#include "engine/device/Matrix.h"

class ViewFrustum {
public:
    // From the frame's view and view-projection matrices and the device's near and far.
    static ViewFrustum From(const Matrix4& view, const Matrix4& viewProjection, float nearPlane, float farPlane);

    // Visible when some corner lies strictly between near and far along the view direction
    // and each of the four side planes has some corner on its inner side; otherwise when
    // the centre lies inside all four side planes.
    bool IsBoxVisible(const Vector3 corners[8], Vector3 center) const;
    bool IsInsideSides(Vector3 point) const;
    // Distance of point along the view direction.
    float Depth(Vector3 point) const;

private:
    Matrix4 view_;
    Matrix4 viewProjection_;
    float near_ = 1.0f;
    float far_ = 1000.0f;
};
