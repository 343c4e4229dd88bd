#include "forms/Tpersonelform.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <initializer_list>
#include <string>

#include "core/Errors.h"
#include "forms/AppState.h"
#include "forms/FormStyle.h"
#include "forms/GridView.h"
#include "forms/MessageBox.h"
#include "personnel/PersonnelCommands.h"
#include "personnel/PersonnelStore.h"

namespace aktarim {
namespace {

constexpr QSize kArrowSize(20, 20);
constexpr QSize kDeleteSize(22, 22);

QPushButton* Button(QWidget* parent, const char* name, const QString& text, QRect bounds,
                    const QFont& font) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(bounds);
    button->setFont(font);
    // Enter must never press a button the user did not aim at ("Sil" asks
    // nothing before it deletes).
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The picture goes right of the caption, as on the arrows of the panels.
void SetPictureRightOfCaption(QPushButton* button, const QString& picture, QSize size) {
    button->setIcon(PictureIcon(picture, size));
    button->setIconSize(size);
    button->setLayoutDirection(Qt::RightToLeft);
}

// The sizes were made for the form font; where a caption still does not
// fit, the buttons of a row are set condensed and, if need be, smaller, all
// of them alike so that the row reads as one.
void FitCaptions(std::initializer_list<QPushButton*> buttons) {
    QFont font = (*buttons.begin())->font();
    auto fits = [&] {
        for (const QPushButton* button : buttons)
            if (QFontMetrics(font).horizontalAdvance(button->text()) > button->width() - 6)
                return false;
        return true;
    };
    if (!fits()) font.setStretch(QFont::SemiCondensed);
    while (!fits() && font.pointSizeF() > 6.0) font.setPointSizeF(font.pointSizeF() - 0.5);
    for (QPushButton* button : buttons) button->setFont(font);
}

QFrame* Panel(QWidget* parent, const char* name, QRect bounds) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setGeometry(bounds);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

// A heading panel: raised, its caption centred.
QLabel* CaptionPanel(QWidget* parent, const char* name, const QString& text, QRect bounds) {
    auto* panel = new QLabel(text, parent);
    panel->setObjectName(QLatin1String(name));
    panel->setGeometry(bounds);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFont(CaptionFont(13, true));
    SetTextColour(panel, QColor(kColourNavy));
    return panel;
}

// A label across the width of its panel, centred.
QLabel* PanelLabel(QFrame* panel, const char* name, const QString& text, int top, int height,
                   const QFont& font, QRgb colour) {
    auto* label = new QLabel(text, panel);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(2, top, panel->width() - 4, height);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(font);
    SetTextColour(label, QColor(colour));
    return label;
}

GridView* PersonnelGrid(QWidget* parent, const char* name, std::vector<GridColumn> columns,
                        QRect bounds) {
    auto* view = new GridView(std::move(columns), parent);
    view->setObjectName(QLatin1String(name));
    view->setGeometry(bounds);
    view->SetHeaderHeight(Tpersonelform::kHeaderHeight);
    view->SetRowHeight(Tpersonelform::kRowHeight);
    view->SetWholeRowSelection(true);
    view->SetHideSelectionWhenUnfocused(true);
    view->SetSortable(true);
    return view;
}

// A picture of ImageList1, crisp at its own size and at the size a 16-pixel
// row leaves for it.
QIcon ListPicture(const QString& name) {
    const QSize size(Tpersonelform::kPictureSize, Tpersonelform::kPictureSize);
    QIcon icon = PictureIcon(name, size);
    icon.addPixmap(RenderPicture(name, size - QSize(2, 2)));
    return icon;
}

}  // namespace

// What the commands ask of the window, drawn on its controls.
class Tpersonelform::View : public PersonnelView {
  public:
    explicit View(Tpersonelform& form) : form_(form) {}

    void ShowProgress(const std::string& caption) override {
        form_.GroupBox1->setTitle(QString::fromStdString(caption));
        form_.GroupBox1->show();
        form_.GroupBox1->repaint();
    }
    // QProgressBar paints at once when its value shows differently.
    void SetProgress(int percent) override { form_.ProgressBar1->setValue(percent); }
    void HideProgress() override { form_.GroupBox1->hide(); }
    void RepaintTerminalGrid() override { form_.grid->RepaintNow(); }
    void RepaintStoreGrid() override { form_.griddisk->RepaintNow(); }
    void RepaintProgress() override { form_.RepaintProgressBar(); }
    void ScrollTerminalTo(int row) override { form_.grid->ScrollToRow(row); }
    void ScrollStoreTo(int row) override { form_.griddisk->ScrollToRow(row); }
    void ShowMessage(const std::string& text) override {
        aktarim::ShowMessage(&form_, QString::fromStdString(text));
    }
    void CloseWindow() override { form_.CloseWindow(); }

  private:
    Tpersonelform& form_;
};

Tpersonelform::Tpersonelform(AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      state_(state),
      progressPaint_([this] { ProgressBar1->repaint(); }) {
    setObjectName(QStringLiteral("personelform"));
    setWindowTitle(QStringLiteral("Personel"));
    setFont(DefaultFormFont());
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    move(kLeft, kTop);
    BuildControls();
    EnterPressesFocusedButton(this);
}

Tpersonelform::~Tpersonelform() = default;

void Tpersonelform::BuildControls() {
    Panel3 =
        CaptionPanel(this, "Panel3", QStringLiteral("Cihazdaki Kayıtlar"), QRect(8, 8, 425, 25));
    grid = PersonnelGrid(this, "grid", TerminalGridColumns(), QRect(8, 40, 425, 409));
    Panel4 = CaptionPanel(this, "Panel4", QStringLiteral("Bilgisayardaki Kayıtlar"),
                          QRect(560, 8, 425, 25));
    griddisk = PersonnelGrid(this, "griddisk", StoreGridColumns(), QRect(560, 40, 425, 409));
    // ImageList1: no fingerprint, fingerprint, and a white box no value selects.
    griddisk->SetPictures({ListPicture(QStringLiteral("no-fingerprint.svg")),
                           ListPicture(QStringLiteral("fingerprint.svg")),
                           ListPicture(QStringLiteral("blank.svg"))});

    const QFont panelHeading = CaptionFont(16, true);
    const QFont panelNote = CaptionFont(11, true);
    const QFont panelButton = CaptionFont(13, true);

    Panel1 = Panel(this, "Panel1", QRect(440, 40, 113, 193));
    Label1 = PanelLabel(Panel1, "Label1", QStringLiteral("Personel"), 8, 20, panelHeading,
                        kColourMaroon);
    Label2 = PanelLabel(Panel1, "Label2", QStringLiteral("Bilgileri"), 28, 20, panelHeading,
                        kColourMaroon);
    Label3 = PanelLabel(Panel1, "Label3", QStringLiteral("(İsim, Kartno "), 54, 15, panelNote,
                        kColourBlue);
    Label4 = PanelLabel(Panel1, "Label4", QStringLiteral("Yetki Durumu)"), 69, 15, panelNote,
                        kColourBlue);
    personelgonderbuton = Button(Panel1, "personelgonderbuton", QStringLiteral("Gönder"),
                                 QRect(8, 92, 97, 41), panelButton);
    SetPictureRightOfCaption(personelgonderbuton, QStringLiteral("arrow-left.svg"), kArrowSize);
    personelalbuton =
        Button(Panel1, "personelalbuton", QStringLiteral("Al"), QRect(8, 140, 97, 41), panelButton);
    SetPictureRightOfCaption(personelalbuton, QStringLiteral("arrow-right.svg"), kArrowSize);

    Panel2 = Panel(this, "Panel2", QRect(440, 240, 113, 153));
    Label5 = PanelLabel(Panel2, "Label5", QStringLiteral("Parmak İzi"), 8, 20, panelHeading,
                        kColourMaroon);
    Label6 = PanelLabel(Panel2, "Label6", QStringLiteral("Kayıtları"), 28, 20, panelHeading,
                        kColourMaroon);
    parmakizigonderbuton = Button(Panel2, "parmakizigonderbuton", QStringLiteral("Gönder"),
                                  QRect(8, 56, 97, 41), panelButton);
    SetTextColour(parmakizigonderbuton, QColor(kColourBlue));
    SetPictureRightOfCaption(parmakizigonderbuton, QStringLiteral("arrow-left.svg"), kArrowSize);
    parmakizialbuton = Button(Panel2, "parmakizialbuton", QStringLiteral("Al"),
                              QRect(8, 104, 97, 41), panelButton);
    SetTextColour(parmakizialbuton, QColor(kColourBlue));
    SetPictureRightOfCaption(parmakizialbuton, QStringLiteral("arrow-right.svg"), kArrowSize);

    silbuton = Button(this, "silbuton", QStringLiteral("Sil"), QRect(440, 408, 113, 41),
                      CaptionFont(16, true));
    SetTextColour(silbuton, QColor(kColourMaroon));
    silbuton->setIcon(PictureIcon(QStringLiteral("delete.svg"), kDeleteSize));
    silbuton->setIconSize(kDeleteSize);

    const QFont selectionFont = DefaultFormFont();
    ctumsec =
        Button(this, "ctumsec", QStringLiteral("Tümünü Seç"), QRect(8, 456, 75, 25), selectionFont);
    cseckaldir = Button(this, "cseckaldir", QStringLiteral("Seçimi kaldır"), QRect(88, 456, 75, 25),
                        selectionFont);
    cdigersec = Button(this, "cdigersec", QStringLiteral("Diğerlerini Seç"),
                       QRect(168, 456, 75, 25), selectionFont);
    dtumsec = Button(this, "dtumsec", QStringLiteral("Tümünü Seç"), QRect(744, 456, 75, 25),
                     selectionFont);
    dseckaldir = Button(this, "dseckaldir", QStringLiteral("Seçimi kaldır"),
                        QRect(824, 456, 75, 25), selectionFont);
    ddigersec = Button(this, "ddigersec", QStringLiteral("Diğerlerini Seç"),
                       QRect(904, 456, 75, 25), selectionFont);

    FitCaptions({ctumsec, cseckaldir, cdigersec, dtumsec, dseckaldir, ddigersec});

    GroupBox1 = new QGroupBox(QStringLiteral("Cihazdaki personeller yükleniyor"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(352, 464, 281, 57);
    ProgressBar1 = new QProgressBar(GroupBox1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(16, 24, 241, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    GroupBox1->hide();

    cikisbuton = Button(this, "cikisbuton", QStringLiteral("Çıkış"), QRect(840, 504, 137, 41),
                        CaptionFont(16, true));
    SetTextColour(cikisbuton, QColor(kColourBlue));

    setTabOrder(grid, griddisk);
    setTabOrder(griddisk, personelgonderbuton);
    setTabOrder(personelgonderbuton, personelalbuton);
    setTabOrder(personelalbuton, parmakizigonderbuton);
    setTabOrder(parmakizigonderbuton, parmakizialbuton);
    setTabOrder(parmakizialbuton, silbuton);
    setTabOrder(silbuton, ctumsec);
    setTabOrder(ctumsec, cseckaldir);
    setTabOrder(cseckaldir, cdigersec);
    setTabOrder(cdigersec, dtumsec);
    setTabOrder(dtumsec, dseckaldir);
    setTabOrder(dseckaldir, ddigersec);
    setTabOrder(ddigersec, cikisbuton);

    // The grids run these through RunHandler themselves.
    grid->onAfterSort = [this](int) { gridSortColumn(); };
    griddisk->onAfterSort = [this](int) { griddiskSortColumn(); };
    griddisk->onAfterEdit = [this](int column, int row) { griddiskAfterEdit(column, row); };

    const auto on = [this](QPushButton* button, void (Tpersonelform::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    on(ctumsec, &Tpersonelform::ctumsecClick);
    on(cseckaldir, &Tpersonelform::cseckaldirClick);
    on(cdigersec, &Tpersonelform::cdigersecClick);
    on(dtumsec, &Tpersonelform::dtumsecClick);
    on(dseckaldir, &Tpersonelform::dseckaldirClick);
    on(ddigersec, &Tpersonelform::ddigersecClick);
    on(cikisbuton, &Tpersonelform::cikisbutonClick);
    on(personelalbuton, &Tpersonelform::personelalbutonClick);
    on(personelgonderbuton, &Tpersonelform::personelgonderbutonClick);
    on(parmakizialbuton, &Tpersonelform::parmakizialbutonClick);
    on(parmakizigonderbuton, &Tpersonelform::parmakizigonderbutonClick);
    on(silbuton, &Tpersonelform::silbutonClick);
}

PersonnelCommands& Tpersonelform::Commands() {
    if (!commands_) {
        if (!state_.makeLink) throw AppError(ErrorKind::Usage, "Cihaz bağlantısı kurulamıyor");
        terminalLink_ = state_.makeLink();
        store_ = std::make_unique<PersonnelStore>(state_.programFolder, *state_.fileSystem);
        view_ = std::make_unique<View>(*this);
        commands_ = std::make_unique<PersonnelCommands>(grid->grid(), griddisk->grid(), *store_,
                                                        *terminalLink_, state_.connection, *view_);
    }
    return *commands_;
}

void Tpersonelform::Run(void (PersonnelCommands::*handler)()) {
    RunHandler(this, [this, handler] { (Commands().*handler)(); });
}

void Tpersonelform::CloseWindow() {
    if (showing_)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    else
        close();
}

void Tpersonelform::RepaintProgressBar() { progressPaint_.Request(); }

// --- window events -------------------------------------------------------------

void Tpersonelform::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Not when the window comes back from being minimised.
    if (event->spontaneous()) return;
    showing_ = true;
    FormShow();
    showing_ = false;
}

bool Tpersonelform::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    // A late activation of a window already closed must not load again.
    if (event->type() == QEvent::WindowActivate && isVisible()) FormActivate();
    return handled;
}

void Tpersonelform::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

void Tpersonelform::done(int result) {
    FormClose();
    QDialog::done(result);
}

void Tpersonelform::FormShow() { Run(&PersonnelCommands::ConnectTerminal); }

void Tpersonelform::FormActivate() {
    if (!commands_) return;
    // The whole window is drawn before the long load blocks the event loop.
    if (state_.connection.personnelConnected) repaint();
    Run(&PersonnelCommands::LoadBothLists);
    // The load leaves the terminal grid sorted by Per.No; show it the way a
    // header click would, unless the user has sorted since.
    QHeaderView* header = grid->horizontalHeader();
    if (state_.connection.personnelConnected && !header->isSortIndicatorShown()) {
        header->setSortIndicatorShown(true);
        header->setSortIndicator(kPersonnelColumnPerNo, Qt::AscendingOrder);
    }
}

void Tpersonelform::FormClose() {
    if (!commands_) return;
    RunHandler(this, [this] { commands_->Release(); });
    grid->horizontalHeader()->setSortIndicatorShown(false);
    griddisk->horizontalHeader()->setSortIndicatorShown(false);
}

void Tpersonelform::griddiskAfterEdit(int column, int row) {
    RunHandler(this, [&] { Commands().StoreEditedCell(column, row); });
}

void Tpersonelform::gridSortColumn() { Run(&PersonnelCommands::RecolourTerminalRows); }
void Tpersonelform::griddiskSortColumn() { Run(&PersonnelCommands::RecolourStoreRows); }

// --- buttons -------------------------------------------------------------------

void Tpersonelform::ctumsecClick() { Run(&PersonnelCommands::TickAllTerminalRows); }
void Tpersonelform::cseckaldirClick() { Run(&PersonnelCommands::UntickAllTerminalRows); }
void Tpersonelform::cdigersecClick() { Run(&PersonnelCommands::InvertTerminalTicks); }
void Tpersonelform::dtumsecClick() { Run(&PersonnelCommands::TickAllStoreRows); }
void Tpersonelform::dseckaldirClick() { Run(&PersonnelCommands::UntickAllStoreRows); }
void Tpersonelform::ddigersecClick() { Run(&PersonnelCommands::InvertStoreTicks); }
void Tpersonelform::cikisbutonClick() { Run(&PersonnelCommands::Exit); }
void Tpersonelform::personelalbutonClick() { Run(&PersonnelCommands::CopyPersonnelToStore); }
void Tpersonelform::personelgonderbutonClick() { Run(&PersonnelCommands::CopyPersonnelToTerminal); }
void Tpersonelform::parmakizialbutonClick() { Run(&PersonnelCommands::CopyTemplatesToStore); }
void Tpersonelform::parmakizigonderbutonClick() {
    Run(&PersonnelCommands::CopyTemplatesToTerminal);
}
void Tpersonelform::silbutonClick() { Run(&PersonnelCommands::DeleteTicked); }

}  // namespace aktarim
