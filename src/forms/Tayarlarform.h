#pragma once
// The settings window: the device list editor, connection tests, the device
// clock and maintenance. Shown modally by the main window's "Ayarlar".
#include <QDialog>

namespace aktarim {

struct AppState;

class Tayarlarform : public QDialog {
    Q_OBJECT

  public:
    explicit Tayarlarform(AppState& state, QWidget* parent = nullptr);

    AppState& state() { return state_; }

    static constexpr int kClientWidth = 745;
    static constexpr int kClientHeight = 501;

  private:
    AppState& state_;
};

}  // namespace aktarim
