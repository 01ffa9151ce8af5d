// Runs the command-line host as a separate process, with a preferences folder of its own.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace talvo_test {

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs `program args...` with standard input closed, standard output and error captured
// in files of `folder`.
inline ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                                const std::string& folder) {
  const std::string outPath = folder + "/stdout.txt";
  const std::string errPath = folder + "/stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  ProcessResult result;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = readWhole(outPath);
  result.err = readWhole(errPath);
  return result;
}

// talvo with its own preferences and documents folders inside `folder`.
inline ProcessResult runTalvo(const std::vector<std::string>& args, const std::string& folder) {
  std::vector<std::string> all = {"--prefs", folder + "/prefs", "--documents", folder + "/documents"};
  all.insert(all.end(), args.begin(), args.end());
  return runProcess(std::string(TALVO_BINARY_DIR) + "/talvo", all, folder);
}

}  // namespace talvo_test
