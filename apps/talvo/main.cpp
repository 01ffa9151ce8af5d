// talvo: the command-line host application. It starts like the host, with its
// preferences and plug-in folders, and runs one subcommand.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>

#include "dump.h"
#include "host/app.h"
#include "host/resource.h"
#include "host_start.h"
#include "import.h"
#include "inspect.h"
#include "menu.h"
#include "terminal.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kPluginName = "TALVO_import_r16";

fs::path executableFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : self.parent_path();
}

fs::path defaultPreferencesFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return fs::path(xdg) / "talvo";
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".config" / "talvo";
  return fs::current_path() / ".talvo";
}

fs::path defaultDocumentsFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / "Documents";
  return fs::current_path();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"talvo: the command-line host of the scene importer"};
  app.require_subcommand(1);

  std::string prefs;
  std::string documents;
  std::string plugins;
  std::string menus;
  bool yes = false;
  bool no = false;
  app.add_option("--prefs", prefs, "the host's preferences folder");
  app.add_option("--documents", documents, "the host's documents folder (where the importer keeps its material files)");
  app.add_option("--plugins", plugins, "the plug-in folder");
  app.add_option("--menus", menus, "the host's menu resources (a JSON file)");
  auto* yesFlag = app.add_flag("--yes", yes, "answer Yes to questions");
  app.add_flag("--no", no, "answer No to questions")->excludes(yesFlag);

  talvo_app::InspectRequest inspect;
  CLI::App* inspectCommand = app.add_subcommand("inspect", "check and read a scene file as an import would");
  inspectCommand->add_option("FILE", inspect.file, "the scene file")->required();
  inspectCommand->add_option("--scale", inspect.scale, "length scale")->check(CLI::PositiveNumber);
  inspectCommand->add_option("--uvw-scale", inspect.uvwScale, "texture coordinate scale")
      ->check(CLI::PositiveNumber);
  inspectCommand->add_flag("--json", inspect.json, "print the reader's tables as JSON");

  talvo_app::DumpRequest dump;
  CLI::App* dumpCommand = app.add_subcommand("dump", "print a document file as JSON");
  dumpCommand->add_option("DOC", dump.file, "the document file")->required();
  dumpCommand->add_flag("--geometry", dump.geometry, "print the point, polygon and UVW arrays too");

  talvo_app::ImportRequest import;
  CLI::App* importCommand = app.add_subcommand("import", "import a scene file as a user would");
  importCommand->add_option("FILE", import.file, "the scene file")->required();
  importCommand->add_option("--via", import.via, "the host's File menu, or the importer's menu command")
      ->check(CLI::IsMember({"file", "menu"}));
  importCommand->add_option("--into", import.into, "a document file to load and make active first");
  importCommand->add_option("-o,--output", import.out,
                            "save the active document to this document file afterwards");
  importCommand->add_option("--mode", import.answers.mode, "options dialog: new, merge or update");
  importCommand->add_option("--set", import.answers.sets,
                            "options dialog: NAME=VALUE for an option or gadget id");
  importCommand->add_option("--preset", import.answers.preset, "options dialog: a preset (not applied yet)");
  importCommand->add_option("--update-target", import.answers.updateTarget,
                            "options dialog: the earlier import to update");
  importCommand->add_option("--instances", import.answers.instances,
                            "instance dialog: objects|instances|instances+locked|none, or NAME=CHOICE,...");
  importCommand->add_flag("--cancel", import.answers.cancel, "options dialog: cancel it");
  importCommand->add_flag("--undo", import.undo, "undo the import's undo group afterwards");

  CLI::App* menuCommand = app.add_subcommand("menu", "print the host's Plug-ins menu after start-up");

  CLI11_PARSE(app, argc, argv);

  const fs::path pluginFolder = plugins.empty() ? executableFolder() / "plugins" : fs::path(plugins);
  const fs::path ownFolder = pluginFolder / kPluginName;
  host::app::setPluginFolder(ownFolder.string());
  host::app::setPreferencesFolder((prefs.empty() ? defaultPreferencesFolder() : fs::path(prefs)).string());
  host::app::setDocumentsFolder((documents.empty() ? defaultDocumentsFolder() : fs::path(documents)).string());
  talvo_app::setUpTerminal(yes ? talvo_app::Answer::yes
                               : (no ? talvo_app::Answer::no : talvo_app::Answer::ask));

  if (*dumpCommand) return talvo_app::runDump(dump);

  // The host proper: its menus and every plug-in library of the plug-in folder.
  if (*importCommand || *menuCommand) {
    std::string error;
    if (*importCommand && !talvo_app::checkAnswers(import.answers, &error)) {
      std::fprintf(stderr, "talvo: %s\n", error.c_str());
      return 2;
    }
    const fs::path menuFile =
        menus.empty() ? executableFolder() / "resource" / "menus.json" : fs::path(menus);
    talvo_app::startHost(pluginFolder.string(), menuFile.string());
    const int code = *menuCommand ? talvo_app::runMenu() : talvo_app::runImport(import);
    host::app::endPlugins();
    return code;
  }

  // inspect runs the reader linked into the host, which needs the plug-in's resources.
  if (!host::initResource((ownFolder / "res").string())) {
    std::fprintf(stderr, "talvo: no plug-in resources in %s\n", (ownFolder / "res").c_str());
    return 2;
  }
  if (*inspectCommand) return talvo_app::runInspect(inspect);
  return 2;
}
