#pragma once
// The settings window: the device list editor, connection tests, the device
// clock and maintenance. Shown modally by the main window's "Ayarlar"; its
// handlers forward to SettingsCommands.
#include <QDialog>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace aktarim {

struct AppState;
class GridView;
class IniFile;
class SettingsCommands;
class TerminalLink;

class Tayarlarform : public QDialog {
    Q_OBJECT

  public:
    // Builds the window hidden, makes its terminal link and starts Timer1,
    // which ticks from now until the window is destroyed, shown or not.
    explicit Tayarlarform(AppState& state, QWidget* parent = nullptr);
    ~Tayarlarform() override;

    AppState& state() { return state_; }
    GridView& deviceGrid() { return *cihazlist; }
    TerminalLink& terminalLink() { return *terminalLink_; }

    static constexpr int kClientWidth = 745;
    static constexpr int kClientHeight = 501;
    static constexpr int kTimerIntervalMs = 1000;

    // Handlers, named after their control and event.
    void FormShow();
    void FormActivate();
    void FormClose();
    void cihazlistSelectCell(int column, int row);
    void cihazlistClick();
    void yeniClick();
    void silClick();
    void kaydetClick();
    void kayityerieditChange(const QString& text);
    void BitBtn1Click();
    void personelbutonClick();
    void bagtestClick();
    void tumtestClick();
    void tarihokuClick();
    void tarihkaydetClick();
    void Timer1Timer();
    void BitBtn4Click();
    void BitBtn2Click();
    void cikisbutonClick();

    // Closing in every way (close box, close(), accept, reject, Esc) ends
    // here, so FormClose runs once per showing.
    void done(int result) override;

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class View;
    friend class View;

    void BuildControls();
    // The commands, made for the cihazlar.ini that is open now; throws when
    // none is.
    SettingsCommands& Commands();
    // Runs one command as a handler: its errors go to the error box.
    void Run(void (SettingsCommands::*handler)());

    AppState& state_;
    std::unique_ptr<TerminalLink> terminalLink_;
    std::unique_ptr<View> view_;
    std::unique_ptr<SettingsCommands> commands_;
    IniFile* commandsFile_ = nullptr;  // the file commands_ writes
    // Whether the next activation selects the first row: after the window
    // is shown, and after a window of this program opened over it, never
    // on a return from another program.
    bool selectOnActivate_ = false;

    QLabel* Label2 = nullptr;
    QLineEdit* kayityeriedit = nullptr;
    QPushButton* BitBtn1 = nullptr;
    GridView* cihazlist = nullptr;
    QGroupBox* cihazayarlari = nullptr;
    QPushButton* yeni = nullptr;
    QPushButton* kaydet = nullptr;
    QPushButton* sil = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QPushButton* tarihoku = nullptr;
    QLineEdit* tarihtext = nullptr;
    QPushButton* tarihkaydet = nullptr;
    QLabel* Label3 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QPushButton* personelbuton = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QPushButton* bagtest = nullptr;
    QPushButton* tumtest = nullptr;
    QPushButton* cikisbuton = nullptr;
    QTimer* Timer1 = nullptr;
};

}  // namespace aktarim
