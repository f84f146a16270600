// View test of bounding boxes: side planes from the view-projection matrix, depth along the view direction.
#include "engine/scene/ViewCulling.h"

ViewFrustum ViewFrustum::From(const Matrix4& view, const Matrix4& viewProjection, float nearPlane, float farPlane)
{
    ViewFrustum frustum;
    frustum.view_ = view;
    frustum.viewProjection_ = viewProjection;
    frustum.near_ = nearPlane;
    frustum.far_ = farPlane;
    return frustum;
}

float ViewFrustum::Depth(Vector3 p) const
{
    return p.x * view_[0][2] + p.y * view_[1][2] + p.z * view_[2][2] + view_[3][2];
}

bool ViewFrustum::IsInsideSides(Vector3 point) const
{
    const Vector4 c = TransformPoint(viewProjection_, point);
    return c.x + c.w >= 0 && c.w - c.x >= 0 && c.y + c.w >= 0 && c.w - c.y >= 0;
}

bool ViewFrustum::IsBoxVisible(const Vector3 corners[8], Vector3 center) const
{
    bool inDepth = false;
    bool left = false, right = false, bottom = false, top = false;
    for (int i = 0; i < 8; ++i) {
        const float depth = Depth(corners[i]);
        if (depth > near_ && depth < far_)
            inDepth = true;
        const Vector4 c = TransformPoint(viewProjection_, corners[i]);
        left = left || c.x + c.w >= 0;
        right = right || c.w - c.x >= 0;
        bottom = bottom || c.y + c.w >= 0;
        top = top || c.w - c.y >= 0;
    }
    if (inDepth && left && right && bottom && top)
        return true;
    return IsInsideSides(center);
}
