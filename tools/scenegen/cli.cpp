#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "scenegen/scenegen.h"

namespace talvo::scenegen {

int runScenegen(int argc, char** argv) {
  CLI::App app{"Writes example and benchmark scene files.", "scenegen"};
  app.require_subcommand(1);

  std::string exampleOut;
  CLI::App* example = app.add_subcommand("example", "write the example house (version 2.50)");
  example->add_option("OUT", exampleOut, "scene file to write")->required();

  std::string bigOut;
  std::string objOut;
  BigSceneOptions options;
  CLI::App* big = app.add_subcommand("big", "write a benchmark building with an exact polygon count");
  big->add_option("OUT", bigOut, "scene file to write")->required();
  big->add_option("--polygons", options.polygons, "number of polygon records")
      ->required()
      ->check(CLI::Range(int64_t(1), kMaxBigScenePolygons));
  big->add_option("--obj", objOut, "also write the geometry as Wavefront OBJ");
  big->add_option("--seed", options.seed, "generator seed")->capture_default_str();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }

  if (example->parsed()) {
    if (!testsupport::writeSceneFile(makeExampleScene(), exampleOut)) {
      std::fprintf(stderr, "scenegen: cannot write %s\n", exampleOut.c_str());
      return 1;
    }
    return 0;
  }

  try {
    const BigScene scene(options);
    testsupport::SceneWriter writer(bigOut);
    if (!writer.ok() || !scene.write(writer)) {
      std::fprintf(stderr, "scenegen: cannot write %s\n", bigOut.c_str());
      return 1;
    }
    if (!objOut.empty() && !scene.writeObj(objOut)) {
      std::fprintf(stderr, "scenegen: cannot write %s\n", objOut.c_str());
      return 1;
    }
    const BigSceneSummary& s = scene.summary();
    std::fprintf(stderr,
                 "scenegen: %s: %lld polygons, %lld points, %lld elements (%lld placed, %lld library parts), "
                 "%llu bytes\n",
                 bigOut.c_str(), (long long)s.polygons, (long long)s.points, (long long)s.elements,
                 (long long)s.placedElements, (long long)s.libraryParts, (unsigned long long)writer.offset());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "scenegen: %s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace talvo::scenegen
