// The import options dialog and the instance dialog the controller opens.
//
// The options dialog shows the run's options in one gadget per option key (the key is the
// gadget id), offers the three insertion choices and lists the earlier imports of the
// active document for an update; on confirmation it reads the gadgets back into the
// options and derives the scale values.
#pragma once

#include <cstdint>
#include <vector>

#include "host/dialog.h"
#include "talvo_import_c4d_options.h"

namespace host {
class BaseObject;
}

namespace talvo {

class SceneLoader;
class IndexTables;

constexpr int32_t kOptionsDialogResource = 11000;
constexpr int32_t kInstanceDialogResource = 20000;

// Gadgets of the options dialog.
constexpr int32_t kGadgetConfirm = 11100;
constexpr int32_t kGadgetCancel = 11101;
constexpr int32_t kGadgetFileName = 11205;
constexpr int32_t kGadgetInsertion = 11303;
constexpr int32_t kGadgetNewDocument = 11304;
constexpr int32_t kGadgetMerge = 11305;
constexpr int32_t kGadgetUpdate = 11306;
constexpr int32_t kGadgetEarlierImports = 11307;  // value: the name of the chosen entry

// At most this many earlier imports are listed.
constexpr int32_t kMaxEarlierImports = 500;

class cDialog : public host::GeModalDialog {
 public:
  cDialog(ImportOptions& options, const SceneLoader& loader);

  bool createLayout() override;
  bool initValues() override;
  bool command(int32_t id, const host::Container& message) override;

  // The root objects of earlier imports found in the active document, in walk order.
  const std::vector<host::BaseObject*>& earlierImports() const { return earlier_; }

 private:
  void scanEarlierImports(host::BaseObject* first);
  void showOptions();
  void readOptions();
  void confirm();

  ImportOptions& options_;
  const SceneLoader& loader_;
  std::vector<host::BaseObject*> earlier_;
};

// The raw choice of the instance dialog's user, until the dialog has its tree view:
// "objects", "instances", "instances+locked" or "none" for every group, or
// "NAME=CHOICE,NAME2=CHOICE" per group.
constexpr int32_t kGadgetInstanceChoice = 20001;

class cDlgInstance : public host::GeModalDialog {
 public:
  explicit cDlgInstance(IndexTables& tables);

  bool createLayout() override;
  bool command(int32_t id, const host::Container& message) override;

 private:
  void applyChoice();
  IndexTables& tables_;
};

}  // namespace talvo
