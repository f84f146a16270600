// Tests of named parameters: bound and accessor parsing, precedence, and the unknown-name listing.
#include <gtest/gtest.h>

#include "engine/core/Fatal.h"
#include "engine/layers/ParameterSet.h"

namespace {

class Sample : public ParameterSet {
public:
    Sample() {
        AddStringAccessor(1, "Texture", &texture);
        AddFloatAccessor(2, "XOffset", &xOffset);
        AddIntAccessor(3, "alphaType", &alphaType, [this] { ++accessorSets; });
        AddFloatAccessor(4, "Shadowed", &shadowedAccessor);
        BindFloat("StartTime", &startTime, [this] { ++changes; });
        BindFloat("LifeTime", &lifeTime);
        BindBool("Loop", &loop);
        BindInt("Count", &count);
        BindString("Caption", &caption);
    }
    void BindTwice() { BindFloat("LifeTime", &lifeTime); }
    void AccessorTwice() { AddFloatAccessor(9, "XOffset", &xOffset); }
    void BindAccessorName() { BindFloat("XOffset", &xOffset); }
    // An accessor that repeats a bound name: the bound parameter must win.
    void ShadowStartTime() { AddFloatAccessor(7, "StartTime", &shadowedAccessor); }

    std::string texture;
    float xOffset = 0.0f;
    int32_t alphaType = 5;
    float shadowedAccessor = 0.0f;
    float startTime = 0.0f;
    float lifeTime = -1.0f;
    bool loop = false;
    int32_t count = 3;
    std::string caption;
    int changes = 0;
    int accessorSets = 0;
};

std::string FatalText(Sample& sample, const std::string& name) {
    try {
        sample.SetParameter(name, "1");
    } catch (const CUserException& error) {
        return error.what();
    }
    return "no error";
}

}  // namespace

TEST(ParameterSet, BoundParametersParseWithTheCLibraryRules) {
    Sample sample;
    EXPECT_TRUE(sample.SetParameter("StartTime", "2.5"));
    EXPECT_EQ(sample.startTime, 2.5f);
    EXPECT_EQ(sample.changes, 1);
    sample.SetParameter("StartTime", "abc");
    EXPECT_EQ(sample.startTime, 0.0f);  // bound floats become 0, not kept
    EXPECT_EQ(sample.changes, 2);
    sample.SetParameter("LifeTime", "0.5f");
    EXPECT_EQ(sample.lifeTime, 0.5f);

    sample.SetParameter("Loop", "Yes");
    EXPECT_TRUE(sample.loop);
    for (const char* no : {"YES", "yes", "", "1", "true", "Yes "}) {
        sample.loop = true;
        sample.SetParameter("Loop", no);
        EXPECT_FALSE(sample.loop) << no;
    }

    sample.SetParameter("Count", "0x10");  // decimal only for bound integers
    EXPECT_EQ(sample.count, 0);
    sample.SetParameter("Count", "42");
    EXPECT_EQ(sample.count, 42);
    sample.SetParameter("Caption", "a b;c");
    EXPECT_EQ(sample.caption, "a b;c");
}

TEST(ParameterSet, AccessorsParseAndFormatWithTheStandardFormats) {
    Sample sample;
    sample.SetParameter("alphaType", "0x10");
    EXPECT_EQ(sample.alphaType, 16);
    sample.SetParameter("alphaType", "010");
    EXPECT_EQ(sample.alphaType, 8);
    sample.SetParameter("alphaType", "z");  // unparsable: old value stays
    EXPECT_EQ(sample.alphaType, 8);
    EXPECT_EQ(sample.accessorSets, 3);
    EXPECT_EQ(sample.FindAccessor("alphaType")->get(), "8");
    EXPECT_EQ(sample.FindAccessor("alphaType")->id, 3);

    EXPECT_TRUE(sample.SetParameter("XOffset", "0.333"));
    EXPECT_EQ(sample.FindAccessor("XOffset")->get(), "0.33");
    sample.SetParameter("XOffset", "abc");
    EXPECT_FLOAT_EQ(sample.xOffset, 0.333f);
    sample.xOffset = 3.0e38f;  // the text of the largest floats still fits
    EXPECT_EQ(sample.FindAccessor("XOffset")->get().size(), 42u);

    sample.SetParameter("Texture", " odd name.JPG");
    EXPECT_EQ(sample.texture, " odd name.JPG");
}

TEST(ParameterSet, UnknownNamesListAccessorsThenBoundNamesInByteOrder) {
    Sample sample;
    const std::string listing =
        " - Shadowed\r\n - Texture\r\n - XOffset\r\n - alphaType\r\n"
        " - Caption\r\n - Count\r\n - LifeTime\r\n - Loop\r\n - StartTime\r\n";
    EXPECT_EQ(sample.ListParameters(), listing);
    EXPECT_EQ(FatalText(sample, "xoffset"), "Could not find Parameter [xoffset]\r\n Available are : \r\n" + listing);
    EXPECT_EQ(sample.xOffset, 0.0f);
}

TEST(ParameterSet, BoundNamesTakePrecedenceAndNamesAreUnique) {
    Sample sample;
    sample.ShadowStartTime();
    sample.SetParameter("StartTime", "4");
    EXPECT_EQ(sample.startTime, 4.0f);
    EXPECT_EQ(sample.shadowedAccessor, 0.0f);
    EXPECT_NE(sample.ListParameters().find(" - StartTime\r\n - Texture"), std::string::npos);

    EXPECT_THROW(sample.BindTwice(), CUserException);
    EXPECT_THROW(sample.AccessorTwice(), CUserException);
    EXPECT_THROW(sample.BindAccessorName(), CUserException);
    EXPECT_EQ(sample.GetBoundCount(), 5u);
    EXPECT_EQ(sample.GetAccessorCount(), 5u);
}
