// Rendering check of a converted scene on the OpenGL device: what the source camera sees, the player shows.
#ifdef STARFALL_MDLCONVERT
#include <gtest/gtest.h>
#include <assimp/scene.h>
#include <memory>
#include "support/GLTestSupport.h"
#include "support/HeadlessGL.h"
#include "support/PixelCheck.h"
#include "support/SceneTestKit.h"
#include "support/TestImages.h"
#include "tools/mdlconvert/SceneConverter.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// 16 x 16: the top half red, the bottom half blue, a white 4 x 4 square in the top-left corner.
std::string Marked()
{
    std::vector<uint8_t> rgb = SolidRgb(16, 16, 0, 0, 255);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            uint8_t* p = &rgb[static_cast<size_t>((y * 16 + x) * 3)];
            if (y < 8)
                p[0] = 255, p[1] = 0, p[2] = 0;
            if (y < 4 && x < 4)
                p[0] = p[1] = p[2] = 255;
        }
    return EncodePng(16, 16, rgb);
}

// A textured square of edge 2 at z = -8 with its lower left corner at x0, counter-clockwise
// (facing +z, the camera) unless away; texture coordinates with v up from the image's bottom.
aiMesh* NewSquare(float x0, bool away)
{
    aiMesh* mesh = new aiMesh;
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = 4;
    mesh->mVertices = new aiVector3D[4]{{x0, -1, -8}, {x0 + 2, -1, -8}, {x0 + 2, 1, -8}, {x0, 1, -8}};
    mesh->mNormals = new aiVector3D[4]{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    mesh->mTextureCoords[0] = new aiVector3D[4]{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh->mNumUVComponents[0] = 2;
    mesh->mColors[0] = new aiColor4D[4]{{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}};
    mesh->mNumFaces = 2;
    mesh->mFaces = new aiFace[2];
    const unsigned faces[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int f = 0; f < 2; ++f) {
        mesh->mFaces[f].mNumIndices = 3;
        mesh->mFaces[f].mIndices = new unsigned[3];
        for (int k = 0; k < 3; ++k)
            mesh->mFaces[f].mIndices[k] = faces[f][away ? 2 - k : k];
    }
    return mesh;
}

void AddNode(aiScene& scene, const char* name, int mesh)
{
    aiNode* node = new aiNode(name);
    if (mesh >= 0) {
        node->mNumMeshes = 1;
        node->mMeshes = new unsigned[1]{static_cast<unsigned>(mesh)};
    }
    scene.mRootNode->addChildren(1, &node);
}

}  // namespace

TEST(MdlConvertGL, TheSourceCamerasPictureUprightUnmirroredWithBackFacesCulled)
{
    std::string reason;
    std::unique_ptr<GLDevice> device = OpenHeadlessGLDevice(kWidth, kHeight, 32, reason);
    if (!device) {
        SKIP_OR_FAIL_WITHOUT_GL(reason);
    }
    device->EnableClearColor(true);
    device->SetClearColor(0, 0, 0);
    device->SetNearPlane(1.0f);
    device->SetFarPlane(1000.0f);

    // The camera at the origin looks down -z: the square facing it on the left, one facing
    // away on the right.
    std::unique_ptr<aiScene> source(new aiScene);
    source->mRootNode = new aiNode("Root");
    source->mNumMaterials = 1;
    source->mMaterials = new aiMaterial*[1]{new aiMaterial};
    const aiString name("Paint"), texture("marked.png");
    source->mMaterials[0]->AddProperty(&name, AI_MATKEY_NAME);
    source->mMaterials[0]->AddProperty(&texture, AI_MATKEY_TEXTURE_DIFFUSE(0));
    source->mNumMeshes = 2;
    source->mMeshes = new aiMesh*[2]{NewSquare(-3, false), NewSquare(1, true)};
    AddNode(*source, "Facing", 0);
    AddNode(*source, "Away", 1);
    AddNode(*source, "Cam", -1);
    source->mNumCameras = 1;
    source->mCameras = new aiCamera*[1]{new aiCamera};
    source->mCameras[0]->mName = "Cam";
    source->mCameras[0]->mLookAt = aiVector3D(0, 0, -1);
    source->mCameras[0]->mHorizontalFOV = 1.2f;
    source->mCameras[0]->mAspect = 4.0f / 3.0f;
    const ConvertResult result = ConvertScene(*source, ConvertOptions{});

    ScopedTestPak pak({{"scene.mdl", MdlBytes(result.file)}, {"marked.png", Marked()}});
    Scene scene(*device);
    scene.Load("scene.mdl");
    scene.LoadTextures();
    scene.SelectCamera("Cam");
    CapturedFrame frame(kWidth, kHeight);
    device->BeginScene();
    device->Clear(0);
    scene.Draw(0);
    frame.Capture(*device, "converted");

    // The facing square spans about x 17..27, y 19..30: red above blue, white at its top left.
    EXPECT_TRUE(PixelNear(frame.Pixel(18, 21), 0xFFFFFF, 40)) << "the image's corner at the top left";
    EXPECT_TRUE(PixelNear(frame.Pixel(24, 22), 0xFF0000, 40)) << "the image's top half above";
    EXPECT_TRUE(PixelNear(frame.Pixel(22, 27), 0x0000FF, 40)) << "its bottom half below";
    EXPECT_TRUE(PixelNear(frame.Pixel(43, 24), 0x000000, 4)) << "the square facing away is culled";
    EXPECT_TRUE(PixelNear(frame.Pixel(5, 24), 0x000000, 4));
    frame.WriteIfFailed("mdlconvert");
}
#endif
