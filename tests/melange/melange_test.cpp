// The companion material library, loaded by path as the plug-in loads it: its version
// entries, the materials it writes for the parameter entries of MAPPING.md, image names,
// and the argument blocks and targets it refuses.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "host/app.h"
#include "host/document_file.h"
#include "host/material.h"
#include "host/plugins.h"
#include "host/scene.h"
#include "talvo_melange.h"

namespace {

using namespace host;
namespace fs = std::filesystem;

constexpr double kScale = 2.54;  // the effective scale of every call here
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The library under test, loaded once; it uses the host library this binary links.
class Library {
 public:
  Library() : handle_(dlopen(TALVO_MELANGE_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
  ~Library() {
    if (handle_) dlclose(handle_);
  }
  bool loaded() const { return handle_ != nullptr; }
  void* symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }
  int32_t create(const TalvoMelangeArguments* arguments) const {
    auto create = reinterpret_cast<TalvoMelangeCreateFunction>(symbol("CreateMelangeMaterialFile"));
    return create ? create(arguments) : -1;
  }

 private:
  void* handle_;
};

const Library& library() {
  static const Library instance;
  return instance;
}

// One parameter entry as the plug-in passes it.
struct Entry {
  std::string group;
  std::string parameter;
  int32_t index = 0;
  int32_t valueType = TALVO_MELANGE_VALUE_REAL;
  double real = 0.0;
  std::string text;
  int32_t recognised = 1;
};

Entry real(std::string group, std::string parameter, double value, int32_t index = 0) {
  return {std::move(group), std::move(parameter), index, TALVO_MELANGE_VALUE_REAL, value, "", 1};
}
Entry text(std::string group, std::string parameter, std::string value, int32_t index = 0) {
  return {std::move(group), std::move(parameter), index, TALVO_MELANGE_VALUE_STRING, 0.0, std::move(value), 1};
}
Entry image(int32_t index, std::string name) { return text("SHIMAGE", "FILE", std::move(name), index); }
Entry typed(std::string group, std::string parameter, int32_t valueType) {
  return {std::move(group), std::move(parameter), 0, valueType, 0.0, "", 1};
}

// An argument block with everything it points to.
class Arguments {
 public:
  explicit Arguments(std::string textureFolder) : textureFolder_(std::move(textureFolder)) {}

  // A shader of the entries; its recognised count is that of its recognised entries
  // unless given.
  void addShader(const std::vector<Entry>& entries, int32_t recognisedCount = -1) {
    std::vector<TalvoMelangeParameter>& parameters = parameters_.emplace_back();
    int32_t recognised = 0;
    for (const Entry& e : entries) {
      TalvoMelangeParameter p{};
      p.fullName = keep(e.recognised ? "C4D_" + e.group + "_" + e.parameter : "");
      p.group = keep(e.group);
      p.parameter = keep(e.parameter);
      p.stringValue = keep(e.text);
      p.realValue = e.real;
      p.index = e.index;
      p.recognised = e.recognised;
      p.valueType = e.valueType;
      parameters.push_back(p);
      recognised += e.recognised ? 1 : 0;
    }
    recognisedCounts_.push_back(recognisedCount < 0 ? recognised : recognisedCount);
  }
  void addTexture(const std::string& path, const std::string& fileTitle) {
    textures_.push_back({keep(path), keep(fileTitle)});
  }

  // The block for writing `file`; valid until the next change.
  TalvoMelangeArguments& block(const std::string& file) {
    shaders_.clear();
    for (size_t i = 0; i < parameters_.size(); ++i)
      shaders_.push_back({keep("Surface " + std::to_string(i)), parameters_[i].data(),
                          int32_t(parameters_[i].size()), recognisedCounts_[i]});
    block_ = {};
    block_.size = sizeof(TalvoMelangeArguments);
    block_.version = TALVO_MELANGE_ARGUMENTS_VERSION;
    block_.materialFile = keep(file);
    block_.textureFolder = keep(textureFolder_);
    block_.shaders = shaders_.data();
    block_.textures = textures_.data();
    block_.shaderCount = int32_t(shaders_.size());
    block_.textureCount = int32_t(textures_.size());
    block_.effectiveScale = kScale;
    block_.projectScaleFactor = 0.01;
    block_.projectScaleUnit = 2;
    return block_;
  }

 private:
  const char* keep(std::string s) { return texts_.emplace_back(std::move(s)).c_str(); }

  std::string textureFolder_;
  std::deque<std::string> texts_;
  std::deque<std::vector<TalvoMelangeParameter>> parameters_;
  std::vector<int32_t> recognisedCounts_;
  std::vector<TalvoMelangeShader> shaders_;
  std::vector<TalvoMelangeTexture> textures_;
  TalvoMelangeArguments block_{};
};

struct DocumentOwner {
  void operator()(BaseDocument* d) const { BaseDocument::free(d); }
};
using Document = std::unique_ptr<BaseDocument, DocumentOwner>;

std::string describe(const HostValue& v) {
  std::ostringstream out;
  out.precision(17);
  switch (v.type()) {
    case kValueInteger: out << "integer " << v.getInt32(); break;
    case kValueReal: out << "real " << v.getReal(); break;
    case kValueVector: out << "vector " << v.getVector().x << ", " << v.getVector().y << ", " << v.getVector().z; break;
    case kValueString: out << "string \"" << v.getString() << '"'; break;
    case kValueFilename: out << "file name \"" << v.getFilename().string() << '"'; break;
    default: out << "value of type " << v.type();
  }
  return out.str();
}

bool near(double a, double b) { return std::fabs(a - b) <= 1e-12 * std::max(1.0, std::fabs(b)); }

bool sameValue(const HostValue& a, const HostValue& b) {
  if (a.type() != b.type()) return false;
  if (a.type() == kValueReal) return near(a.getReal(), b.getReal());
  if (a.type() == kValueVector)
    return near(a.getVector().x, b.getVector().x) && near(a.getVector().y, b.getVector().y) &&
           near(a.getVector().z, b.getVector().z);
  return a == b;
}

// The same ids with the same values, in any order; reals to 1e-12.
void expectSameContainer(const Container& actual, const Container& expected, const std::string& where) {
  for (const auto& [id, value] : expected.entries()) {
    const HostValue* got = actual.getValue(id);
    if (!got)
      ADD_FAILURE() << where << " " << id << ": missing, expected " << describe(value);
    else if (!sameValue(*got, value))
      ADD_FAILURE() << where << " " << id << ": " << describe(*got) << ", expected " << describe(value);
  }
  for (const auto& [id, value] : actual.entries())
    if (!expected.getValue(id)) ADD_FAILURE() << where << " " << id << ": unexpected " << describe(value);
}

class Melange : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library().loaded()) << dlerror();
    dir_ = fs::temp_directory_path() / ("talvo_melange_test_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    app::failAllocationAt(0);
    fs::remove_all(dir_);
  }
  std::string file(const std::string& name) const { return (dir_ / name).string(); }
  std::string textureFolder() const { return (dir_ / "tex").string(); }
  // The names of the files in the test folder.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Writes the material file and loads it with the materials filter.
  Document writeAndLoad(Arguments& arguments) {
    const std::string path = file("materials.doc");
    const int64_t liveBefore = app::liveAllocations();
    const size_t documentsBefore = documents().size();
    EXPECT_EQ(library().create(&arguments.block(path)), 1);
    // The library's document is never in the host's list and is freed afterwards.
    EXPECT_EQ(app::liveAllocations(), liveBefore);
    EXPECT_EQ(documents().size(), documentsBefore);
    String error;
    Document loaded(loadDocument(path, &error, kSceneLoadMaterials));
    EXPECT_NE(loaded, nullptr) << error;
    return loaded;
  }

  fs::path dir_;
};

TEST_F(Melange, VersionEntries) {
  const struct {
    const char* name;
    int32_t value;
  } kEntries[] = {{"GetDllVersion", 261}, {"GetCompilerVersion", 1700}, {"GetPlatform", 64}};
  for (const auto& e : kEntries) {
    auto entry = reinterpret_cast<TalvoMelangeVersionFunction>(library().symbol(e.name));
    ASSERT_NE(entry, nullptr) << e.name;
    EXPECT_EQ(entry(), e.value) << e.name;
  }
  EXPECT_NE(library().symbol("CreateMelangeMaterialFile"), nullptr);
}

// ---------------------------------------------------------------------------------------
// The mapping: one shader per case, all in one call, so that cases also show that
// nothing carries over from one shader to the next.

constexpr int32_t kParam = -1;  // Change::channel of a material parameter

struct Change {
  int32_t channel;  // kParam or a channel id
  int32_t id;
  HostValue value;
};
struct ExpectedMaterial {
  std::string suffix;  // after the shader index: "" or "_grass"
  std::vector<Change> changes;
};
struct MappingCase {
  std::string what;
  std::vector<Entry> entries;
  std::vector<ExpectedMaterial> materials;  // none: the shader gets no material
  int32_t recognisedCount = -1;             // -1: the count of recognised entries
};

HostValue integer(int32_t v) { return HostValue::integer(v); }
HostValue realValue(double v) { return HostValue::real(v); }
HostValue color(double r, double g, double b) { return HostValue::vector({r, g, b}); }
HostValue fileValue(const std::string& name) { return HostValue::filename(Filename(name)); }

std::vector<MappingCase> mappingCases(const std::string& folder) {
  std::vector<MappingCase> cases;
  const HostValue folderValue = fileValue(folder);

  // Every channel group takes the same parameters.
  const struct {
    const char* group;
    int32_t channel;
    int32_t useSwitch;
  } kChannels[] = {{"CHCOL", kChannelColor, 2000},        {"CHLUM", kChannelLuminance, 2001},
                   {"CHTRA", kChannelTransparency, 2002}, {"CHREF", kChannelReflection, 2003},
                   {"CHBUM", kChannelBump, 2007},         {"CHALP", kChannelAlpha, 2008}};
  for (const auto& c : kChannels) {
    cases.push_back({std::string(c.group) + " channel",
                     {real(c.group, "STATE", 1), real(c.group, "R", 0.25), real(c.group, "G", 0.5),
                      real(c.group, "B", 0.75), real(c.group, "BRIGHT", 0.8), real(c.group, "TEXTURE", 1),
                      image(1, "t.png")},
                     {{"",
                       {{kParam, c.useSwitch, integer(1)},
                        {c.channel, kChannelDataColor, color(0.25, 0.5, 0.75)},
                        {c.channel, kChannelDataBrightness, realValue(0.8)},
                        {c.channel, kChannelDataTexture, fileValue("t.png")},
                        {c.channel, kChannelDataSuggestedFolder, folderValue}}}}});
  }

  const std::vector<MappingCase> more = {
      {"state 0 and at the threshold is off, negative is on",
       {real("CHLUM", "STATE", 0), real("CHCOL", "STATE", 9.999999974752427e-7), real("CHTRA", "STATE", -1)},
       {{"", {{kParam, 2001, integer(0)}, {kParam, 2000, integer(0)}, {kParam, 2002, integer(1)}}}}},
      {"a single colour component keeps the others",
       {real("CHREF", "G", 0.5)},
       {{"", {{kChannelReflection, kChannelDataColor, color(0, 0.5, 0)}}}}},
      {"colours are clamped to 0..1",
       {real("CHCOL", "R", 1.5), real("CHCOL", "G", -0.5), real("CHCOL", "B", 0.5)},
       {{"", {{kChannelColor, kChannelDataColor, color(1, 0, 0.5)}}}}},
      {"later entries override earlier ones",
       {real("CHCOL", "R", 0.1), real("CHCOL", "STATE", 1), image(1, "a.png"), real("CHCOL", "TEXTURE", 1),
        real("CHCOL", "R", 0.9), real("CHCOL", "STATE", 0), image(1, "b.png"), real("CHSIZE", "HORSIZE", 1),
        real("CHSIZE", "HORSIZE", 2)},
       {{"",
         {{kParam, 2000, integer(0)},
          {kChannelColor, kChannelDataColor, color(0.9, 0, 0)},
          {kChannelColor, kChannelDataTexture, fileValue("b.png")},
          {kChannelColor, kChannelDataSuggestedFolder, folderValue},
          {kParam, 3201, realValue(2 * kScale)}}}}},
      {"an image may follow the entry that uses it",
       {real("CHBUM", "TEXTURE", 2), image(1, "one.png"), image(2, "two.png")},
       {{"",
         {{kChannelBump, kChannelDataTexture, fileValue("two.png")},
          {kChannelBump, kChannelDataSuggestedFolder, folderValue}}}}},
      {"textures naming no usable image change nothing",
       {image(1, "one.png"), image(4, ".."), real("CHCOL", "TEXTURE", 3), real("CHLUM", "TEXTURE", 1.5),
        real("CHTRA", "TEXTURE", 0), real("CHREF", "TEXTURE", -1), real("CHBUM", "TEXTURE", 4),
        real("CHALP", "TEXTURE", 4294967297.0)},
       {{"", {}}}},
      {"refraction and bump strength",
       {real("CHTRA", "REFRACT", 1.33), real("CHBUM", "STRENGTH", 0.3)},
       {{"", {{kParam, 1005, realValue(1.33)}, {kParam, 1009, realValue(0.3)}}}}},
      {"size keys",
       {real("CHSIZE", "HORSIZE", 100), real("CHSIZE", "VERSIZE", 50), real("CHSIZE", "DEPSIZE", 0),
        real("CHSIZE", "ANGLE", 90), real("CHSIZE", "KEEPPROP", 1), real("CHSIZE", "RANDORIG", 0)},
       {{"",
         {{kParam, 3201, realValue(100 * kScale)},
          {kParam, 3202, realValue(50 * kScale)},
          {kParam, 3203, realValue(0)},
          {kParam, 3204, realValue(std::numbers::pi / 2)},
          {kParam, 3205, integer(1)},
          {kParam, 3206, integer(0)}}}}},
      {"size switches take any real not 0",
       {real("CHSIZE", "KEEPPROP", 0.5), real("CHSIZE", "RANDORIG", -2)},
       {{"", {{kParam, 3205, integer(1)}, {kParam, 3206, integer(1)}}}}},
      {"keys in lower case",
       {real("chcol", "r", 0.5), real("chSize", "horSize", 10), text("shimage", "file", "low.png", 1),
        real("chcol", "texture", 1)},
       {{"",
         {{kChannelColor, kChannelDataColor, color(0.5, 0, 0)},
          {kChannelColor, kChannelDataTexture, fileValue("low.png")},
          {kChannelColor, kChannelDataSuggestedFolder, folderValue},
          {kParam, 3201, realValue(10 * kScale)}}}}},
      {"grass with its own colour, length and density",
       {real("CHCOL", "R", 0.1), real("CHCOL", "G", 0.2), real("CHCOL", "B", 0.3), real("CHGRA", "STATE", 1),
        real("CHGRA", "R", 0.4), real("CHGRA", "G", 0.5), real("CHGRA", "B", 0.6), real("CHGRA", "LENGTH", 10),
        real("CHGRA", "DENSITY", 0.7)},
       {{"", {{kChannelColor, kChannelDataColor, color(0.1, 0.2, 0.3)}}},
        {"_grass",
         {{kParam, 2000, integer(1)},
          {kChannelColor, kChannelDataColor, color(0.4, 0.5, 0.6)},
          {kParam, 3301, realValue(10 * kScale)},
          {kParam, 3302, realValue(0.7)}}}}},
      {"grass takes the shader's colour where it has none",
       {real("CHGRA", "G", 0.9), real("CHGRA", "STATE", 1), real("CHCOL", "R", 0.1), real("CHCOL", "G", 0.2),
        real("CHCOL", "B", 0.3)},
       {{"", {{kChannelColor, kChannelDataColor, color(0.1, 0.2, 0.3)}}},
        {"_grass", {{kParam, 2000, integer(1)}, {kChannelColor, kChannelDataColor, color(0.1, 0.9, 0.3)}}}}},
      {"grass turned off again", {real("CHGRA", "STATE", 1), real("CHGRA", "STATE", 0)}, {{"", {}}}},
      {"no recognised entries, no material", {real("CHCOL", "STATE", 1), real("CHGRA", "STATE", 1)}, {}, 0},
      {"no entries at all", {}, {}},
  };
  cases.insert(cases.end(), more.begin(), more.end());

  // Entries that do not fit are skipped: the shader gets a material all the same (its
  // recognised count is not 0), with nothing set.
  Entry unrecognised = real("CHCOL", "STATE", 1);
  unrecognised.recognised = 0;
  const struct {
    const char* what;
    std::vector<Entry> entries;
  } kSkipped[] = {
      {"a text for a real", {text("CHCOL", "R", "0.5")}},
      {"value type 0", {typed("CHCOL", "STATE", TALVO_MELANGE_VALUE_NONE)}},
      {"a grid of reals", {typed("CHCOL", "R", 3)}},
      {"a grid of texts", {typed("CHCOL", "R", 4)}},
      {"not recognised", {unrecognised, real("CHVER", "MAIN", 1)}},
      {"not a number", {real("CHCOL", "BRIGHT", kNan), real("CHSIZE", "ANGLE", kInf)}},
      {"a length past the largest real", {real("CHSIZE", "HORSIZE", 1e308)}},
      {"an unknown group", {real("CHXYZ", "STATE", 1)}},
      {"an unknown parameter", {real("CHCOL", "HUE", 1), real("CHSIZE", "WIDTH", 1)}},
      {"a key index on a key without one", {real("CHCOL", "R", 0.5, 2), real("CHCOL", "STATE", 1, 1)}},
      {"an image as a real", {real("SHIMAGE", "FILE", 1, 1), real("CHCOL", "TEXTURE", 1)}},
      {"grass state as a text", {text("CHGRA", "STATE", "1")}},
      {"grass state at the threshold", {real("CHGRA", "STATE", 9.999999974752427e-7)}},
      {"grass settings without its state", {real("CHGRA", "LENGTH", 5), real("CHGRA", "R", 1)}},
  };
  for (const auto& s : kSkipped) cases.push_back({std::string("skipped: ") + s.what, s.entries, {{"", {}}}});
  return cases;
}

TEST_F(Melange, EntriesBecomeMaterials) {
  const std::vector<MappingCase> cases = mappingCases(textureFolder());
  Arguments arguments(textureFolder());
  for (const MappingCase& c : cases) arguments.addShader(c.entries, c.recognisedCount);
  Document loaded = writeAndLoad(arguments);
  ASSERT_NE(loaded, nullptr);

  std::vector<std::string> expectedNames;
  for (size_t i = 0; i < cases.size(); ++i)
    for (const ExpectedMaterial& m : cases[i].materials) expectedNames.push_back(std::to_string(i) + m.suffix);
  std::vector<std::string> names;
  for (const BaseMaterial* m : loaded->materials()) names.push_back(m->getName());
  EXPECT_EQ(names, expectedNames);
  EXPECT_EQ(loaded->getFirstObject(), nullptr);
  ASSERT_NE(loaded->getSettings().getValue(kDocumentProjectScale), nullptr);
  EXPECT_EQ(*loaded->getSettings().getValue(kDocumentProjectScale),
            HostValue::custom(std::make_unique<UnitScaleData>(0.01, 2)));

  // Each material is a new standard material with the case's changes.
  BaseMaterial* fresh = BaseMaterial::alloc(kMaterialStandard);
  ASSERT_NE(fresh, nullptr);
  for (size_t i = 0; i < cases.size(); ++i) {
    for (const ExpectedMaterial& m : cases[i].materials) {
      const std::string name = std::to_string(i) + m.suffix;
      SCOPED_TRACE(cases[i].what + ": material " + name);
      const BaseMaterial* material = loaded->searchMaterial(name);
      if (!material) {
        ADD_FAILURE() << "no material";
        continue;
      }
      EXPECT_EQ(material->getType(), kMaterialStandard);
      Container params = fresh->getData();
      std::vector<Container> channels;
      for (int32_t c = 0; c < kChannelCount; ++c) channels.push_back(fresh->getChannel(c)->getData());
      for (const Change& change : m.changes)
        (change.channel == kParam ? params : channels[size_t(change.channel)]).setValue(change.id, change.value);
      expectSameContainer(material->getData(), params, "parameter");
      for (int32_t c = 0; c < kChannelCount; ++c) {
        ASSERT_NE(material->getChannel(c), nullptr);
        expectSameContainer(material->getChannel(c)->getData(), channels[size_t(c)],
                            "channel " + std::to_string(c) + " data");
      }
    }
  }
  BaseMaterial::free(fresh);
}

// An image's name gives only a file part, found through the textures by path first, then
// by file title; what cannot name a file in the texture folder gives no texture.
TEST_F(Melange, ImageNamesGiveFileParts) {
  const struct {
    const char* name;
    const char* file;  // nullptr: no texture
  } kCases[] = {
      {"MAPS/brick.PNG", "Brick.png"},  // a texture's path in other letter case
      {"brick", "Brick.png"},           // a texture's file title in other letter case
      {"shared", "shared"},             // a path beats an earlier texture's title
      {"DUP.png", "Dup.png"},           // the first of two paths
      {"stone.tif", "stone.tif"},       // no texture of that name: the name itself
      {"unknown/dir/stone.tif", "stone.tif"},
      {"..\\..\\etc\\passwd", "passwd"},
      {"/abs/z.png", "z.png"},
      {"D:stone.png", "stone.png"},
      {"C:\\x\\y.png", "y.png"},
      {"Evil", "x.png"},  // a texture path with a drive and folders
      {"K\xC3\xBC" "che.png", "K\xC3\xBC" "che.png"},
      {"\xFF.png", "\xEF\xBF\xBD.png"},  // not UTF-8: the host's replacement character
      {"", nullptr},
      {".", nullptr},
      {"..", nullptr},
      {"a/..", nullptr},
      {"dir/", nullptr},
      {"C:", nullptr},
      {"dots", nullptr},  // a texture whose path is ".."
  };
  Arguments arguments(textureFolder());
  arguments.addTexture("maps/Brick.png", "Brick");
  arguments.addTexture("first.png", "shared");
  arguments.addTexture("shared", "t");
  arguments.addTexture("Dup.png", "one");
  arguments.addTexture("dup.PNG", "two");
  arguments.addTexture("..", "dots");
  arguments.addTexture("C:\\evil\\x.png", "Evil");
  for (const auto& c : kCases) arguments.addShader({image(1, c.name), real("CHCOL", "TEXTURE", 1)});
  Document loaded = writeAndLoad(arguments);
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(loaded->materials().size(), std::size(kCases));
  for (size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE(std::string("image \"") + kCases[i].name + "\"");
    const Container data = loaded->materials()[i]->getChannel(kChannelColor)->getData();
    if (kCases[i].file) {
      EXPECT_EQ(data.getFilename(kChannelDataTexture).string(), kCases[i].file);
      EXPECT_EQ(data.getFilename(kChannelDataSuggestedFolder).string(), textureFolder());
    } else {
      EXPECT_EQ(data.getValue(kChannelDataTexture), nullptr);
      EXPECT_EQ(data.getValue(kChannelDataSuggestedFolder), nullptr);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Failures: 0 and no file.

TEST_F(Melange, BadArgumentBlocksAreRefused) {
  EXPECT_EQ(library().create(nullptr), 0);

  using Mutation = std::function<void(TalvoMelangeArguments&, TalvoMelangeShader&, TalvoMelangeParameter&,
                                      TalvoMelangeTexture&)>;
  const struct {
    const char* what;
    Mutation mutate;
    bool written;
  } kCases[] = {
      {"unchanged", [](auto&, auto&, auto&, auto&) {}, true},
      {"no shaders and no textures",
       [](auto& a, auto&, auto&, auto&) {
         a.shaders = nullptr;
         a.shaderCount = 0;
         a.textures = nullptr;
         a.textureCount = 0;
       },
       true},
      {"no parameters",
       [](auto&, auto& s, auto&, auto&) {
         s.parameters = nullptr;
         s.parameterCount = 0;
       },
       true},
      {"size smaller", [](auto& a, auto&, auto&, auto&) { a.size -= 8; }, false},
      {"size larger", [](auto& a, auto&, auto&, auto&) { a.size += 8; }, false},
      {"version 0", [](auto& a, auto&, auto&, auto&) { a.version = 0; }, false},
      {"version 2", [](auto& a, auto&, auto&, auto&) { a.version = 2; }, false},
      {"no material file", [](auto& a, auto&, auto&, auto&) { a.materialFile = nullptr; }, false},
      {"empty material file", [](auto& a, auto&, auto&, auto&) { a.materialFile = ""; }, false},
      {"no texture folder", [](auto& a, auto&, auto&, auto&) { a.textureFolder = nullptr; }, false},
      {"shader count negative", [](auto& a, auto&, auto&, auto&) { a.shaderCount = -1; }, false},
      {"texture count negative", [](auto& a, auto&, auto&, auto&) { a.textureCount = -1; }, false},
      {"shaders missing", [](auto& a, auto&, auto&, auto&) { a.shaders = nullptr; }, false},
      {"textures missing", [](auto& a, auto&, auto&, auto&) { a.textures = nullptr; }, false},
      {"shader without a name", [](auto&, auto& s, auto&, auto&) { s.name = nullptr; }, false},
      {"parameters missing", [](auto&, auto& s, auto&, auto&) { s.parameters = nullptr; }, false},
      {"parameter count negative", [](auto&, auto& s, auto&, auto&) { s.parameterCount = -1; }, false},
      {"recognised count negative", [](auto&, auto& s, auto&, auto&) { s.recognisedCount = -1; }, false},
      {"parameter without a full name", [](auto&, auto&, auto& p, auto&) { p.fullName = nullptr; }, false},
      {"parameter without a group", [](auto&, auto&, auto& p, auto&) { p.group = nullptr; }, false},
      {"parameter without a parameter", [](auto&, auto&, auto& p, auto&) { p.parameter = nullptr; }, false},
      {"parameter without a string value", [](auto&, auto&, auto& p, auto&) { p.stringValue = nullptr; }, false},
      {"texture without a path", [](auto&, auto&, auto&, auto& t) { t.path = nullptr; }, false},
      {"texture without a file title", [](auto&, auto&, auto&, auto& t) { t.fileTitle = nullptr; }, false},
      {"scale not a number", [](auto& a, auto&, auto&, auto&) { a.effectiveScale = kNan; }, false},
      {"scale 0", [](auto& a, auto&, auto&, auto&) { a.effectiveScale = 0; }, false},
      {"scale negative", [](auto& a, auto&, auto&, auto&) { a.effectiveScale = -1; }, false},
      {"project scale infinite", [](auto& a, auto&, auto&, auto&) { a.projectScaleFactor = kInf; }, false},
      {"project scale 0", [](auto& a, auto&, auto&, auto&) { a.projectScaleFactor = 0; }, false},
      {"project unit 0", [](auto& a, auto&, auto&, auto&) { a.projectScaleUnit = 0; }, false},
      {"project unit 11", [](auto& a, auto&, auto&, auto&) { a.projectScaleUnit = 11; }, false},
  };
  Arguments good(textureFolder());
  good.addShader({real("CHCOL", "STATE", 1)});
  good.addTexture("a.png", "a");
  std::vector<std::string> written;
  for (size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE(kCases[i].what);
    const std::string name = "case" + std::to_string(i) + ".doc";
    TalvoMelangeArguments a = good.block(file(name));
    TalvoMelangeShader shader = a.shaders[0];
    TalvoMelangeParameter parameter = shader.parameters[0];
    TalvoMelangeTexture texture = a.textures[0];
    shader.parameters = &parameter;
    a.shaders = &shader;
    a.textures = &texture;
    kCases[i].mutate(a, shader, parameter, texture);
    EXPECT_EQ(library().create(&a), kCases[i].written ? 1 : 0);
    EXPECT_EQ(fs::exists(file(name)), kCases[i].written);
    if (kCases[i].written) written.push_back(name);
  }
  std::sort(written.begin(), written.end());
  EXPECT_EQ(files(), written);  // nothing else, no half-written file
}

TEST_F(Melange, UnwritableTargetsAreRefused) {
  fs::create_directories(dir_ / "folder");
  const std::string kTargets[] = {file("missing/materials.doc"), file("folder")};
  Arguments arguments(textureFolder());
  arguments.addShader({real("CHCOL", "STATE", 1)});
  for (const std::string& target : kTargets) {
    SCOPED_TRACE(target);
    EXPECT_EQ(library().create(&arguments.block(target)), 0);
  }
  EXPECT_EQ(files(), std::vector<std::string>{"folder"});
  EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
}

// Every host allocation of a call failing in turn: each run gives 0, leaves no file and
// frees what it made, until the run where nothing fails.
TEST_F(Melange, AllocationFailuresLeaveNothing) {
  Arguments arguments(textureFolder());
  arguments.addShader({real("CHCOL", "STATE", 1), real("CHGRA", "STATE", 1)});
  arguments.addShader({real("CHCOL", "R", 1)});
  const std::string target = file("materials.doc");
  const TalvoMelangeArguments& block = arguments.block(target);
  const int64_t liveBefore = app::liveAllocations();
  int64_t n = 1;
  for (; n < 1000; ++n) {
    app::failAllocationAt(n);
    const int32_t result = library().create(&block);
    app::failAllocationAt(0);
    EXPECT_EQ(app::liveAllocations(), liveBefore) << "failing allocation " << n;
    if (result == 1) break;
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(fs::exists(target)) << "failing allocation " << n;
    EXPECT_TRUE(files().empty()) << "failing allocation " << n;
  }
  // The document and its three materials each failed once before the run that succeeded.
  EXPECT_GE(n, 5);
  EXPECT_LT(n, 1000);
  EXPECT_TRUE(fs::exists(target));
}

}  // namespace
