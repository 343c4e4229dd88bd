#include "forms/Tayarlarform.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <ctime>
#include <optional>
#include <utility>

#include "core/Errors.h"
#include "forms/AppState.h"
#include "forms/FileDialog.h"
#include "forms/FormStyle.h"
#include "forms/GridView.h"
#include "forms/MessageBox.h"
#include "forms/Tpersonelform.h"
#include "forms/Tuyariform.h"
#include "settings/SettingsCommands.h"
#include "terminal/WireLink.h"

namespace aktarim {
namespace {

QFont PointFont(int points, bool bold) { return FormFont(points, bold); }

// Captions marked bold are 10-point unless the window says otherwise.
constexpr int kBoldCaptionPoints = 10;

QPushButton* Button(QWidget* parent, const char* name, const QString& text, QRect bounds,
                    std::optional<QRgb> colour = std::nullopt, int boldPoints = 0) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(bounds);
    // Enter in the record file box must not press a button.
    button->setAutoDefault(false);
    if (boldPoints > 0) button->setFont(PointFont(boldPoints, true));
    if (colour) SetTextColour(button, QColor(*colour));
    return button;
}

QGroupBox* Group(QWidget* parent, const char* name, const QString& caption, QRect bounds) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    group->setGeometry(bounds);
    return group;
}

}  // namespace

// SettingsView over the window's widgets.
class Tayarlarform::View : public SettingsView {
  public:
    explicit View(Tayarlarform& form) : form_(form) {}

    void RepaintGrid() override { form_.cihazlist->RepaintNow(); }
    void RepaintWindow() override {
        form_.repaint();
        form_.cihazlist->RepaintNow(true);
    }
    void ShowMessage(const std::string& text) override {
        aktarim::ShowMessage(&form_, QString::fromStdString(text));
    }
    void AskResetConfirmation() override {
        Tuyariform* dialog = form_.state_.uyariform;
        if (dialog == nullptr) return;  // no dialog, no confirmation
        dialog->PrepareQuestion(QString::fromUtf8(kResetWarningLine1),
                                QString::fromUtf8(kResetWarningLine2));
        dialog->exec();
    }
    void SetClockText(const std::string& text) override {
        form_.tarihtext->setText(QString::fromStdString(text));
    }
    void SetPcClockLabel(const std::string& text) override {
        form_.Label3->setText(QString::fromStdString(text));
        form_.Label3->adjustSize();
    }
    void SetRecordFileText(const std::string& text) override {
        // setText reports textChanged only, never textEdited: the commands
        // run the change handler themselves.
        form_.kayityeriedit->setText(QString::fromStdString(text));
    }
    void SelectRow(int row) override { form_.cihazlist->FocusCell(0, row); }
    void ScrollToRow(int row) override { form_.cihazlist->ScrollToRow(row); }
    std::optional<std::string> ChooseFile() override {
        // OpenDialog1.
        const std::optional<QString> chosen = OpenFileDialog::ChooseFile(&form_);
        if (!chosen) return std::nullopt;
        return chosen->toStdString();
    }
    void ShowPersonnelWindow() override {
        if (form_.state_.personelform != nullptr) form_.state_.personelform->exec();
    }
    void CloseWindow() override { form_.close(); }

  private:
    Tayarlarform& form_;
};

Tayarlarform::Tayarlarform(AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      state_(state),
      terminalLink_(state.makeLink ? state.makeLink() : std::make_unique<WireLink>()),
      view_(std::make_unique<View>(*this)) {
    setObjectName(QStringLiteral("ayarlarform"));
    setWindowTitle(QStringLiteral("Ayarlar"));
    setFont(DefaultFormFont());
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    BuildControls();
    EnterPressesFocusedButton(this);
    Timer1->start();
}

Tayarlarform::~Tayarlarform() = default;

void Tayarlarform::BuildControls() {
    Label2 = new QLabel(QStringLiteral("Kayıtların Kaydedileceği Dosya:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(8, 8);
    Label2->adjustSize();

    kayityeriedit = new QLineEdit(QString::fromUtf8(kDefaultRecordFile), this);
    kayityeriedit->setObjectName(QStringLiteral("kayityeriedit"));
    kayityeriedit->setGeometry(8, 24, 473, 24);
    kayityeriedit->setFont(PointFont(10, false));

    BitBtn1 = Button(this, "BitBtn1", QStringLiteral("Değiştir"), QRect(488, 24, 75, 25),
                     kColourNavy, kBoldCaptionPoints);

    cihazlist = new GridView(SettingsGridColumns(), this);
    cihazlist->setObjectName(QStringLiteral("cihazlist"));
    cihazlist->setGeometry(8, 56, 729, 193);
    cihazlist->SetHeaderHeight(18);
    cihazlist->SetRowHeight(16);
    cihazlist->SetWholeRowSelection(true);
    cihazlist->SetBlendedSelection(true);
    cihazlist->SetSortable(false);

    cihazayarlari =
        Group(this, "cihazayarlari", QStringLiteral("Cihazlar"), QRect(8, 256, 257, 65));
    yeni = Button(cihazayarlari, "yeni", QStringLiteral("Yeni"), QRect(8, 22, 75, 33), kColourBlue,
                  kBoldCaptionPoints);
    kaydet = Button(cihazayarlari, "kaydet", QStringLiteral("Kaydet"), QRect(91, 22, 75, 33),
                    kColourGreen, kBoldCaptionPoints);
    sil = Button(cihazayarlari, "sil", QStringLiteral("Sil"), QRect(174, 22, 75, 33), kColourRed,
                 kBoldCaptionPoints);

    GroupBox1 =
        Group(this, "GroupBox1", QStringLiteral("Tarih / Saat Düzenleme"), QRect(8, 328, 257, 83));
    tarihoku = Button(GroupBox1, "tarihoku", QStringLiteral("Tarihi Oku"), QRect(8, 18, 97, 25));
    tarihtext = new QLineEdit(GroupBox1);
    tarihtext->setObjectName(QStringLiteral("tarihtext"));
    tarihtext->setGeometry(110, 20, 139, 21);
    tarihtext->setReadOnly(true);
    tarihkaydet =
        Button(GroupBox1, "tarihkaydet", QStringLiteral("Tarihi Kaydet"), QRect(8, 50, 97, 25));
    // At (118, 382) in the window.
    Label3 = new QLabel(GroupBox1);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setFont(PointFont(8, true));
    Label3->move(QPoint(118, 382) - GroupBox1->pos());

    GroupBox4 = Group(this, "GroupBox4", QStringLiteral("Cihaz İşlemleri"), QRect(8, 416, 257, 73));
    BitBtn4 = Button(GroupBox4, "BitBtn4", QStringLiteral("Yetkilileri Sil"), QRect(8, 24, 117, 33),
                     std::nullopt, 8);
    BitBtn2 = Button(GroupBox4, "BitBtn2", QStringLiteral("Cihazı Sıfırla"),
                     QRect(132, 24, 117, 33), kColourRed, 8);

    GroupBox3 =
        Group(this, "GroupBox3", QStringLiteral("Personel İşlemleri"), QRect(272, 256, 273, 105));
    personelbuton = Button(GroupBox3, "personelbuton", QStringLiteral("Personel İşlemleri"),
                           QRect(68, 38, 137, 41), kColourMaroon, kBoldCaptionPoints);

    GroupBox2 =
        Group(this, "GroupBox2", QStringLiteral("Bağlantı Test"), QRect(552, 256, 185, 105));
    bagtest = Button(GroupBox2, "bagtest", QStringLiteral("Bağlantı Test"), QRect(12, 22, 161, 33),
                     kColourBlue, kBoldCaptionPoints);
    tumtest = Button(GroupBox2, "tumtest", QStringLiteral("Tüm  CihazlarıTest et"),
                     QRect(12, 62, 161, 33), kColourBlue, 8);

    cikisbuton = Button(this, "cikisbuton", QStringLiteral("Çıkış"), QRect(624, 440, 97, 41),
                        kColourRed, kBoldCaptionPoints);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerIntervalMs);

    setTabOrder(kayityeriedit, BitBtn1);
    setTabOrder(BitBtn1, cihazlist);
    setTabOrder(cihazlist, yeni);
    setTabOrder(yeni, kaydet);
    setTabOrder(kaydet, sil);
    setTabOrder(sil, tarihoku);
    setTabOrder(tarihoku, tarihtext);
    setTabOrder(tarihtext, tarihkaydet);
    setTabOrder(tarihkaydet, BitBtn4);
    setTabOrder(BitBtn4, BitBtn2);
    setTabOrder(BitBtn2, personelbuton);
    setTabOrder(personelbuton, bagtest);
    setTabOrder(bagtest, tumtest);
    setTabOrder(tumtest, cikisbuton);

    cihazlist->onCellSelected = [this](int column, int row) { cihazlistSelectCell(column, row); };
    connect(cihazlist, &GridView::clicked, this, [this] { cihazlistClick(); });
    // Keystrokes only; the text the commands put there runs no handler.
    connect(kayityeriedit, &QLineEdit::textEdited, this,
            [this](const QString& text) { kayityerieditChange(text); });
    const std::pair<QPushButton*, void (Tayarlarform::*)()> buttons[] = {
        {BitBtn1, &Tayarlarform::BitBtn1Click},
        {yeni, &Tayarlarform::yeniClick},
        {kaydet, &Tayarlarform::kaydetClick},
        {sil, &Tayarlarform::silClick},
        {tarihoku, &Tayarlarform::tarihokuClick},
        {tarihkaydet, &Tayarlarform::tarihkaydetClick},
        {BitBtn4, &Tayarlarform::BitBtn4Click},
        {BitBtn2, &Tayarlarform::BitBtn2Click},
        {personelbuton, &Tayarlarform::personelbutonClick},
        {bagtest, &Tayarlarform::bagtestClick},
        {tumtest, &Tayarlarform::tumtestClick},
        {cikisbuton, &Tayarlarform::cikisbutonClick},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QPushButton::clicked, this,
                [this, handler = handler] { (this->*handler)(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

SettingsCommands& Tayarlarform::Commands() {
    IniFile* file = state_.configFile.get();
    if (file == nullptr) throw AppError(ErrorKind::Usage, "cihazlar.ini açık değil");
    // Made for the cihazlar.ini that is open now (the main window opens it
    // at start and frees it at the end).
    if (file != commandsFile_) {
        commands_ = std::make_unique<SettingsCommands>(cihazlist->grid(), state_.config, *file,
                                                       state_.connection, state_.dialogAnswer,
                                                       *terminalLink_, *view_);
        commandsFile_ = file;
    }
    return *commands_;
}

void Tayarlarform::Run(void (SettingsCommands::*handler)()) {
    RunHandler(this, [this, handler] { (Commands().*handler)(); });
}

// --- window events ---------------------------------------------------------

void Tayarlarform::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Not when the window comes back from being minimised.
    if (!event->spontaneous()) {
        selectOnActivate_ = true;
        FormShow();
    }
}

bool Tayarlarform::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowDeactivate) {
        // The window that takes over is already the active one: none when
        // the user went to another program.
        QWidget* next = QApplication::activeWindow();
        if (next != nullptr && next != this) selectOnActivate_ = true;
    } else if (event->type() == QEvent::WindowActivate && selectOnActivate_) {
        selectOnActivate_ = false;
        FormActivate();
    }
    return handled;
}

void Tayarlarform::keyPressEvent(QKeyEvent* event) {
    // Esc does not close this window; only "Çıkış" and the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Tayarlarform::done(int result) {
    const bool wasShown = isVisible();
    QDialog::done(result);
    if (wasShown) FormClose();
}

void Tayarlarform::FormShow() { Run(&SettingsCommands::ShowDeviceList); }
void Tayarlarform::FormActivate() { Run(&SettingsCommands::SelectFirstDevice); }
void Tayarlarform::FormClose() { Run(&SettingsCommands::WriteBackDevices); }

// --- controls --------------------------------------------------------------

void Tayarlarform::cihazlistSelectCell(int /*column*/, int row) {
    RunHandler(this, [&] { Commands().SelectDevice(row); });
}

void Tayarlarform::cihazlistClick() { Run(&SettingsCommands::ClearClockText); }
void Tayarlarform::yeniClick() { Run(&SettingsCommands::AddDevice); }
void Tayarlarform::silClick() { Run(&SettingsCommands::DeleteSelectedDevice); }
void Tayarlarform::kaydetClick() { Run(&SettingsCommands::SaveDeviceList); }

void Tayarlarform::kayityerieditChange(const QString& text) {
    RunHandler(this, [&] { Commands().SetRecordFile(text.toStdString()); });
}

void Tayarlarform::BitBtn1Click() { Run(&SettingsCommands::ChooseRecordFile); }
void Tayarlarform::personelbutonClick() { Run(&SettingsCommands::OpenPersonnelWindow); }
void Tayarlarform::bagtestClick() { Run(&SettingsCommands::TestSelectedDevice); }
void Tayarlarform::tumtestClick() { Run(&SettingsCommands::TestAllDevices); }
void Tayarlarform::tarihokuClick() { Run(&SettingsCommands::ReadTerminalClock); }
void Tayarlarform::tarihkaydetClick() { Run(&SettingsCommands::WriteTerminalClock); }
void Tayarlarform::BitBtn4Click() { Run(&SettingsCommands::ClearAdministrators); }
void Tayarlarform::BitBtn2Click() { Run(&SettingsCommands::ResetTerminal); }

void Tayarlarform::cikisbutonClick() { close(); }

void Tayarlarform::Timer1Timer() {
    RunHandler(this, [this] {
        if (state_.configFile) {
            Commands().Tick();
            return;
        }
        // cihazlar.ini is gone only while the program ends; the clock and the
        // disconnect still run until then.
        view_->SetPcClockLabel(LocalClockText(std::time(nullptr)));
        terminalLink_->Disconnect();
    });
}

}  // namespace aktarim
