#pragma once
// The open-file dialog behind a small wrapper, so that GUI tests can answer
// it ("next chosen file" or "cancelled") instead of a user.
#include <QString>
#include <optional>

class QWidget;

namespace aktarim {

class OpenFileDialog {
  public:
    // Asks for an existing file, with no filter and no initial folder.
    // Returns its full path, or nullopt when the dialog was cancelled. A
    // pending next answer is returned without showing anything; in the boxes'
    // test mode (MessageBox::setTestMode) an unanswered dialog is cancelled.
    static std::optional<QString> ChooseFile(QWidget* parent);

    // The answer of the next ChooseFile: a path, or nullopt for "cancelled".
    static void setNextAnswer(std::optional<QString> answer);
    // How many times ChooseFile was called; for tests.
    static int timesAsked();
};

}  // namespace aktarim
