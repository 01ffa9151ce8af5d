// Whole imports through talvo's File menu, as a user runs them: the benchmark scene of
// N and 2N polygons with the factory options and with optimizing and untriangulating
// off, each timed with its peak memory; the same geometry as a Wavefront OBJ file read
// by Assimp with identical vertices joined, which is what a user would do without the
// importer.
//
//   import_bench [--polygons N] [--runs R]     (N defaults to 2,000,000; the best of R = 3 runs)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_scene.h"

#if TALVO_BENCH_ASSIMP
#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#endif

extern char** environ;

namespace {

struct Measure {
  double seconds = 0.0;
  double peakMegabytes = 0.0;
  int exitCode = -1;
};

// Runs a program with its output thrown away; wall time and the child's peak resident size.
Measure runProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Measure m;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return m;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.peakMegabytes = double(usage.ru_maxrss) / 1024.0;
  m.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  posix_spawn_file_actions_destroy(&actions);
  return m;
}

Measure bestOf(int runs, const std::vector<std::string>& args) {
  Measure best;
  for (int i = 0; i < runs; ++i) {
    const Measure m = runProgram(args);
    if (m.exitCode != 0) talvo_bench::fail(("talvo import failed: " + args.back()).c_str());
    if (i == 0 || m.seconds < best.seconds) best = m;
  }
  return best;
}

std::vector<std::string> importArgs(const std::string& folder, const std::string& scene, bool optimizing) {
  std::vector<std::string> args = {TALVO_BINARY_DIR "/talvo", "--prefs", folder + "/prefs", "--documents",
                                   folder + "/documents", "import", scene, "--mode", "new"};
  if (!optimizing) args.insert(args.end(), {"--set", "optimize=0", "--set", "untriangulate=0"});
  return args;
}

}  // namespace

int main(int argc, char** argv) {
  int64_t polygons = 2000000;
  int runs = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--polygons") == 0) polygons = std::atoll(argv[i + 1]);
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
  }
  const talvo_bench::BenchSceneFile half("import_half", polygons / 2);
  const talvo_bench::BenchSceneFile full("import_full", polygons, true);
  const std::string folder = std::filesystem::path(full.scene()).parent_path().string();

  std::printf("%-40s %10s %10s\n", "run", "seconds", "peak MB");
  const Measure factoryHalf = bestOf(runs, importArgs(folder, half.scene(), true));
  const Measure factory = bestOf(runs, importArgs(folder, full.scene(), true));
  const Measure plainHalf = bestOf(runs, importArgs(folder, half.scene(), false));
  const Measure plain = bestOf(runs, importArgs(folder, full.scene(), false));
  auto row = [](const std::string& what, const Measure& m) {
    std::printf("%-40s %10.3f %10.1f\n", what.c_str(), m.seconds, m.peakMegabytes);
  };
  const std::string n = std::to_string(polygons / 2), n2 = std::to_string(polygons);
  row("factory options, " + n + " polygons", factoryHalf);
  row("factory options, " + n2 + " polygons", factory);
  row("no optimizing, " + n + " polygons", plainHalf);
  row("no optimizing, " + n2 + " polygons", plain);
  std::printf("doubling, factory options:   %.2fx\n", factory.seconds / factoryHalf.seconds);
  std::printf("doubling, no optimizing:     %.2fx\n", plain.seconds / plainHalf.seconds);

#if TALVO_BENCH_ASSIMP
  double assimpSeconds = 0.0;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const aiScene* scene = aiImportFile(full.obj().c_str(), aiProcess_JoinIdenticalVertices);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!scene) talvo_bench::fail("Assimp could not read the OBJ file");
    aiReleaseImport(scene);
    if (i == 0 || s < assimpSeconds) assimpSeconds = s;
  }
  std::printf("%-40s %10.3f\n", ("Assimp OBJ, " + n2 + " polygons").c_str(), assimpSeconds);
  std::printf("ours / Assimp, factory options: %.2f\n", factory.seconds / assimpSeconds);
  std::printf("ours / Assimp, no optimizing:   %.2f\n", plain.seconds / assimpSeconds);
#endif
  return 0;
}
