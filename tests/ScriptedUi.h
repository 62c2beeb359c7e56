#pragma once
// The Ui of the window's tests, the screenshots and the window benchmark.

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/Ui.h"

namespace rowcaster::ui {

// A Ui that answers from a script and records everything that was shown.
class ScriptedUi : public Ui {
 public:
  struct Shown {
    std::string text, title;
    Icon icon;
    Buttons buttons;
    std::string details;
  };
  struct Dialog {
    std::string kind, title, filter, fileName;
    int offeredType = 0;  // the save dialog's file type offered first
  };

  std::deque<std::string> openAnswers, saveAnswers;  // empty queue: cancel
  std::deque<int> saveTypes;  // the file type chosen with each save answer; none: the one offered
  std::deque<Answer> messageAnswers;                 // empty queue: the default button
  std::vector<Shown> messages;
  std::vector<Dialog> dialogs;
  std::vector<std::pair<std::string, std::string>> texts;  // title, text
  int waitDepth = 0, waitChanges = 0;

  Answer Message(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
                 const std::string& details = {}) override {
    messages.push_back({text, title, icon, buttons, details});
    if (messageAnswers.empty()) {
      switch (buttons) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::NoYes: return Answer::No;
        case Buttons::CancelYesNo: return Answer::Cancel;
        default: return Answer::Yes;
      }
    }
    const Answer a = messageAnswers.front();
    messageAnswers.pop_front();
    return a;
  }
  std::string OpenFile(const std::string& title, const std::string& filter, const std::string& fileName) override {
    dialogs.push_back({"open", title, filter, fileName});
    return Pop(openAnswers);
  }
  std::string SaveFile(const std::string& title, const std::string& filter, const std::string& fileName,
                       int* chosenType = nullptr) override {
    dialogs.push_back({"save", title, filter, fileName, chosenType ? *chosenType : 0});
    const int type = saveTypes.empty() ? (chosenType ? *chosenType : 0) : saveTypes.front();
    if (!saveTypes.empty()) saveTypes.pop_front();
    if (chosenType) *chosenType = type;
    return Pop(saveAnswers);
  }
  void SetWaitPointer(bool on) override {
    waitDepth += on ? 1 : -1;
    ++waitChanges;
  }
  void ShowText(const std::string& title, const std::string& text) override { texts.emplace_back(title, text); }

 private:
  static std::string Pop(std::deque<std::string>& q) {
    if (q.empty()) return {};
    std::string s = q.front();
    q.pop_front();
    return s;
  }
};

}  // namespace rowcaster::ui
