// Round trips through tinyobjloader: generated models are converted and read
// back by a reader written elsewhere, and every number must mean what the
// model says.
#include <algorithm>
#include <gtest/gtest.h>

#include "tests/reader_check.h"
#include "tests/recording_notice.h"

using namespace quarlen;

namespace {

struct RoundTrip {
    const char* what;
    uint32_t seed;
    ModelOptions options;
};

const RoundTrip trips[] = {
    {"default mix", 21, ModelOptions{}},
    {"many small groups", 22, ModelOptions{.groups = 40, .maxPoints = 6, .maxFacets = 4, .maxCorners = 5}},
    {"large facets", 23, ModelOptions{.groups = 5, .maxPoints = 30, .maxFacets = 10, .maxCorners = 24,
                                      .materials = 8}},
    {"empty groups between", 24, ModelOptions{.groups = 8, .emptyGroups = true}},
    {"no texture data", 25, ModelOptions{.groups = 6, .texture = false}},
    {"one material each", 26, ModelOptions{.groups = 10, .materials = 1}},
};

void expectSamePoints(const std::vector<float>& got, const std::vector<float>& want, const char* what,
                      const char* kind) {
    ASSERT_EQ(got.size(), want.size()) << what << ": " << kind;
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_TRUE(sameTo6Digits(got[i], want[i]))
            << what << ": " << kind << " value " << i << " read " << got[i] << ", written " << want[i];
}

void expectSameFaces(const std::vector<ObjFace>& got, const std::vector<ObjFace>& want, const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t j = 0; j < want.size(); ++j) {
        EXPECT_EQ(got[j].group, want[j].group) << what << " face " << j;
        EXPECT_EQ(got[j].material, want[j].material) << what << " face " << j;
        EXPECT_EQ(got[j].v, want[j].v) << what << " face " << j;
        EXPECT_EQ(got[j].t, want[j].t) << what << " face " << j;
    }
}

void expectSameModel(const ReadBack& got, const ObjModel& want, const char* what) {
    expectSamePoints(got.xyz, want.xyz, what, "point");
    expectSamePoints(got.uv, want.uv, what, "texture vertex");
    expectSameFaces(got.faces, want.faces, what);
}

// True when some group repeats a point of the group before it: then equal
// point lists also show that each group wrote its own copy of the point.
bool sharesPoints(const std::vector<GroupSpec>& model) {
    for (size_t g = 1; g < model.size(); ++g)
        for (size_t p = 0; p + 3 <= model[g - 1].xyz.size() && model[g].xyz.size() >= 3; p += 3)
            if (std::equal(model[g].xyz.begin(), model[g].xyz.begin() + 3, model[g - 1].xyz.begin() + long(p)))
                return true;
    return false;
}

TEST(Readers, TinyObjLoaderCallbacksReadWhatWasWritten) {
    for (const RoundTrip& trip : trips) {
        const auto model = randomModel(trip.seed, trip.options);
        ASSERT_TRUE(sharesPoints(model)) << trip.what;
        const Converted c = convertBytes(buildRsr(model));
        ASSERT_EQ(c.outcome, RunOutcome::finished) << trip.what;
        const ObjModel want = expectedObj(model);
        const ReadBack got = readWithCallbacks(c.obj);
        ASSERT_TRUE(got.ok) << trip.what << ": " << got.err;
        EXPECT_EQ(got.err, "") << trip.what;
        EXPECT_EQ(got.warn, "") << trip.what;
        expectSameModel(got, want, trip.what);
    }
}

}  // namespace
