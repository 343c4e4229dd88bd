#pragma once
// The warning dialog that asks before a terminal is reset; its answer goes to
// AppState::dialogAnswer.
#include <QDialog>

class QLabel;
class QPushButton;

namespace aktarim {

struct AppState;

class Tuyariform : public QDialog {
    Q_OBJECT

  public:
    explicit Tuyariform(AppState& state, QWidget* parent = nullptr);

    AppState& state() { return state_; }

    static constexpr int kClientWidth = 455;
    static constexpr int kClientHeight = 105;
    // Outer size and place of the window.
    static constexpr int kOuterWidth = 465;
    static constexpr int kOuterHeight = 139;
    static constexpr int kLeft = 227;
    static constexpr int kTop = 370;

    // Sets the two lines of the question, the window's size, the labels'
    // bounds and shows both buttons, in the order the reset command asks.
    void PrepareQuestion(const QString& line1, const QString& line2);

    // "Evet": dialogAnswer 1; "Hayır": dialogAnswer 2. Both close the dialog;
    // the close box sets no answer.
    void evetbutonClick();
    void hayirbutonClick();

  private:
    void BuildControls();

    AppState& state_;

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* evetbuton = nullptr;
    QPushButton* hayirbuton = nullptr;
};

}  // namespace aktarim
