#include "talvo_import_c4d_controller.h"

#include <cmath>
#include <vector>

#include "host/dialog.h"
#include "host/file.h"
#include "host/memory.h"
#include "host/resource.h"
#include "host/scene.h"
#include "host/timer.h"
#include "host/ui.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_dialog.h"
#include "talvo_import_c4d_hierarchy.h"
#include "talvo_import_c4d_lights.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_materials.h"
#include "talvo_import_c4d_optimize.h"
#include "talvo_import_c4d_options.h"
#include "talvo_import_c4d_status.h"
#include "talvo_import_c4d_tables.h"
#include "talvo_import_c4d_tag_talvo.h"

namespace talvo {
namespace {

constexpr int32_t kFileSelectionTitle = 16002;
constexpr int32_t kStatusClearing = 10909;
constexpr int32_t kStatusObjects = 10903;
constexpr int32_t kStatusCleaning = 10902;
constexpr int32_t kStatusSorting = 10910;
constexpr int32_t kStatusRefreshing = 10908;
// The origin counts as moved beyond the single-precision value of 1e-6.
constexpr double kOriginTolerance = 9.999999974752427e-7;

}  // namespace

// Every object of one run, created in this order and destroyed in the reverse order of
// the builders that use the earlier ones.
struct ImportController::Run {
  ImportOptions options;
  host::BaseFile file;
  SceneLoader loader{options, file};
  MaterialBuilder materials{loader, options};
  IndexTables tables{loader, options};
  LightBuilder lights{loader, options, materials};
  HierarchyBuilder hierarchy{loader, options, materials, tables, lights};

  int32_t loadTime = 0, prepareTime = 0, matrixTime = 0, polygonsTime = 0, objectsTime = 0, lightsTime = 0,
          camerasTime = 0, cleanTime = 0, optimizeTime = 0, sortTime = 0, refreshTime = 0, totalTime = 0;
  bool undoOpen = false;

  // Phases whose builders come with their own modules; until then they build nothing.
  // The texture folder settled here is also where the lights' embedded files go.
  int32_t prepareMaterials() {
    const int32_t rc = materials.prepareMaterials();
    lights.prepareMapper();
    return rc;
  }
  int32_t clearForUpdate() { return 0; }  // the number of objects removed
  int32_t buildObjects() { return hierarchy.buildObjects(); }
  int32_t buildInstances() { return hierarchy.buildInstances(); }
  int32_t buildCameras() { return kStatusOk; }
  int32_t buildLights() { return kStatusOk; }
  void cleanHierarchy() {}
  int32_t optimizeTree() { return talvo::optimizeTree(options.updateTarget, keptPolygonObjects(), options); }
  int32_t sortTree() { return kStatusOk; }
  void removeNewNullTags() {}
  void runUpdateCheck() {}

  // The polygon objects below the import root; the cleaner will count them as it keeps them.
  int32_t keptPolygonObjects() const {
    int32_t n = 0;
    std::vector<const host::BaseObject*> stack;
    if (options.updateTarget) stack.push_back(options.updateTarget);
    while (!stack.empty()) {
      const host::BaseObject* o = stack.back();
      stack.pop_back();
      n += o->getType() == host::kObjectPolygon ? 1 : 0;
      for (const host::BaseObject* c = o->getDown(); c; c = c->getNext()) stack.push_back(c);
    }
    return n;
  }

  int32_t run(host::BaseDocument* document, bool fromFileMenu, host::Filename fileName);
  int32_t prepareRoot();
  void printTimingReport() const;
};

ImportController::ImportController() : run_(host::newObject<Run>()) {}

ImportController::~ImportController() {
  if (run_ && run_->undoOpen && run_->options.targetDocument) run_->options.targetDocument->endUndo();
  host::deleteObject(run_);
  host::setMousePointer(host::kPointerNormal);
  statusClear();
}

int32_t ImportController::runImport(host::BaseDocument* document, bool fromFileMenu, const host::Filename& fileName) {
  // A run whose members could not be had cannot start.
  if (!run_) return kStatusOutOfMemory;
  return run_->run(document, fromFileMenu, fileName);
}

int32_t ImportController::Run::run(host::BaseDocument* document, bool fromFileMenu, host::Filename fileName) {
  const host::String title = host::loadString(kFileSelectionTitle);
  if (title.empty()) return kStatusResourceMissing;
  if (!fromFileMenu && !host::fileSelectLoad(fileName, title)) return kStatusCancelled;

  if (!file.open(fileName, host::FileMode::read, host::FileDialog::none, host::ByteOrder::littleEndian))
    return file.getError();
  uint8_t firstBytes[64] = {};
  const int64_t got = file.readBytes(firstBytes, sizeof firstBytes, true);
  if (!SceneLoader::isSceneFile(fileName, firstBytes, size_t(got))) return kStatusNotSceneFile;
  options.sceneFilePath = fileName;
  if (const int32_t rc = loader.checkFile(); rc != kStatusOk) return rc;

  {
    cDialog* dialog = host::newObject<cDialog>(options, loader);
    if (!dialog) return kStatusImportDialog;
    const bool confirmed = dialog->open();
    host::deleteObject(dialog);
    // A dialog that cannot be laid out counts as cancelled.
    if (!confirmed) return kStatusCancelled;
  }

  // Read.
  const int32_t t0 = host::timerMilliseconds();
  host::setMousePointer(host::kPointerBusy);
  if (const int32_t rc = loader.readAll(); rc != kStatusOk) return rc;
  if (loader.polygonsStored() != loader.uvwStored()) return kStatusUvwMismatch;
  file.close();
  loadTime = host::timerMilliseconds() - t0;

  // Target document.
  if (options.importMode != kImportNewDocument) {
    options.targetDocument = document;
  } else {
    host::BaseDocument* fresh = host::BaseDocument::alloc();
    if (!fresh) return kStatusNewDocument;
    fresh->setDocumentName(options.sceneFilePath.file().string());
    host::insertBaseDocument(fresh);
    host::setActiveDocument(fresh);
    options.targetDocument = fresh;
    fresh->update();
  }
  if (!options.targetDocument) return kStatusNewDocument;

  printLine("%s", kBlockLine);
  if (options.undo) undoOpen = options.targetDocument->startUndo();
  if (const int32_t rc = prepareRoot(); rc != kStatusOk) return rc;

  // Instances.
  if (options.createInstances) {
    if (const int32_t rc = tables.findLibraryGroups(); rc != kStatusOk) return rc;
    if (tables.groupCount() != 0) {
      cDlgInstance* dialog = host::newObject<cDlgInstance>(tables);
      if (!dialog) return kStatusInstanceDialog;
      const bool confirmed = dialog->open();
      host::deleteObject(dialog);
      if (!confirmed || tables.chosenGroupCount == 0) {
        options.createInstances = 0;
      } else if (tables.buildInstanceTables() != kStatusOk) {
        return kStatusInstanceTables;
      }
    }
  }

  const int32_t t1 = host::timerMilliseconds();
  host::setMousePointer(host::kPointerBusy);

  // Option adjustments.
  if (loader.header.version < 20500) options.splitByElement = 0;
  if (loader.uvwStored() == 0) options.createUVW = 0;
  if (loader.count(Section::normal) == 0) options.useFileNormals = 0;
  options.noMaterialsFlag = 0;
  if (!options.createMaterials) {
    options.assignMaterials = 0;
    options.noMaterialsFlag = 1;
  }
  if (!options.splitByMaterial) {
    options.materialSplitMode = 1;
  } else if (options.materialSplitMode == 0) {
    options.removeEmptyObjects = 1;
  }

  if (const int32_t rc = prepareMaterials(); rc != kStatusOk) return rc;
  options.reservedFlag12106 = 0;
  options.useFileNormals = 0;

  if (options.nameSeparator.empty()) options.nameSeparator = "::";
  const char* space = options.separatorSpaces ? " " : "";
  options.separatorText = space + options.nameSeparator + space;

  // Index tables.
  const int32_t t2 = host::timerMilliseconds();
  if (const int32_t rc = tables.buildElementPolygons(); rc != kStatusOk) return rc;
  if (options.splitByMaterial) {
    if (const int32_t rc = tables.buildShaderPolygons(); rc != kStatusOk) return rc;
    if (options.splitByStory) {
      if (const int32_t rc = tables.buildStoryShaderTable(); rc != kStatusOk) return rc;
    }
    if (options.splitByClass) {
      if (const int32_t rc = tables.buildClassShaderTable(); rc != kStatusOk) return rc;
    }
  }
  matrixTime = host::timerMilliseconds() - t2;

  if (options.importMode == kImportUpdate) {
    statusText(kStatusClearing);
    printLine("%d Object Deleted", clearForUpdate());
    printLine("%s", kBlockLine);
    statusClear();
  }
  prepareTime = host::timerMilliseconds() - t2;

  // Objects.
  const int32_t t3 = host::timerMilliseconds();
  options.instancePass = 0;
  options.shaderSplitDone = options.splitByMaterial;
  statusText(kStatusObjects);
  const int32_t objectsRc = buildObjects();
  statusClear();
  if (objectsRc != kStatusOk) return objectsRc;
  polygonsTime = host::timerMilliseconds() - t3;

  // Instances.
  const int32_t t4 = host::timerMilliseconds();
  if (options.createInstances) {
    options.instancePass = 1;
    options.shaderSplitDone = 0;
    options.materialSplitMode = 1;
    if (const int32_t rc = buildInstances(); rc != kStatusOk) return rc;
  }
  objectsTime = host::timerMilliseconds() - t4;

  // Cameras are built before lights; the report lists lights first.
  const int32_t t5 = host::timerMilliseconds();
  options.instancePass = 0;
  if (const int32_t rc = buildCameras(); rc != kStatusOk) return rc;
  camerasTime = host::timerMilliseconds() - t5;

  const int32_t t6 = host::timerMilliseconds();
  if (const int32_t rc = buildLights(); rc != kStatusOk) return rc;
  lightsTime = host::timerMilliseconds() - t6;

  // Cleaning.
  const int32_t t7 = host::timerMilliseconds();
  statusText(kStatusCleaning);
  cleanHierarchy();
  statusClear();
  cleanTime = host::timerMilliseconds() - t7;

  // Optimizing.
  const int32_t t8 = host::timerMilliseconds();
  if (options.optimize || options.untriangulate) {
    if (const int32_t rc = optimizeTree(); rc != kStatusOk) return rc;
  }
  optimizeTime = host::timerMilliseconds() - t8;

  // Sorting.
  const int32_t t9 = host::timerMilliseconds();
  statusText(kStatusSorting);
  if (options.sortObjects) {
    printLine("%s", kBlockLine);
    printLine("Sorting....");
    printLine("%s", kBlockLine);
    if (const int32_t rc = sortTree(); rc != kStatusOk) return rc;
  }
  removeNewNullTags();
  statusClear();
  sortTime = host::timerMilliseconds() - t9;

  // Refresh.
  const int32_t t10 = host::timerMilliseconds();
  statusText(kStatusRefreshing);
  host::BaseDocument* target = options.targetDocument;
  target->message(host::kMessageDocumentUpdate);
  host::eventAdd();
  if (options.importMode != kImportUpdate) {
    target->update();
    // A view without a camera of its own is framed on the new scene.
    host::BaseDraw* view = target->getActiveBaseDraw();
    if (view && !view->getSceneCamera(target)) {
      view->viewCall(host::kViewCallNewExtent);
      host::callCommand(host::kCommandFrameScene);
      view->message(host::kMessageDocumentUpdate);
    }
  }
  statusClear();
  refreshTime = host::timerMilliseconds() - t10;

  // A document named after the scene file loses the extension.
  if (options.importMode != kImportUpdate) {
    host::Filename name(target->getDocumentName());
    if (name.checkSuffix("TALVO") || target->getDocumentPath().empty()) {
      name.clearSuffix();
      target->setDocumentName(name.string());
    }
  }

  if (undoOpen) {
    target->endUndo();
    undoOpen = false;
  }
  totalTime = loadTime + (host::timerMilliseconds() - t1);
  printTimingReport();
  return kStatusOk;
}

// The import root: a new null with a marker tag, or in an update the root of the earlier
// import; then the origin bookkeeping and the options written into the marker tag.
int32_t ImportController::Run::prepareRoot() {
  host::BaseDocument* doc = options.targetDocument;
  const host::Filename baseName = [&] {
    host::Filename n = options.sceneFilePath;
    n.clearSuffix();
    return n;
  }();
  host::BaseObject* root = nullptr;
  host::BaseTag* marker = nullptr;
  if (options.importMode != kImportUpdate) {
    if (!doc->getFirstObject()) doc->setDocumentName(options.sceneFilePath.file().string());
    root = host::BaseObject::alloc(host::kObjectNull);
    if (!root) return kStatusRootNull;
    root->setName(baseName.file().string());
    marker = root->makeTag(kTagTalvo);
    if (!marker) {
      host::BaseObject::free(root);
      return kStatusMarkerTag;
    }
    doc->insertObject(root, nullptr, nullptr, true);
    if (options.undo) doc->addUndo(host::kUndoNew, root);
    options.updateTarget = root;
  } else {
    root = options.updateTarget;
    if (!root) return kStatusRootNull;
    for (int32_t oldType : {kTagTalvoOld1, kTagTalvoOld2}) {
      if (host::BaseTag* old = root->getTag(oldType)) {
        if (options.undo) doc->addUndo(host::kUndoDelete, old);
        host::BaseTag::free(old);
      }
    }
    marker = root->getTag(kTagTalvo);
    if (marker) {
      const host::Container& data = marker->getData();
      options.originNew[0] = data.getReal(kTagKeyCenterX, 0.0);
      options.originNew[1] = data.getReal(kTagKeyCenterY, 0.0);
      options.originNew[2] = data.getReal(kTagKeyCenterZ, 0.0);
      options.previousCenterAtOrigin = data.getInt32(30704, 0);
    } else {
      marker = root->makeTag(kTagTalvo);
      if (!marker) return kStatusMarkerTag;
      if (options.undo) doc->addUndo(host::kUndoNew, marker);
    }
  }

  // Origin bookkeeping.
  for (int i = 0; i < 3; ++i) {
    options.originOld[i] = options.originNew[i];
    options.originOffset[i] = loader.center[i] - options.originOld[i];
    options.originNew[i] = loader.center[i];
  }
  if (options.previousCenterAtOrigin || options.centerAtOrigin) {
    const double length = std::sqrt(options.originOffset[0] * options.originOffset[0] +
                                     options.originOffset[1] * options.originOffset[1] +
                                     options.originOffset[2] * options.originOffset[2]);
    options.needsShift = length > kOriginTolerance ? 1 : 0;
  } else {
    options.originNew[0] = options.originNew[1] = options.originNew[2] = 0.0;
  }

  // A change is recorded before it is made, so that undo gives back the earlier settings.
  if (options.undo) {
    doc->addUndo(host::kUndoChange, root);
    doc->addUndo(host::kUndoChange, marker);
  }
  writeOptionsToTag(marker, options, loader);
  return kStatusOk;
}

void ImportController::Run::printTimingReport() const {
  const std::pair<const char*, int32_t> lines[] = {
      {"File Load Time:         ", loadTime},     {"Prepare File Time:      ", prepareTime},
      {"Matrix Create Time:     ", matrixTime},   {"Polygons Create Time:   ", polygonsTime},
      {"Objects Create Time:    ", objectsTime},  {"Lights Create Time:     ", lightsTime},
      {"Cameras Create Time:    ", camerasTime},  {"Hierarchy Clean Time:   ", cleanTime},
      {"Optimizing Time:        ", optimizeTime}, {"Sort Time:              ", sortTime},
      {"Refresh Time:           ", refreshTime},  {"Total Run Time:         ", totalTime},
  };
  printLine("%s", kBlockLine);
  for (const auto& [label, milliseconds] : lines)
    printLine("%s%s seconds", label, host::realToString(elapsedSeconds(milliseconds)).c_str());
  printLine("%s", kBlockLine);
}

const ImportOptions& ImportController::options() const { return run_->options; }

void ImportController::reportStatus(int32_t status) {
  showWarning(host::loadString(statusMessageId(status)));
  if (status == kStatusVersionUnknown && run_) run_->runUpdateCheck();
}

}  // namespace talvo
