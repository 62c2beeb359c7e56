#pragma once
// What the program asks of the user-interface platform: message boxes, file dialogs and the wait
// pointer. The window uses the Qt implementation (QtUi); tests use one that answers from a script.

#include <string>

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

}  // namespace rowcaster::ui
