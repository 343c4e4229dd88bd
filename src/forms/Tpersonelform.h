#pragma once
// The personnel window: the terminal's users beside the PC's personnel store.
// Shown modally by the settings window. The handlers forward to
// PersonnelCommands; this class only builds the controls and shows what the
// commands ask for.
#include <QDialog>
#include <memory>

#include "forms/PaintThrottle.h"

class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace aktarim {

struct AppState;
class GridView;
class PersonnelCommands;
class PersonnelStore;
class TerminalLink;

class Tpersonelform : public QDialog {
    Q_OBJECT

  public:
    explicit Tpersonelform(AppState& state, QWidget* parent = nullptr);
    ~Tpersonelform() override;

    AppState& state() { return state_; }

    // 999 x 589 is this window's outer size (unlike the client areas of the
    // other windows): less a 3-pixel border and a 27-pixel title bar with
    // its border, the controls end 8 pixels from the right and 14 below.
    static constexpr int kClientWidth = 999 - 2 * 3;
    static constexpr int kClientHeight = 589 - 27 - 3;
    // Left, top of the window's placement.
    static constexpr int kLeft = 6;
    static constexpr int kTop = 114;
    static constexpr int kHeaderHeight = 18;
    static constexpr int kRowHeight = 16;
    static constexpr int kPictureSize = 16;

    // Handlers, named after their control and event. Each runs through
    // RunHandler, so an error ends it in the standard error box.
    void FormShow();
    void FormActivate();
    void FormClose();
    void griddiskAfterEdit(int column, int row);
    void gridSortColumn();
    void griddiskSortColumn();
    void ctumsecClick();
    void cseckaldirClick();
    void cdigersecClick();
    void dtumsecClick();
    void dseckaldirClick();
    void ddigersecClick();
    void cikisbutonClick();
    void personelalbutonClick();
    void personelgonderbutonClick();
    void parmakizialbutonClick();
    void parmakizigonderbutonClick();
    void silbutonClick();

    GridView& terminalGrid() { return *grid; }
    GridView& storeGrid() { return *griddisk; }

  public slots:
    // Every way of closing (Çıkış, the title bar, Escape) ends here.
    void done(int result) override;

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    class View;
    friend class View;

    void BuildControls();
    // The link, the store and the commands are made at the first use, when
    // the application state has its link factory and program folder.
    PersonnelCommands& Commands();
    void Run(void (PersonnelCommands::*handler)());
    // Closing while the window is being shown is put off until the modal
    // loop runs; closing then would leave that loop waiting forever.
    void CloseWindow();
    void RepaintProgressBar();

    AppState& state_;
    std::unique_ptr<TerminalLink> terminalLink_;
    std::unique_ptr<PersonnelStore> store_;
    std::unique_ptr<View> view_;
    std::unique_ptr<PersonnelCommands> commands_;
    bool showing_ = false;
    // Paints ProgressBar1, which exists once the controls are built.
    PaintThrottle progressPaint_;

    QLabel* Panel3 = nullptr;
    GridView* grid = nullptr;
    QLabel* Panel4 = nullptr;
    GridView* griddisk = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* personelgonderbuton = nullptr;
    QPushButton* personelalbuton = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QPushButton* parmakizigonderbuton = nullptr;
    QPushButton* parmakizialbuton = nullptr;
    QPushButton* silbuton = nullptr;
    QPushButton* ctumsec = nullptr;
    QPushButton* cseckaldir = nullptr;
    QPushButton* cdigersec = nullptr;
    QPushButton* dtumsec = nullptr;
    QPushButton* dseckaldir = nullptr;
    QPushButton* ddigersec = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* cikisbuton = nullptr;
};

}  // namespace aktarim
