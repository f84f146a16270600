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

// A scene of the given meshes with the camera "Cam" at the origin looking down -z,
// 1.2 rad across at 4:3.
aiScene* NewCameraScene(std::vector<aiMesh*> meshes, const std::vector<const char*>& names, aiMaterial* material)
{
    aiScene* source = new aiScene;
    source->mRootNode = new aiNode("Root");
    source->mNumMaterials = 1;
    source->mMaterials = new aiMaterial*[1]{material};
    source->mNumMeshes = static_cast<unsigned>(meshes.size());
    source->mMeshes = new aiMesh*[meshes.size()];
    std::copy(meshes.begin(), meshes.end(), source->mMeshes);
    for (size_t i = 0; i < names.size(); ++i)
        AddNode(*source, names[i], static_cast<int>(i));
    AddNode(*source, "Cam", -1);
    source->mNumCameras = 1;
    source->mCameras = new aiCamera*[1]{new aiCamera};
    source->mCameras[0]->mName = "Cam";
    source->mCameras[0]->mLookAt = aiVector3D(0, 0, -1);
    source->mCameras[0]->mHorizontalFOV = 1.2f;
    source->mCameras[0]->mAspect = 4.0f / 3.0f;
    return source;
}

// Converts source and draws its frame 0 through camera "Cam" on a fresh headless device.
class MdlConvertGL : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason;
        device_ = OpenHeadlessGLDevice(kWidth, kHeight, 32, reason);
        if (!device_)
            SKIP_OR_FAIL_WITHOUT_GL(reason);
        device_->EnableClearColor(true);
        device_->SetClearColor(0, 0, 0);
        device_->SetNearPlane(1.0f);
        device_->SetFarPlane(1000.0f);
    }
    void Render(const aiScene& source, std::vector<std::pair<std::string, std::string>> files, CapturedFrame& frame)
    {
        const ConvertResult result = ConvertScene(source, ConvertOptions{});
        files.emplace_back("scene.mdl", MdlBytes(result.file));
        ScopedTestPak pak(files);
        Scene scene(*device_);
        scene.Load("scene.mdl");
        scene.LoadTextures();
        scene.SelectCamera("Cam");
        device_->BeginScene();
        device_->Clear(0);
        scene.Draw(0);
        frame.Capture(*device_, "converted");
    }

    std::unique_ptr<GLDevice> device_;
};

}  // namespace

TEST_F(MdlConvertGL, TheSourceCamerasPictureUprightUnmirroredWithBackFacesCulled)
{
    // The square facing the camera on the left, one facing away on the right.
    aiMaterial* paint = new aiMaterial;
    const aiString name("Paint"), texture("marked.png");
    paint->AddProperty(&name, AI_MATKEY_NAME);
    paint->AddProperty(&texture, AI_MATKEY_TEXTURE_DIFFUSE(0));
    std::unique_ptr<aiScene> source(NewCameraScene({NewSquare(-3, false), NewSquare(1, true)}, {"Facing", "Away"}, paint));
    CapturedFrame frame(kWidth, kHeight);
    Render(*source, {{"marked.png", Marked()}}, frame);

    // The source camera shows the facing square at x 14.5..26.2, y 18.2..29.8 (x / (8 tan 0.6)
    // and y / (8 tan 0.6 / (4/3)) mapped onto 64 x 48): red above blue, white at its top left.
    EXPECT_TRUE(PixelNear(frame.Pixel(16, 19), 0xFFFFFF, 40)) << "the image's corner at the top left";
    EXPECT_TRUE(PixelNear(frame.Pixel(22, 21), 0xFF0000, 40)) << "the image's top half above";
    EXPECT_TRUE(PixelNear(frame.Pixel(20, 27), 0x0000FF, 40)) << "its bottom half below";
    EXPECT_TRUE(PixelNear(frame.Pixel(15, 27), 0x0000FF, 40)) << "the left edge where the source has it";
    EXPECT_TRUE(PixelNear(frame.Pixel(13, 27), 0x000000, 4));
    EXPECT_TRUE(PixelNear(frame.Pixel(27, 24), 0x000000, 4)) << "the right edge where the source has it";
    EXPECT_TRUE(PixelNear(frame.Pixel(43, 24), 0x000000, 4)) << "the square facing away is culled";
    EXPECT_TRUE(PixelNear(frame.Pixel(5, 24), 0x000000, 4));
    frame.WriteIfFailed("mdlconvert");
}

// A light without a role word lights the converted scene; what faces it shows its vertex
// colours as the source's light gives them, neither washed out nor black, also the back of
// a double-sided face (lit as its front would be).
TEST_F(MdlConvertGL, AConvertedLightShowsVertexColoursAtTheSourcesBrightness)
{
    for (const bool back : {false, true}) {
        SCOPED_TRACE(back ? "the back of a double-sided square" : "a square facing the light");
        aiMesh* square = NewSquare(-1, back);  // x -1..1 at z = -8
        for (int i = 0; i < 4; ++i) {
            square->mColors[0][i] = aiColor4D(0.8f, 0.4f, 0.2f, 1);
            square->mNormals[i] = aiVector3D(0, 0, back ? -1.0f : 1.0f);
        }
        aiMaterial* material = new aiMaterial;
        const int twoSided = back ? 1 : 0;
        material->AddProperty(&twoSided, 1, AI_MATKEY_TWOSIDED);
        std::unique_ptr<aiScene> source(NewCameraScene({square}, {"Board"}, material));
        AddNode(*source, "Lamp", -1);
        source->mRootNode->mChildren[2]->mTransformation.c4 = -4;  // 4 units before the square
        // White, falling off with the square of the distance: 16 / 4^2 = full strength there.
        source->mNumLights = 1;
        source->mLights = new aiLight*[1]{new aiLight};
        source->mLights[0]->mName = "Lamp";
        source->mLights[0]->mType = aiLightSource_POINT;
        source->mLights[0]->mColorDiffuse = aiColor3D(16, 16, 16);
        source->mLights[0]->mAttenuationLinear = 0;
        source->mLights[0]->mAttenuationQuadratic = 1;
        CapturedFrame frame(kWidth, kHeight);
        Render(*source, {}, frame);
        // Lit at its corners, sqrt 18 from the light: full strength at 4 units, times 4 / sqrt 18
        // for the distance and 4 / sqrt 18 for the angle, 16 / 18 of (0.8, 0.4, 0.2) everywhere.
        EXPECT_TRUE(PixelNear(frame.Pixel(32, 24), 0xB55A2D, 8)) << "vertex colours times the source's light";
        EXPECT_TRUE(PixelNear(frame.Pixel(27, 20), 0xB55A2D, 8));
        EXPECT_TRUE(PixelNear(frame.Pixel(5, 5), 0x000000, 4));
        frame.WriteIfFailed("mdlconvert");
    }
}
#endif
