#pragma once
// Every box, and every handler, goes through these wrappers. In test mode
// nothing modal is shown: each box is recorded and answers at once, so GUI
// tests never block and can read what the user would have seen.
#include <QMessageBox>
#include <QString>
#include <QUrl>
#include <functional>
#include <vector>

// <windows.h> defines MessageBox as a macro.
#ifdef MessageBox
#undef MessageBox
#endif

class QWidget;

namespace aktarim {

class MessageBox {
  public:
    using Answer = QMessageBox::StandardButton;
    enum class Kind { Message, Error };
    struct Shown {
        Kind kind;
        QString caption;
        QString text;
    };

    // The caption of the boxes: the application's name.
    static QString Caption();

    // Shows a box and returns the button pressed. A pending next answer is
    // returned without showing anything; in test mode the default button.
    static Answer Show(QWidget* parent, Kind kind, const QString& text,
                       QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                       Answer defaultButton = QMessageBox::Ok);

    static void setNextAnswer(Answer answer);
    static void setTestMode(bool on);
    static bool testMode();
    // Boxes shown in test mode since the last clear.
    static const std::vector<Shown>& shown();
    static void clearShown();
};

// A box with the text and an OK button.
void ShowMessage(QWidget* parent, const QString& text);
// The application's standard error box.
void ShowError(QWidget* parent, const QString& text);

// Runs one event handler. An AppError or any other exception ends the
// handler, its message appears in the standard error box and the program
// goes on; nothing escapes into the Qt event loop. True when body finished.
bool RunHandler(QWidget* parent, const std::function<void()>& body);

// Opens a web page in the user's browser without waiting; the outcome is
// ignored. In test mode the address is only recorded.
class WebPage {
  public:
    static void Open(const QUrl& url);
    static const std::vector<QUrl>& opened();  // in test mode
    static void clearOpened();
};

}  // namespace aktarim
