#include "host/dialog.h"

#include <algorithm>
#include <fstream>

#include "host/app.h"
#include "state.h"
#include "value_json.h"

namespace host {
namespace {

struct DialogHost {
  DialogUser user;
  std::function<bool(Filename&, const String&)> fileSelection;
};

DialogHost& dialogHost() {
  static DialogHost h;
  return h;
}

bool kindFromText(const std::string& text, GadgetKind& out) {
  static const std::pair<const char*, GadgetKind> kKinds[] = {
      {"group", GadgetKind::group},     {"static", GadgetKind::staticText}, {"check", GadgetKind::check},
      {"radio", GadgetKind::radio},     {"number", GadgetKind::number},     {"integer", GadgetKind::integer},
      {"text", GadgetKind::text},       {"filename", GadgetKind::filename}, {"popup", GadgetKind::popup},
      {"button", GadgetKind::button},   {"userarea", GadgetKind::userArea}, {"list", GadgetKind::list}};
  for (const auto& [name, kind] : kKinds) {
    if (text == name) {
      out = kind;
      return true;
    }
  }
  return false;
}

}  // namespace

bool GeDialog::loadDialogResource(int32_t id) {
  const Filename path = pluginFolder() + Filename("res") + Filename("dialogs") + Filename(int32ToString(id) + ".json");
  std::ifstream in(path.string());
  if (!in) return false;
  const Json json = Json::parse(in, nullptr, false);
  if (!json.is_object() || !json.contains("gadgets") || !json["gadgets"].is_array()) return false;
  for (const Json& g : json["gadgets"]) {
    GadgetKind kind;
    if (!g.is_object() || !g.contains("id") || !g["id"].is_number_integer() || !g.contains("kind") ||
        !g["kind"].is_string() || !kindFromText(g["kind"].get<std::string>(), kind))
      return false;
    addGadget(g["id"].get<int32_t>(), kind, g.value("caption", std::string()));
  }
  if (json.contains("title") && json["title"].is_string()) title_ = json["title"].get<std::string>();
  if (auto* modal = dynamic_cast<GeModalDialog*>(this)) modal->resourceId_ = id;
  return true;
}

bool GeDialog::addGadget(int32_t id, GadgetKind kind, const String& caption) {
  if (gadgets_.count(id)) return false;
  Gadget g;
  g.id = id;
  g.kind = kind;
  g.caption = caption;
  gadgets_.emplace(id, std::move(g));
  order_.push_back(id);
  return true;
}

const Gadget* GeDialog::findGadget(int32_t id) const {
  const auto it = gadgets_.find(id);
  return it == gadgets_.end() ? nullptr : &it->second;
}

Gadget* GeDialog::gadget(int32_t id) {
  const auto it = gadgets_.find(id);
  return it == gadgets_.end() ? nullptr : &it->second;
}

bool GeDialog::setBool(int32_t id, bool value) { return setInt32(id, value ? 1 : 0); }

bool GeDialog::getBool(int32_t id, bool& out) const {
  int32_t v = 0;
  if (!getInt32(id, v)) return false;
  out = v != 0;
  return true;
}

bool GeDialog::setInt32(int32_t id, int32_t value) {
  Gadget* g = gadget(id);
  if (!g) return false;
  g->value = HostValue::integer(value);
  return true;
}

bool GeDialog::getInt32(int32_t id, int32_t& out) const {
  const Gadget* g = findGadget(id);
  if (!g) return false;
  out = g->value.type() == kValueReal ? int32_t(g->value.getReal()) : g->value.getInt32();
  return true;
}

bool GeDialog::setFloat(int32_t id, double value, double minimum, double maximum, double step) {
  Gadget* g = gadget(id);
  if (!g) return false;
  if (minimum != 0.0 || maximum != 0.0) {
    g->minimum = minimum, g->maximum = maximum, g->step = step;
  }
  if (g->minimum != 0.0 || g->maximum != 0.0) value = std::clamp(value, g->minimum, g->maximum);
  g->value = HostValue::real(value);
  return true;
}

bool GeDialog::getFloat(int32_t id, double& out) const {
  const Gadget* g = findGadget(id);
  if (!g) return false;
  out = g->value.type() == kValueInteger ? double(g->value.getInt32()) : g->value.getReal();
  return true;
}

bool GeDialog::setString(int32_t id, const String& value) {
  Gadget* g = gadget(id);
  if (!g) return false;
  g->value = HostValue::string(value);
  return true;
}

bool GeDialog::getString(int32_t id, String& out) const {
  const Gadget* g = findGadget(id);
  if (!g) return false;
  out = g->value.type() == kValueFilename ? g->value.getFilename().string() : g->value.getString();
  return true;
}

bool GeDialog::setFilename(int32_t id, const Filename& value) {
  Gadget* g = gadget(id);
  if (!g) return false;
  g->value = HostValue::filename(value);
  return true;
}

bool GeDialog::getFilename(int32_t id, Filename& out) const {
  const Gadget* g = findGadget(id);
  if (!g) return false;
  out = g->value.type() == kValueString ? Filename(g->value.getString()) : g->value.getFilename();
  return true;
}

bool GeDialog::freeChildren(int32_t id) {
  Gadget* g = gadget(id);
  if (!g) return false;
  g->children.clear();
  return true;
}

bool GeDialog::addChild(int32_t id, int32_t childId, const String& text) {
  Gadget* g = gadget(id);
  if (!g) return false;
  g->children.emplace_back(childId, text);
  return true;
}

void GeDialog::enable(int32_t id, bool enabled) {
  if (Gadget* g = gadget(id)) g->enabled = enabled;
}

bool GeDialog::isEnabled(int32_t id) const {
  const Gadget* g = findGadget(id);
  return g && g->enabled;
}

bool GeModalDialog::open() {
  open_ = true;
  result_ = false;
  if (!createLayout()) {
    open_ = false;
    return false;
  }
  initValues();
  if (dialogHost().user) dialogHost().user(*this);
  // A user who walks away cancels.
  if (open_) close(false);
  open_ = false;
  return result_;
}

bool GeModalDialog::close(bool result) {
  if (!open_) return false;
  if (askClose()) return false;
  result_ = result;
  open_ = false;
  return true;
}

bool GeModalDialog::command(int32_t id, const Container& message) {
  if (id == kDialogOk) return close(true);
  if (id == kDialogCancel) return close(false);
  return true;
}

bool userSet(GeModalDialog& dialog, int32_t id, const HostValue& value) {
  const Gadget* g = dialog.findGadget(id);
  if (!g || !g->enabled || !dialog.isOpen()) return false;
  switch (value.type()) {
    case kValueInteger:
      if (g->kind == GadgetKind::number) {
        dialog.setFloat(id, double(value.getInt32()));
      } else {
        dialog.setInt32(id, value.getInt32());
      }
      break;
    case kValueReal:
      if (g->kind == GadgetKind::number) {
        dialog.setFloat(id, value.getReal());
      } else {
        dialog.setInt32(id, int32_t(value.getReal()));
      }
      break;
    case kValueString: dialog.setString(id, value.getString()); break;
    case kValueFilename: dialog.setFilename(id, value.getFilename()); break;
    default: return false;
  }
  Container message;
  message.setValue(0, value);
  dialog.command(id, message);
  return true;
}

bool userPress(GeModalDialog& dialog, int32_t id) {
  const Gadget* g = dialog.findGadget(id);
  const bool standard = id == kDialogOk || id == kDialogCancel;
  if (!dialog.isOpen() || (!standard && (!g || !g->enabled))) return false;
  dialog.command(id, Container());
  return true;
}

bool fileSelectLoad(Filename& outName, const String& title) {
  return dialogHost().fileSelection && dialogHost().fileSelection(outName, title);
}

namespace app {

void setDialogUser(DialogUser user) { dialogHost().user = std::move(user); }

void setFileSelection(std::function<bool(Filename&, const String&)> answer) {
  dialogHost().fileSelection = std::move(answer);
}

}  // namespace app
}  // namespace host
