// Benchmark of the OpenGL device drawing 4096 small quads per frame, headless (the dot effect's pattern).
#include <chrono>
#include <cstdio>
#include <vector>
#include "engine/device/gl/GLDevice.h"

int main()
{
    GLDevice device;
    device.SelectDriver(device.GetDriver(0));
    device.SelectDevice(device.GetDriver(0).GetDevice(0));
    device.Init(nullptr, false, 640, 480, 32);
    device.SetVSync(false);
    device.EnableClearColor(true);
    device.UpdateCamera();
    device.EnableAlphaBlend(true);
    device.SetSrcBlend(BlendFactor::SrcAlpha);
    device.SetDestBlend(BlendFactor::InvSrcAlpha);
    device.EnableLighting(false);

    Vertex quad[4]{};
    const float corners[4][4] = {
        {1, -1, 0.002f, 0.998f}, {1, 1, 0.002f, 0.002f}, {-1, -1, 0.998f, 0.998f}, {-1, 1, 0.998f, 0.002f}};
    const int frames = 60;
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
        device.BeginScene();
        for (int r = 0; r < 64; ++r) {
            for (int c = 0; c < 64; ++c) {
                const float edge = ((r * 64 + c + f) % 32) / 31.0f / 64.0f;
                for (int i = 0; i < 4; ++i) {
                    quad[i].x = corners[i][0] * edge + c / 64.0f - 0.5f;
                    quad[i].y = corners[i][1] * edge + r / 64.0f - 0.5f;
                    quad[i].u0 = corners[i][2];
                    quad[i].v0 = corners[i][3];
                    quad[i].color = 0xFFFFFFFF;
                }
                device.Draw(PrimitiveType::TriangleStrip, quad, 4);
            }
        }
        device.EndScene();
        device.Present(0);
        device.Clear(0);
    }
    const auto end = std::chrono::steady_clock::now();
    const double ms = std::chrono::duration<double, std::milli>(end - start).count() / frames;
    std::printf("4096 quads/frame, 640x480x32: %.2f ms per frame (%.0f fps), %llu GL draws\n", ms, 1000.0 / ms,
                static_cast<unsigned long long>(device.GetGLDrawCount()));
    return 0;
}
