#pragma once
// What the program asks of the user-interface platform: message boxes, file dialogs and the wait
// pointer. The window uses the Qt implementation; tests script the answers and read what was shown.

#include <deque>
#include <string>
#include <vector>

namespace rowcaster::ui {

enum class Icon { Information, Error, Question, Warning };
// NoYes: Yes and No with No the default (a question whose Yes destroys something); CancelYesNo:
// Yes, No and Cancel with Cancel the default (where going on would most likely be a mistake).
enum class Buttons { Ok, YesNo, YesNoCancel, NoYes, CancelYesNo };
enum class Answer { Ok, Yes, No, Cancel };

class Ui {
 public:
  virtual ~Ui() = default;
  // A modal message box. With Yes and No, Yes is the default button. `details`, when not empty, is
  // offered as the box's detailed text (a list the user may open).
  virtual Answer Message(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
                         const std::string& details = {}) = 0;
  // File dialogs: the filter is "description|pattern|description|pattern…"; the result is the
  // chosen full path, or the empty text when cancelled. `chosenType`, when given, holds the number
  // (from 0) of the file type the save dialog offers first, and receives the one the user chose.
  virtual std::string OpenFile(const std::string& title, const std::string& filter, const std::string& fileName) = 0;
  virtual std::string SaveFile(const std::string& title, const std::string& filter, const std::string& fileName,
                               int* chosenType = nullptr) = 0;
  // The program-wide wait pointer on or off.
  virtual void SetWaitPointer(bool on) = 0;
  // A text to read (a record's listing), in a window of its own with a close button.
  virtual void ShowText(const std::string& title, const std::string& text) = 0;
};

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
