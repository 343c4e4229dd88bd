#pragma once
// The personnel window: the terminal's users beside the PC's personnel store.
// Shown modally by the settings window.
#include <QDialog>

namespace aktarim {

struct AppState;

class Tpersonelform : public QDialog {
    Q_OBJECT

  public:
    explicit Tpersonelform(AppState& state, QWidget* parent = nullptr);

    AppState& state() { return state_; }

    static constexpr int kClientWidth = 999;
    static constexpr int kClientHeight = 589;

  private:
    AppState& state_;
};

}  // namespace aktarim
