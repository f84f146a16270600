// 3-component vectors and 4x4 float matrices used with row vectors (p' = p * M).
#pragma once

struct Vector3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

inline Vector3 operator+(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator-(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator*(Vector3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 Cross(Vector3 a, Vector3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Length(Vector3 v);

// Stored row by row; m[row][column], both 0-based. Translation lives in row 3.
struct Matrix4 {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    static Matrix4 Identity() { return Matrix4{}; }
    static Matrix4 Translation(float x, float y, float z);
    static Matrix4 Scaling(float x, float y, float z);
    // Rotations by angle radians, in the row-vector convention.
    static Matrix4 RotationX(float angle);
    static Matrix4 RotationY(float angle);
    static Matrix4 RotationZ(float angle);

    float* operator[](int row) { return m[row]; }
    const float* operator[](int row) const { return m[row]; }
    bool operator==(const Matrix4& other) const;
};

// a * b: applying the result equals applying a, then b.
Matrix4 operator*(const Matrix4& a, const Matrix4& b);

// The homogeneous result of (x, y, z, 1) * m.
struct Vector4 {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
};
Vector4 TransformPoint(const Matrix4& m, Vector3 p);
