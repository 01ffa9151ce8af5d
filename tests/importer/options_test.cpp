#include <gtest/gtest.h>

#include <set>

#include "talvo_import_c4d_options.h"

namespace {

using talvo::ImportOptions;

TEST(ImportOptions, CreatedWithFactoryDefaults) {
  const ImportOptions o;
  EXPECT_EQ(o.importMode, 1);
  EXPECT_EQ(o.pluginVersion, 261);
  EXPECT_EQ(o.nameSeparator, "::");
  EXPECT_EQ(o.textureFolder.string(), "tex");
  EXPECT_EQ(o.unitIndex, 2);
  EXPECT_EQ(o.phongAngle, 0.5235987755982988);
  EXPECT_EQ(o.untriangulateAngle, 0.0017453292519943296);
  EXPECT_EQ(o.scale, 1.0);
  EXPECT_EQ(o.effectiveScale, 1.0);
  EXPECT_EQ(o.unitScale, 1.0);
  EXPECT_EQ(o.optimizeTolerance, 0.01);
  EXPECT_EQ(o.textureProjection, 6);
  EXPECT_EQ(o.splitByMaterial, 1);
  EXPECT_EQ(o.splitByLayer, 1);
  EXPECT_EQ(o.splitByStory, 0);
  EXPECT_EQ(o.reservedFlag12602, 1);
  EXPECT_EQ(o.furtherFlag1, 1);
  EXPECT_EQ(o.furtherFlag2, 0);
  EXPECT_EQ(o.furtherFlag3, 0);
  EXPECT_EQ(o.furtherFlag4, 1);
  EXPECT_EQ(o.targetDocument, nullptr);
  EXPECT_EQ(o.originNew[0], 0.0);
}

TEST(ImportOptions, ResetKeepsRunTimeFields) {
  ImportOptions o;
  o.importMode = 2;
  o.scale = 5.0;
  o.nameSeparator = "/";
  o.effectiveScale = 0.05;
  o.needsShift = 1;
  talvo::resetToDefaults(o);
  EXPECT_EQ(o.scale, 1.0);
  EXPECT_EQ(o.nameSeparator, "::");
  EXPECT_EQ(o.effectiveScale, 1.0);
  EXPECT_EQ(o.importMode, 2);
  EXPECT_EQ(o.needsShift, 1);
}

TEST(ImportOptions, TableKeysAreUniqueAndFindable) {
  std::set<int32_t> keys, tagKeys;
  for (const talvo::OptionInfo& info : talvo::optionTable()) {
    EXPECT_TRUE(keys.insert(info.key).second) << info.name;
    if (info.tagKey != 0) {
      EXPECT_TRUE(tagKeys.insert(info.tagKey).second) << info.name;
    }
    EXPECT_EQ(talvo::findOption(info.name), &info);
  }
  EXPECT_EQ(talvo::optionTable().size(), 44u);
  EXPECT_EQ(talvo::findOption("unitIndex")->tagValueBase, 30580);
  EXPECT_EQ(talvo::findOption("nope"), nullptr);
}

TEST(ImportOptions, UnitFactors) {
  const double expected[] = {1000, 1, 0.01, 0.001, 0.000001, 0.000000001, 1609.344, 0.9144, 0.3048, 0.0254};
  for (int32_t i = 0; i < talvo::kUnitCount; ++i) EXPECT_EQ(talvo::unitFactor(i), expected[i]) << i;
  EXPECT_EQ(talvo::unitFactor(12), 1.0);
  EXPECT_EQ(talvo::unitFactor(-1), 1.0);
}

}  // namespace
