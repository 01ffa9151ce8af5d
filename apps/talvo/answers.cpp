#include "answers.h"

#include <cstdio>

#include "talvo_import_c4d_options.h"

namespace talvo_app {
namespace {

constexpr int32_t kOptionsDialog = 11000;
constexpr int32_t kInstanceDialog = 20000;
constexpr int32_t kModeGadgets[] = {11304, 11305, 11306};  // new, merge, update
constexpr const char* kModeNames[] = {"new", "merge", "update"};
constexpr int32_t kEarlierImports = 11307;
constexpr int32_t kInstanceChoice = 20001;

struct Setting {
  int32_t gadget = 0;
  const talvo::OptionInfo* option = nullptr;  // nullptr: a gadget id that is no option
  std::string value;
};

bool parseBool(const std::string& text, int32_t& out) {
  if (text == "1" || text == "true" || text == "on") return out = 1, true;
  if (text == "0" || text == "false" || text == "off") return out = 0, true;
  return false;
}

// The value as an option of that type takes it; false when it is none.
bool optionValue(talvo::OptionType type, const std::string& text, host::HostValue& out) {
  bool error = false;
  switch (type) {
    case talvo::OptionType::boolean: {
      int32_t v = 0;
      if (!parseBool(text, v)) return false;
      out = host::HostValue::integer(v);
      return true;
    }
    case talvo::OptionType::integer: {
      const int32_t v = host::toInt32(text, &error);
      out = host::HostValue::integer(v);
      return !error;
    }
    case talvo::OptionType::real: {
      const double v = host::toReal(text, &error);
      out = host::HostValue::real(v);
      return !error;
    }
    case talvo::OptionType::string:
      out = host::HostValue::string(text);
      return true;
    case talvo::OptionType::filename:
      out = host::HostValue::filename(host::Filename(text));
      return true;
  }
  return false;
}

// The value as a gadget of that kind takes it.
bool gadgetValue(host::GadgetKind kind, const std::string& text, host::HostValue& out) {
  switch (kind) {
    case host::GadgetKind::check:
    case host::GadgetKind::radio:
      return optionValue(talvo::OptionType::boolean, text, out);
    case host::GadgetKind::integer:
    case host::GadgetKind::popup:
      return optionValue(talvo::OptionType::integer, text, out);
    case host::GadgetKind::number:
      return optionValue(talvo::OptionType::real, text, out);
    case host::GadgetKind::filename:
      return optionValue(talvo::OptionType::filename, text, out);
    default:
      return optionValue(talvo::OptionType::string, text, out);
  }
}

bool parseSetting(const std::string& text, Setting& out, std::string* outError) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) {
    if (outError) *outError = "--set " + text + ": expected NAME=VALUE";
    return false;
  }
  const std::string name = text.substr(0, eq);
  out.value = text.substr(eq + 1);
  if ((out.option = talvo::findOption(name))) {
    out.gadget = out.option->key;
  } else {
    bool error = false;
    out.gadget = host::toInt32(name, &error);
    if (error) {
      if (outError) *outError = "--set " + text + ": no option is named " + name;
      return false;
    }
    for (const talvo::OptionInfo& info : talvo::optionTable())
      if (info.key == out.gadget) out.option = &info;
  }
  host::HostValue value;
  if (out.option && !optionValue(out.option->type, out.value, value)) {
    if (outError) *outError = "--set " + text + ": " + out.value + " is no value of " + out.option->name;
    return false;
  }
  return true;
}

void reportMissing(int32_t dialog, int32_t gadget, const char* answer) {
  std::fprintf(stderr, "talvo: dialog %d: gadget %d is missing or disabled, %s not given\n", dialog, gadget,
               answer);
}

void set(host::GeModalDialog& dialog, int32_t gadget, const host::HostValue& value, const char* answer) {
  if (!host::userSet(dialog, gadget, value)) reportMissing(dialog.resourceId(), gadget, answer);
}

void answerOptions(host::GeModalDialog& dialog, const DialogAnswers& answers,
                   const std::vector<Setting>& settings) {
  for (size_t i = 0; i < 3; ++i) {
    if (answers.mode != kModeNames[i]) continue;
    // The other choices that are on go off first, so the last command the dialog sees is
    // the choice.
    for (size_t other = 0; other < 3; ++other) {
      bool on = false;
      if (other != i && dialog.getBool(kModeGadgets[other], on) && on)
        set(dialog, kModeGadgets[other], host::HostValue::integer(0), "--mode");
    }
    set(dialog, kModeGadgets[i], host::HostValue::integer(1), "--mode");
  }
  if (!answers.updateTarget.empty())
    set(dialog, kEarlierImports, host::HostValue::string(answers.updateTarget), "--update-target");
  for (const Setting& s : settings) {
    host::HostValue value;
    const host::Gadget* g = dialog.findGadget(s.gadget);
    const bool ok =
        s.option ? optionValue(s.option->type, s.value, value) : g && gadgetValue(g->kind, s.value, value);
    if (!ok) {
      std::fprintf(stderr, "talvo: dialog %d: gadget %d does not take %s\n", dialog.resourceId(), s.gadget,
                   s.value.c_str());
      continue;
    }
    set(dialog, s.gadget, value, "--set");
  }
  host::userPress(dialog, answers.cancel ? host::kDialogCancel : host::kDialogOk);
}

}  // namespace

bool checkAnswers(const DialogAnswers& answers, std::string* outError) {
  if (!answers.mode.empty() && answers.mode != "new" && answers.mode != "merge" && answers.mode != "update") {
    if (outError) *outError = "--mode " + answers.mode + ": expected new, merge or update";
    return false;
  }
  for (const std::string& text : answers.sets) {
    Setting s;
    if (!parseSetting(text, s, outError)) return false;
  }
  return true;
}

host::DialogUser makeDialogUser(DialogAnswers answers) {
  std::vector<Setting> settings;
  for (const std::string& text : answers.sets) {
    Setting s;
    if (parseSetting(text, s, nullptr)) settings.push_back(std::move(s));
  }
  return [answers = std::move(answers), settings = std::move(settings)](host::GeModalDialog& dialog) {
    switch (dialog.resourceId()) {
      case kOptionsDialog:
        answerOptions(dialog, answers, settings);
        break;
      case kInstanceDialog:
        if (!answers.instances.empty())
          set(dialog, kInstanceChoice, host::HostValue::string(answers.instances), "--instances");
        host::userPress(dialog, host::kDialogOk);
        break;
      default:
        break;  // walking away cancels
    }
  };
}

}  // namespace talvo_app
