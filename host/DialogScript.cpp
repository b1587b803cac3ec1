// Playing a dialog script: the text is parsed into actions once; each dialog
// run takes actions in order until its dialog is stopped. Linear in the
// script's length plus what the module's callbacks do.
#include "host/DialogScript.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace host {

namespace {

bool ParseInteger(const std::string& word, int* value) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long parsed = std::strtol(word.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = int(parsed);
  return true;
}

bool ParseKey(const std::string& word, int* code) {
  static const struct {
    const char* name;
    int code;
  } kKeys[] = {{"return", 13}, {"enter", 3}, {"escape", 27}, {"esc", 27}, {"space", 32}, {"tab", 9}, {"backspace", 8}};
  for (const auto& key : kKeys)
    if (word == key.name) return *code = key.code, true;
  if (ParseInteger(word, code)) return *code >= 0 && *code <= 255;
  if (word.size() == 1) return *code = (unsigned char)word[0], true;
  return false;
}

// Splits off the first word; *rest is what follows its single separating space.
std::string FirstWord(const std::string& text, std::string* rest) {
  size_t space = text.find(' ');
  if (space == std::string::npos) {
    rest->clear();
    return text;
  }
  *rest = text.substr(space + 1);
  return text.substr(0, space);
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace

bool CDialogScript::Load(const std::filesystem::path& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read dialog script " + path.string();
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  if (Parse(text.str(), error)) return true;
  *error = path.string() + ": " + *error;
  return false;
}

bool CDialogScript::Parse(const std::string& text, std::string* error) {
  mActions.clear();
  mNext = 0;
  mFailure.clear();
  mWarnings.clear();
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    if (!ParseLine(line.substr(start), number, error)) return false;
  }
  return true;
}

bool CDialogScript::ParseLine(const std::string& line, int number, std::string* error) {
  auto bad = [&](const std::string& what) {
    *error = "line " + std::to_string(number) + ": " + what;
    return false;
  };
  CAction action;
  action.line = number;
  std::string rest;
  const std::string verb = FirstWord(line, &rest);
  std::vector<std::string> words = Words(rest);
  auto control = [&](const std::string& word) {
    if (!ParseInteger(word, &action.control)) return bad("'" + word + "' is not a control id");
    return true;
  };
  if (verb == "type" || verb == "clear") {
    action.verb = verb == "type" ? Verb::kType : Verb::kClear;
    std::string text;
    std::string id = FirstWord(rest, &text);
    if (id.empty()) return bad(verb + " needs a control id");
    if (!control(id)) return false;
    if (verb == "type" && text.empty()) return bad("type needs the text to type after the control id");
    if (verb == "clear" && !text.empty()) return bad("clear takes only a control id");
    action.text = text;
  } else if (verb == "set") {
    action.verb = Verb::kSet;
    if (words.size() != 2) return bad("usage: set CONTROL VALUE");
    if (!control(words[0])) return false;
    if (!ParseInteger(words[1], &action.number)) return bad("'" + words[1] + "' is not an integer");
  } else if (verb == "click") {
    action.verb = Verb::kClick;
    if (words.size() != 1) return bad("usage: click CONTROL");
    if (!control(words[0])) return false;
  } else if (verb == "key") {
    action.verb = Verb::kKey;
    if (words.size() != 1 || !ParseKey(words[0], &action.number))
      return bad("usage: key return|enter|escape|space|tab|backspace|CODE|CHARACTER");
  } else if (verb == "drag") {
    action.verb = Verb::kDrag;
    if (words.size() != 3) return bad("usage: drag CONTROL DX DY");
    if (!control(words[0])) return false;
    if (!ParseInteger(words[1], &action.number) || !ParseInteger(words[2], &action.dy))
      return bad("drag needs integer distances");
  } else if (verb == "expect") {
    action.verb = Verb::kExpect;
    std::string afterWhat;
    const std::string what = FirstWord(rest, &afterWhat);
    if (what == "dialog" || what == "title") {
      action.expectation = what == "dialog" ? Expectation::kDialog : Expectation::kTitle;
      if (what == "dialog" && !ParseInteger(afterWhat, &action.number)) return bad("usage: expect dialog RESOURCE-ID");
      action.text = afterWhat;
    } else if (what == "value" || what == "text" || what == "enabled") {
      action.expectation = what == "value" ? Expectation::kValue : what == "text" ? Expectation::kText : Expectation::kEnabled;
      std::string expected;
      std::string id = FirstWord(afterWhat, &expected);
      if (id.empty()) return bad("expect " + what + " needs a control id");
      if (!control(id)) return false;
      action.text = expected;
      if (action.expectation == Expectation::kValue && !ParseInteger(expected, &action.number))
        return bad("expect value needs an integer");
      if (action.expectation == Expectation::kEnabled) {
        if (expected == "1" || expected == "yes" || expected == "true")
          action.number = 1;
        else if (expected == "0" || expected == "no" || expected == "false")
          action.number = 0;
        else
          return bad("expect enabled needs 1/yes/true or 0/no/false");
      }
    } else {
      return bad("usage: expect value|text|enabled CONTROL X, expect dialog ID, expect title TEXT");
    }
  } else if (verb == "ok" || verb == "cancel" || verb == "close") {
    action.verb = verb == "ok" ? Verb::kOk : verb == "cancel" ? Verb::kCancel : Verb::kClose;
    if (!words.empty()) return bad(verb + " takes no arguments");
  } else {
    return bad("unknown action '" + verb + "'");
  }
  mActions.push_back(action);
  return true;
}

void CDialogScript::Fail(const CAction& action, const std::string& what) {
  if (mFailure.empty()) mFailure = "line " + std::to_string(action.line) + ": " + what;
}

void CDialogScript::Warn(const CAction& action, const std::string& what) {
  mWarnings.push_back("line " + std::to_string(action.line) + ": " + what);
}

CLiveControl* CDialogScript::Control(CLiveDialog& dialog, const CAction& action) {
  CLiveControl* control = dialog.Find(action.control);
  if (!control)
    Fail(action, "dialog " + std::to_string(dialog.resourceId) + " has no control " + std::to_string(action.control));
  return control;
}

void CDialogScript::Run(CLiveDialog& dialog) {
  CDialogService& service = CDialogService::Instance();
  while (!dialog.stopped) {
    if (Failed()) break;
    if (mNext >= mActions.size()) {
      mWarnings.push_back("the script ended while dialog " + std::to_string(dialog.resourceId) +
                          " was still running; it was cancelled");
      break;
    }
    Perform(dialog, mActions[mNext++]);
  }
  if (!dialog.stopped) service.Close(dialog);
}

void CDialogScript::Perform(CLiveDialog& dialog, const CAction& action) {
  CDialogService& service = CDialogService::Instance();
  std::string why;
  switch (action.verb) {
    case Verb::kType: {
      CLiveControl* control = Control(dialog, action);
      if (!control) return;
      size_t refused = 0;
      std::string firstRefusal;
      for (char c : action.text) {
        std::string reason;
        if (service.TypeCharacter(*control, c, &reason)) continue;
        if (control->type != ControlCode::kEdit || !control->enabled || !dialog.Visible(*control))
          return Fail(action, reason);
        if (refused++ == 0) firstRefusal = reason;
      }
      if (refused)
        Warn(action, std::to_string(refused) + " of " + std::to_string(action.text.size()) +
                         " typed characters refused (first: " + firstRefusal + ")");
      return;
    }
    case Verb::kClear: {
      CLiveControl* control = Control(dialog, action);
      if (!control) return;
      if (service.ReplaceText(*control, "", &why)) return;
      if (control->type != ControlCode::kEdit || !control->enabled || !dialog.Visible(*control))
        return Fail(action, why);
      return Warn(action, why);
    }
    case Verb::kSet: {
      CLiveControl* control = Control(dialog, action);
      if (control && !service.ChooseValue(*control, action.number, &why)) Fail(action, why);
      return;
    }
    case Verb::kClick: {
      CLiveControl* control = Control(dialog, action);
      if (control && !service.Click(*control, &why)) Fail(action, why);
      return;
    }
    case Verb::kKey:
      service.PressKey(dialog, action.number);
      return;
    case Verb::kDrag: {
      CLiveControl* control = Control(dialog, action);
      if (control && !service.Drag(*control, action.number, action.dy, &why)) Fail(action, why);
      return;
    }
    case Verb::kOk:
    case Verb::kCancel: {
      const int id = action.verb == Verb::kOk ? 1 : 2;
      CLiveControl* control = dialog.Find(id);
      if (!control)
        return Fail(action, "dialog " + std::to_string(dialog.resourceId) + " has no control " + std::to_string(id));
      if (!service.Click(*control, &why)) Fail(action, why);
      return;
    }
    case Verb::kClose:
      service.Close(dialog);
      return;
    case Verb::kExpect:
      break;
  }
  std::string actual;
  bool same = false;
  switch (action.expectation) {
    case Expectation::kDialog:
      actual = std::to_string(dialog.resourceId);
      same = dialog.resourceId == action.number;
      break;
    case Expectation::kTitle:
      actual = "\"" + dialog.title + "\"";
      same = dialog.title == action.text;
      break;
    case Expectation::kValue:
    case Expectation::kText:
    case Expectation::kEnabled: {
      CLiveControl* control = Control(dialog, action);
      if (!control) return;
      if (action.expectation == Expectation::kValue) {
        actual = std::to_string(control->ItemValue());
        same = control->ItemValue() == action.number;
      } else if (action.expectation == Expectation::kText) {
        const std::string& shown = control->type == ControlCode::kEdit ? control->text : control->title;
        actual = "\"" + shown + "\"";
        same = shown == action.text;
      } else {
        actual = control->enabled ? "enabled" : "disabled";
        same = control->enabled == (action.number != 0);
      }
      break;
    }
  }
  if (same) return;
  std::string expected = action.expectation == Expectation::kEnabled ? (action.number ? "enabled" : "disabled")
                         : action.expectation == Expectation::kText || action.expectation == Expectation::kTitle
                             ? "\"" + action.text + "\""
                             : action.text;
  std::string subject = action.expectation == Expectation::kDialog  ? "the running dialog"
                        : action.expectation == Expectation::kTitle ? "the dialog title"
                                                                    : "control " + std::to_string(action.control);
  Fail(action, "expected " + subject + " to be " + expected + ", but it is " + actual);
}

}  // namespace host
