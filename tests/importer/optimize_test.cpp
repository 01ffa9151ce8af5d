// The mesh clean-up of an import: per-object steps and the optimizing walk over a tree
// built in code.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "host/app.h"
#include "host/modeling.h"
#include "host/resource.h"
#include "host/scene.h"
#include "host/ui.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_optimize.h"
#include "talvo_import_c4d_options.h"
#include "talvo_import_c4d_status.h"

namespace {

using host::CPolygon;
using host::Vector;

const std::string kObjectLine(40, '-');

host::PolygonObject* makePolygonObject(const char* name, const std::vector<Vector>& points,
                                       const std::vector<CPolygon>& polygons) {
  host::PolygonObject* o = host::toPolygonObject(host::BaseObject::alloc(host::kObjectPolygon));
  EXPECT_TRUE(o->resizeObject(int32_t(points.size()), int32_t(polygons.size())));
  std::copy(points.begin(), points.end(), o->getPointW());
  std::copy(polygons.begin(), polygons.end(), o->getPolygonW());
  o->setName(name);
  return o;
}

// The unit square as two triangles, every corner its own point; `shift` moves one copy
// of the shared corner (0, 0, 0).
host::PolygonObject* unweldedSquare(const char* name, double shift = 0.0) {
  return makePolygonObject(name, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {shift, 0, 0}, {1, 1, 0}, {0, 1, 0}},
                           {{0, 1, 2, 2}, {3, 4, 5, 5}});
}

host::PolygonObject* triangle(const char* name) {
  return makePolygonObject(name, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 2}});
}

class Optimize : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
    host::app::setConsoleSink([this](const host::String& line) { console_.push_back(line); });
    document_ = host::BaseDocument::alloc();
    host::insertBaseDocument(document_);
    root_ = host::BaseObject::alloc(host::kObjectNull);
    root_->setName("root");
    document_->insertObject(root_, nullptr, nullptr);
    options_.targetDocument = document_;
    options_.untriangulate = 0;
  }
  void TearDown() override {
    host::app::resetDocuments();
    host::app::reset();
  }

  template <class T>
  T* under(host::BaseObject* parent, T* object) {
    object->insertUnderLast(parent);
    return object;
  }

  std::vector<std::string> console_;
  host::BaseDocument* document_ = nullptr;
  host::BaseObject* root_ = nullptr;
  talvo::ImportOptions options_;
};

TEST_F(Optimize, ExactMergeJoinsOnlyEqualPointsAndNotifies) {
  // Six corner points, two of them copies of (0, 0, 0) and (1, 1, 0): four remain. A copy
  // 1e-9 away stays a point of its own.
  struct Case {
    double shift;
    int32_t points;
  };
  for (const Case c : {Case{0.0, 4}, Case{1e-9, 5}}) {
    host::PolygonObject* o = under(root_, unweldedSquare("square", c.shift));
    ASSERT_TRUE(talvo::optimizeObjectExact(o));
    EXPECT_EQ(o->getPointCount(), c.points);
    EXPECT_EQ(o->getPolygonCount(), 2);
    EXPECT_EQ(o->updateCount(), 1);
  }
  host::BaseObject* null = under(root_, host::BaseObject::alloc(host::kObjectNull));
  EXPECT_FALSE(talvo::optimizeObjectExact(null));
  EXPECT_EQ(null->updateCount(), 0);
}

TEST_F(Optimize, NormalsCommandAlignsAndNotifies) {
  // Two triangles of one square, the second facing the other way.
  host::PolygonObject* o =
      under(root_, makePolygonObject("square", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 2}, {0, 3, 2, 2}}));
  ASSERT_TRUE(talvo::runNormalsCommand(o));
  EXPECT_EQ(o->getPolygonR()[1], (CPolygon{0, 2, 3, 3}));
  EXPECT_EQ(o->updateCount(), 1);
  o->getPolygonW()[0].a = 17;  // no such point: the command fails
  EXPECT_FALSE(talvo::runNormalsCommand(o));
  EXPECT_EQ(o->updateCount(), 1);
}

TEST_F(Optimize, PhongSetsTheTagAndRunsTheCommandWhenAsked) {
  struct Case {
    bool command;
    bool tagBefore;
  };
  for (const Case c : {Case{true, false}, Case{false, false}, Case{true, true}}) {
    host::PolygonObject* o = under(root_, triangle("t"));
    if (c.tagBefore) o->makeTag(host::kTagPhong)->getDataInstance().setBool(host::kPhongAngleLimit, false);
    options_.phongAngle = 0.25;
    options_.phongCommand = c.command;
    ASSERT_TRUE(talvo::applyPhong(o, options_));
    ASSERT_NE(o->getTag(host::kTagPhong), nullptr);
    EXPECT_EQ(o->getTag(host::kTagPhong, 1), nullptr);  // one phong tag only
    const host::Container& data = o->getTag(host::kTagPhong)->getData();
    EXPECT_TRUE(data.getBool(host::kPhongAngleLimit));
    EXPECT_EQ(data.getReal(host::kPhongAngle), 0.25);
    const host::BaseTag* normals = o->getTag(host::kTagNormal);
    EXPECT_EQ(normals != nullptr, c.command);
    if (normals) {
      EXPECT_EQ(normals->normals(), std::vector<Vector>(4, Vector{0, 0, 1}));
    }
    EXPECT_EQ(o->updateCount(), c.command ? 1 : 0);
  }
  // A tag that cannot be made.
  host::PolygonObject* o = under(root_, triangle("t"));
  host::app::failAllocationAt(1);
  EXPECT_FALSE(talvo::applyPhong(o, options_));
}

TEST_F(Optimize, TreeWalkTreatsChildrenFirstAndLogsPolygonObjectsOnly) {
  host::BaseObject* group = under(root_, host::BaseObject::alloc(host::kObjectNull));
  group->setName("group");
  host::PolygonObject* a = under(group, unweldedSquare("a", 0.004));  // within 0.01
  under(group, triangle("b"));
  under(root_, host::BaseObject::alloc(host::kObjectLight))->setName("lamp");
  host::PolygonObject* c =
      under(root_, makePolygonObject("c", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}}));
  under(c, triangle("d"));
  options_.optimize = 1;
  options_.optimizeTolerance = 0.01;

  ASSERT_EQ(talvo::optimizeTree(root_, 4, options_), talvo::kStatusOk);
  const std::vector<std::string> expected = {
      talvo::kBlockLine, "Optimizing", talvo::kBlockLine,
      kObjectLine, "a", "Original:  Point / Polygon Number:   6 / 2", "Optimized: Point / Polygon Number:   4 / 2",
      kObjectLine, "b", "Original:  Point / Polygon Number:   3 / 1", "Optimized: Point / Polygon Number:   3 / 1",
      kObjectLine, "d", "Original:  Point / Polygon Number:   3 / 1", "Optimized: Point / Polygon Number:   3 / 1",
      kObjectLine, "c", "Original:  Point / Polygon Number:   4 / 1", "Optimized: Point / Polygon Number:   4 / 1",
  };
  EXPECT_EQ(console_, expected);
  EXPECT_EQ(a->updateCount(), 1);  // one command, one notification
  EXPECT_EQ(root_->updateCount(), 0);
  EXPECT_TRUE(host::app::statusBar().text.empty());
}

TEST_F(Optimize, UntriangulateRunsWithTheOptionsSettings) {
  // A flat hexagon fanned into four triangles: two quadrangles, one n-gon when asked.
  std::vector<Vector> hexagon;
  for (int k = 0; k < 6; ++k) hexagon.push_back({std::cos(k * std::numbers::pi / 3), std::sin(k * std::numbers::pi / 3), 0});
  for (const int32_t ngons : {1, 0}) {
    host::PolygonObject* o =
        under(root_, makePolygonObject("hexagon", hexagon, {{0, 1, 2, 2}, {0, 2, 3, 3}, {0, 3, 4, 4}, {0, 4, 5, 5}}));
    options_.untriangulate = 1;
    options_.untriangulateNgons = ngons;
    options_.optimize = 0;
    console_.clear();
    ASSERT_EQ(talvo::optimizeTree(root_, 1, options_), talvo::kStatusOk);
    EXPECT_EQ(o->getPolygonCount(), 2);
    EXPECT_EQ(host::getNgonData(*o) != nullptr, ngons == 1);
    EXPECT_EQ(console_.back(), "Optimized: Point / Polygon Number:   6 / 2");
    host::BaseObject* gone = o;
    host::BaseObject::free(gone);
  }
}

TEST_F(Optimize, ProgressComesEveryTenObjectsWithTheCancelCheck) {
  struct Case {
    const char* what;
    int32_t escapeAtQuery;  // the cancel check that sees Escape held; 0: none
    int32_t answer;
    int32_t status;
    int32_t treated;
  };
  const Case cases[] = {
      {"no escape", 0, host::kAnswerYes, talvo::kStatusOk, 25},
      {"cancel at the first check", 1, host::kAnswerYes, talvo::kStatusCancelled, 1},
      {"cancel at the second check", 2, host::kAnswerYes, talvo::kStatusCancelled, 11},
      {"carry on", 2, host::kAnswerNo, talvo::kStatusOk, 25},
  };
  for (const Case& c : cases) {
    host::app::reset();
    host::app::setConsoleSink([](const host::String&) {});
    host::BaseObject* parent = under(root_, host::BaseObject::alloc(host::kObjectNull));
    std::vector<host::PolygonObject*> objects;
    for (int i = 0; i < 25; ++i) objects.push_back(under(parent, unweldedSquare("s")));
    int32_t queries = 0;
    host::app::setKeySource([&](int32_t key) { return key == host::kKeyEscape && ++queries == c.escapeAtQuery; });
    host::app::queueAnswers({c.answer});
    std::vector<int32_t> percents;
    std::vector<std::string> texts;
    host::app::setStatusObserver([&](const host::app::StatusBar& bar) {
      if (bar.percent >= 0 && (percents.empty() || percents.back() != bar.percent)) percents.push_back(bar.percent);
      if (texts.empty() || texts.back() != bar.text) texts.push_back(bar.text);
    });
    options_.optimize = 1;

    EXPECT_EQ(talvo::optimizeTree(root_, 25, options_), c.status) << c.what;
    int32_t treated = 0;
    for (host::PolygonObject* o : objects) treated += o->getPointCount() == 4 ? 1 : 0;
    EXPECT_EQ(treated, c.treated) << c.what;
    for (int32_t i = 0; i < 25; ++i) EXPECT_EQ(objects[size_t(i)]->getPointCount() == 4, i < c.treated) << c.what;
    const std::vector<int32_t> shown = {0, 40, 80};
    EXPECT_EQ(percents, std::vector<int32_t>(shown.begin(), shown.begin() + (c.treated + 9) / 10)) << c.what;
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], host::loadString(10907)) << c.what;
    EXPECT_TRUE(texts.back().empty()) << c.what;
    host::BaseObject::free(parent);
  }
}

TEST_F(Optimize, AFailedCommandEndsTheWalkWith10040) {
  host::PolygonObject* first = under(root_, unweldedSquare("first"));
  host::PolygonObject* broken = under(root_, unweldedSquare("broken"));
  host::PolygonObject* last = under(root_, unweldedSquare("last"));
  broken->getPolygonW()[1].c = 99;  // no such point
  options_.optimize = 1;
  EXPECT_EQ(talvo::optimizeTree(root_, 3, options_), talvo::kStatusOptimize);
  EXPECT_EQ(first->getPointCount(), 4);
  EXPECT_EQ(broken->getPointCount(), 6);
  EXPECT_EQ(last->getPointCount(), 6);
  EXPECT_EQ(broken->updateCount(), 0);
  EXPECT_EQ(console_.back(), "Original:  Point / Polygon Number:   6 / 2");
  EXPECT_TRUE(host::app::statusBar().text.empty());
  EXPECT_STREQ(talvo::statusName(talvo::kStatusOptimize), "optimize command failed");
}

}  // namespace
