#pragma once
// The main window: the device list, the transfer button, the delete option,
// the way to the settings window and the exit.
#include <QString>
#include <QWidget>
#include <memory>

#include "forms/AppState.h"
#include "forms/MainGrid.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace aktarim {

class GridView;

class Tmainform : public QWidget {
    Q_OBJECT

  public:
    // Builds the window and runs FormCreate.
    explicit Tmainform(AppState& state, QWidget* parent = nullptr);
    ~Tmainform() override;

    static constexpr int kClientWidth = 768;
    static constexpr int kClientHeight = 514;
    // Left, top of the window's first placement.
    static constexpr int kLeft = 78;
    static constexpr int kTop = 119;
    static const char* const kCaption;
    // The program's help page, which the two pictures open: installed next
    // to the program file.
    static const char* const kHelpPage;
    static QString HelpPagePath();

    // Handlers, named after their control and event.
    void FormCreate();
    void FormShow();
    void FormClose();
    void baglanbutonClick();
    void ayarlarbutonClick();
    void silkontrolClick();
    void cikisbutonClick();
    void Image1DblClick();
    void Image2DblClick();

    GridView& deviceGrid() { return *GridView1; }

    // The transfer runs on a thread of its own; its events reach the grid
    // through the event loop.
    bool transferRunning() const { return job_ != nullptr; }
    // Runs the event loop until the running transfer, if any, has ended and
    // its last events are shown.
    void WaitForTransfer();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct TransferJob;

    void BuildControls();
    // On the interface thread, once the transfer's thread has ended.
    void FinishTransfer();
    // Ends a running transfer after its current device, without the event loop.
    void StopTransfer();

    AppState& state_;
    std::unique_ptr<TerminalLink> terminalLink_;
    std::unique_ptr<TransferJob> job_;

    QLabel* Image1 = nullptr;
    QPushButton* baglanbuton = nullptr;
    QCheckBox* silkontrol = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* ayarlarbuton = nullptr;
    QPushButton* cikisbuton = nullptr;
    GridView* GridView1 = nullptr;
    QLabel* Image2 = nullptr;
};

}  // namespace aktarim
