#pragma once
// The warning dialog that asks before a terminal is reset; its answer goes to
// AppState::dialogAnswer.
#include <QDialog>

namespace aktarim {

struct AppState;

class Tuyariform : public QDialog {
    Q_OBJECT

  public:
    explicit Tuyariform(AppState& state, QWidget* parent = nullptr);

    AppState& state() { return state_; }

    static constexpr int kClientWidth = 455;
    static constexpr int kClientHeight = 105;

  private:
    AppState& state_;
};

}  // namespace aktarim
