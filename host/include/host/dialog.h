// Dialogs: modal dialogs laid out from the plug-in's dialog resources, with gadgets by id
// holding values and enabled states, and the command callback through which the user's
// actions arrive. The host's user works a dialog the way a person would: it sets a gadget
// and delivers that gadget's command, then presses confirm or cancel.
//
// Dialog resources are "res/dialogs/<id>.json" in the plug-in's resource folder:
//   {"title": "...", "gadgets": [{"id": 12405, "kind": "number", "caption": "Scale"}, ...]}
// with kinds group, static, check, radio, number, integer, text, filename, popup, button,
// userarea, list.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "host/filename.h"
#include "host/text.h"
#include "host/values.h"

namespace host {

// Standard command ids of dialog buttons.
constexpr int32_t kDialogOk = 1;
constexpr int32_t kDialogCancel = 2;

enum class GadgetKind { group, staticText, check, radio, number, integer, text, filename, popup, button, userArea, list };

struct Gadget {
  int32_t id = 0;
  GadgetKind kind = GadgetKind::staticText;
  String caption;
  HostValue value;
  bool enabled = true;
  double minimum = 0.0, maximum = 0.0, step = 0.0;  // numbers; 0 and 0: no limits
  std::vector<std::pair<int32_t, String>> children;  // popup entries: child id, text
};

class GeDialog {
 public:
  virtual ~GeDialog() = default;

  // Called by the host when the dialog opens: build the layout, then show the values.
  virtual bool createLayout() { return true; }
  virtual bool initValues() { return true; }
  // A gadget's command (its value changed or it was pressed).
  virtual bool command(int32_t id, const Container& message) { return true; }
  // True keeps the dialog open when it is asked to close.
  virtual bool askClose() { return false; }

  // Loads a dialog resource of the running plug-in; false when it is missing or damaged.
  bool loadDialogResource(int32_t id);
  void setTitle(const String& title) { title_ = title; }
  const String& getTitle() const { return title_; }
  // Adds a gadget in code; false when the id is taken.
  bool addGadget(int32_t id, GadgetKind kind, const String& caption = {});
  const Gadget* findGadget(int32_t id) const;
  const std::vector<int32_t>& gadgetOrder() const { return order_; }

  // Values. A set fails for a gadget that does not exist; a get gives false then.
  // Numbers are kept within their limits.
  bool setBool(int32_t id, bool value);
  bool getBool(int32_t id, bool& out) const;
  bool setInt32(int32_t id, int32_t value);
  bool getInt32(int32_t id, int32_t& out) const;
  bool setFloat(int32_t id, double value, double minimum = 0.0, double maximum = 0.0, double step = 0.0);
  bool getFloat(int32_t id, double& out) const;
  bool setString(int32_t id, const String& value);
  bool getString(int32_t id, String& out) const;
  bool setFilename(int32_t id, const Filename& value);
  bool getFilename(int32_t id, Filename& out) const;
  // Popup entries.
  bool freeChildren(int32_t id);
  bool addChild(int32_t id, int32_t childId, const String& text);

  void enable(int32_t id, bool enabled);
  bool isEnabled(int32_t id) const;

 protected:
  Gadget* gadget(int32_t id);

 private:
  String title_;
  std::map<int32_t, Gadget> gadgets_;
  std::vector<int32_t> order_;
};

class GeModalDialog : public GeDialog {
 public:
  // Opens the dialog and returns when it is closed: true when it closed confirmed. False
  // at once when the layout cannot be built.
  bool open();
  // Closes with a result unless askClose keeps the dialog open.
  bool close(bool result);
  bool getResult() const { return result_; }
  bool isOpen() const { return open_; }
  // Resource id of the last dialog resource loaded (0 for none), so that the host's user
  // knows which dialog it works.
  int32_t resourceId() const { return resourceId_; }

  // The buttons confirm and cancel close the dialog unless a subclass handles them.
  bool command(int32_t id, const Container& message) override;

 private:
  friend class GeDialog;
  bool open_ = false;
  bool result_ = false;
  int32_t resourceId_ = 0;
};

// What a user does in an open dialog: the host calls it once per opening. A user that
// returns without closing the dialog cancels it.
using DialogUser = std::function<void(GeModalDialog& dialog)>;

// The user's actions, applied through the dialog's own command handling: the value goes
// into the gadget (if the gadget is enabled), then the gadget's command is delivered.
// False when the gadget does not exist or is disabled.
bool userSet(GeModalDialog& dialog, int32_t id, const HostValue& value);
bool userPress(GeModalDialog& dialog, int32_t id);

// The host's file selection for loading a file; false when the user cancels.
bool fileSelectLoad(Filename& outName, const String& title);

}  // namespace host
