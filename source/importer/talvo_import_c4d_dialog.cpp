#include "talvo_import_c4d_dialog.h"

#include "host/scene.h"
#include "host/ui.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_tables.h"
#include "talvo_import_c4d_tag_talvo.h"

namespace talvo {
namespace {

constexpr const char* kTitle = "Talvo importer for Cinema4D";
// The smallest scale the import accepts, as the single-precision value of 1e-6.
constexpr double kSmallestScale = 9.999999974752427e-7;

bool isMarkerTagged(const host::BaseObject* object) {
  return object->getTag(kTagTalvo) || object->getTag(kTagTalvoOld1) || object->getTag(kTagTalvoOld2);
}

}  // namespace

cDialog::cDialog(ImportOptions& options, const SceneLoader& loader) : options_(options), loader_(loader) {
  host::setMousePointer(host::kPointerNormal);
}

bool cDialog::createLayout() {
  if (!loadDialogResource(kOptionsDialogResource)) return false;
  setTitle(kTitle);
  return true;
}

bool cDialog::initValues() {
  setBool(kGadgetNewDocument, false);
  setBool(kGadgetMerge, true);
  setBool(kGadgetUpdate, false);
  enable(kGadgetUpdate, false);
  enable(kGadgetEarlierImports, false);
  setString(kGadgetFileName, options_.sceneFilePath.file().string());
  showOptions();

  earlier_.clear();
  freeChildren(kGadgetEarlierImports);
  setString(kGadgetEarlierImports, "");
  if (host::BaseDocument* active = host::getActiveDocument()) scanEarlierImports(active->getFirstObject());
  if (!earlier_.empty()) {
    enable(kGadgetEarlierImports, options_.importMode == kImportUpdate);
    enable(kGadgetUpdate, true);
  }
  return true;
}

// Earlier imports are null objects carrying a marker tag; other nulls are searched below,
// other objects are passed over with their children.
void cDialog::scanEarlierImports(host::BaseObject* first) {
  const host::String sceneTitle = options_.sceneFilePath.title();
  for (host::BaseObject* object = first; object; object = object->getNext()) {
    if (int32_t(earlier_.size()) >= kMaxEarlierImports) return;
    if (object->getType() != host::kObjectNull) continue;
    if (!isMarkerTagged(object)) {
      scanEarlierImports(object->getDown());
      continue;
    }
    addChild(kGadgetEarlierImports, int32_t(earlier_.size()), object->getName());
    earlier_.push_back(object);
    if (object->getName() == sceneTitle && options_.importMode != kImportUpdate) {
      setString(kGadgetEarlierImports, object->getName());
      setBool(kGadgetNewDocument, false);
      setBool(kGadgetMerge, false);
      setBool(kGadgetUpdate, true);
      enable(kGadgetEarlierImports, true);
      options_.importMode = kImportUpdate;
    }
  }
}

void cDialog::showOptions() {
  for (const OptionInfo& info : optionTable()) {
    if (!findGadget(info.key)) continue;
    std::visit(
        [&](auto member) {
          const auto& value = options_.*member;
          using Field = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<Field, int32_t>) {
            setInt32(info.key, value);
          } else if constexpr (std::is_same_v<Field, double>) {
            setFloat(info.key, value);
          } else if constexpr (std::is_same_v<Field, host::String>) {
            setString(info.key, value);
          } else {
            setFilename(info.key, value);
          }
        },
        info.field);
  }
}

void cDialog::readOptions() {
  for (const OptionInfo& info : optionTable()) {
    if (!findGadget(info.key)) continue;
    std::visit(
        [&](auto member) {
          auto& value = options_.*member;
          using Field = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<Field, int32_t>) {
            getInt32(info.key, value);
            if (info.type == OptionType::boolean) value = value != 0 ? 1 : 0;
          } else if constexpr (std::is_same_v<Field, double>) {
            getFloat(info.key, value);
          } else if constexpr (std::is_same_v<Field, host::String>) {
            getString(info.key, value);
          } else {
            getFilename(info.key, value);
          }
        },
        info.field);
  }
  // The scale derived from a unit length.
  if (options_.useUnits) {
    const bool known = options_.unitIndex >= 0 && options_.unitIndex < kUnitCount;
    const double metres = known ? options_.unitLength * unitFactor(options_.unitIndex) : 1.0;
    options_.unitScale = 1.0 / (metres * loader_.header.fileUnit);
  }
}

void cDialog::confirm() {
  bool on = false;
  options_.importMode = kImportMerge;
  if (getBool(kGadgetNewDocument, on) && on) options_.importMode = kImportNewDocument;
  if (getBool(kGadgetUpdate, on) && on) options_.importMode = kImportUpdate;
  if (options_.importMode == kImportUpdate) {
    host::String chosen;
    getString(kGadgetEarlierImports, chosen);
    host::BaseObject* target = nullptr;
    for (host::BaseObject* object : earlier_)
      if (object->getName() == chosen) target = object;
    if (target) {
      options_.updateTarget = target;
    } else {
      options_.importMode = kImportMerge;  // nothing to update chosen
    }
  }
  readOptions();
  if (options_.useUnits) options_.scale = options_.unitScale;
  if (options_.scale < 0.000001) options_.scale = kSmallestScale;
  if (options_.uvwScale < 0.000001) options_.uvwScale = kSmallestScale;
  options_.effectiveScale = options_.scale * loader_.header.fileUnit;
  close(true);
}

bool cDialog::command(int32_t id, const host::Container& message) {
  // The three insertion choices are one radio group.
  if (id == kGadgetNewDocument || id == kGadgetMerge || id == kGadgetUpdate) {
    bool on = false;
    if (getBool(id, on) && on) {
      for (int32_t other : {kGadgetNewDocument, kGadgetMerge, kGadgetUpdate})
        if (other != id) setBool(other, false);
    }
  }
  bool update = false;
  getBool(kGadgetUpdate, update);
  enable(kGadgetEarlierImports, update);

  switch (id) {
    case host::kDialogOk:
    case kGadgetConfirm:
      confirm();
      return true;
    case host::kDialogCancel:
    case kGadgetCancel:
      close(false);
      return true;
    case 12112: {
      host::String separator;
      if (getString(12112, separator) && separator.empty()) setString(12112, "::");
      return true;
    }
    default:
      return true;
  }
}

// ---------------------------------------------------------------------------------------

cDlgInstance::cDlgInstance(IndexTables& tables) : tables_(tables) {}

bool cDlgInstance::createLayout() { return loadDialogResource(kInstanceDialogResource); }

// Applies the user's choice to the library groups and counts the chosen ones. Groups the
// choice does not name keep their flags (the preselection of an update).
void cDlgInstance::applyChoice() {
  host::String choice;
  getString(kGadgetInstanceChoice, choice);
  auto apply = [](LibraryGroup& g, const host::String& as) {
    if (as == "objects") {
      g.asObjects = true, g.asInstances = false, g.sourcesLocked = false;
    } else if (as == "instances" || as == "instances+locked") {
      g.asObjects = false, g.asInstances = true, g.sourcesLocked = as == "instances+locked";
    } else if (as == "none") {
      g.asObjects = g.asInstances = g.sourcesLocked = false;
    }
  };
  if (!choice.empty() && choice.find('=') == host::String::npos) {
    for (LibraryGroup& g : tables_.libraryGroups) apply(g, choice);
  } else if (!choice.empty()) {
    for (const host::String& part : host::splitString(choice, ',')) {
      const size_t eq = part.rfind('=');
      if (eq == host::String::npos) continue;
      const host::String name = part.substr(0, eq);
      for (LibraryGroup& g : tables_.libraryGroups)
        if (g.name == name) apply(g, part.substr(eq + 1));
    }
  }
  int32_t chosen = 0;
  for (const LibraryGroup& g : tables_.libraryGroups) chosen += (g.asObjects || g.asInstances) ? 1 : 0;
  tables_.chosenGroupCount = chosen;
}

bool cDlgInstance::command(int32_t id, const host::Container& message) {
  if (id == host::kDialogOk || id == kGadgetConfirm) {
    applyChoice();
    close(true);
  } else if (id == host::kDialogCancel || id == kGadgetCancel) {
    close(false);
  }
  return true;
}

}  // namespace talvo
