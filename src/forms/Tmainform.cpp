#include "forms/Tmainform.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <atomic>
#include <ctime>
#include <exception>
#include <map>
#include <optional>
#include <thread>

#include "core/Errors.h"
#include "core/Transfer.h"
#include "core/TransferLock.h"
#include "forms/FormStyle.h"
#include "forms/GridView.h"
#include "forms/MessageBox.h"
#include "forms/Tayarlarform.h"

namespace aktarim {
namespace {

std::tm LocalToday() {
    const QDateTime now = QDateTime::currentDateTime();
    std::tm today{};
    today.tm_year = now.date().year() - 1900;
    today.tm_mon = now.date().month() - 1;
    today.tm_mday = now.date().day();
    today.tm_hour = now.time().hour();
    today.tm_min = now.time().minute();
    today.tm_sec = now.time().second();
    today.tm_isdst = -1;
    return today;
}

QPushButton* PictureButton(QWidget* parent, const char* name, const QString& text,
                           const QString& picture, QRect bounds, QRgb colour) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(bounds);
    button->setFont(CaptionFont(16, true));
    SetTextColour(button, QColor(colour));
    button->setIcon(PictureIcon(picture, QSize(28, 28)));
    button->setIconSize(QSize(28, 28));
    // Picture, gap and caption inside the button's frame: a caption that
    // would overflow is set a pixel smaller at a time.
    QFont font = button->font();
    const auto needed = [&] {
        return 28 + 4 + QFontMetrics(font).horizontalAdvance(text.trimmed()) + 2 * 6;
    };
    while (needed() > bounds.width() && font.pixelSize() > 11)
        font.setPixelSize(font.pixelSize() - 1);
    button->setFont(font);
    return button;
}

QLabel* Picture(QWidget* parent, const char* name, const QString& picture, QRect bounds) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(bounds);
    label->setPixmap(RenderPicture(picture, bounds.size()));
    return label;
}

QLabel* CaptionLabel(QWidget* parent, const char* name, const QString& text, QPoint topLeft) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(CaptionFont(13, false));
    label->move(topLeft);
    label->adjustSize();
    return label;
}

}  // namespace

// One press of "Bilgileri Aktar": what its thread reads and leaves behind.
struct Tmainform::TransferJob {
    DeviceTable devices;  // a copy: the window's table may change meanwhile
    std::atomic<bool> stop{false};
    std::atomic<bool> deleteAfter{false};
    std::unique_ptr<AttendanceTransfer> transfer;
    std::unique_ptr<TransferLock> lock;  // held until the job is gone
    std::exception_ptr error;
    std::map<int, int> shownPercent;  // the thread's own: progress already sent
    std::thread thread;
    QEventLoop* waiting = nullptr;  // WaitForTransfer's loop
};

const char* const Tmainform::kCaption = "  -Ondera- Parmak İzi Bilgi Transferi (Ver. 1.01)";
const char* const Tmainform::kHelpPage = "yardim.html";

QString Tmainform::HelpPagePath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(kHelpPage));
}

Tmainform::Tmainform(AppState& state, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      state_(state) {
    setObjectName(QStringLiteral("mainform"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setFont(DefaultFormFont());
    setFixedSize(kClientWidth, kClientHeight);
    move(kLeft, kTop);
    BuildControls();
    EnterPressesFocusedButton(this);
    FormCreate();
}

Tmainform::~Tmainform() { StopTransfer(); }

void Tmainform::BuildControls() {
    // The pictures come first so that everything else lies above them.
    Image1 = Picture(this, "Image1", QStringLiteral("banner.svg"), QRect(0, -6, 768, 103));
    Image2 = Picture(this, "Image2", QStringLiteral("bottom.svg"), QRect(-9, 392, 777, 182));
    Image1->installEventFilter(this);
    Image2->installEventFilter(this);

    baglanbuton = PictureButton(this, "baglanbuton", QStringLiteral("Bilgileri Aktar"),
                                QStringLiteral("transfer.svg"), QRect(8, 96, 159, 49), kColourBlue);
    silkontrol = new QCheckBox(this);
    silkontrol->setObjectName(QStringLiteral("silkontrol"));
    silkontrol->setGeometry(14, 160, 19, 33);
    silkontrol->setChecked(true);
    Label1 = CaptionLabel(this, "Label1", QStringLiteral("Kayıtları aktardıktan"), QPoint(38, 160));
    Label2 = CaptionLabel(this, "Label2", QStringLiteral("Sonra sil"), QPoint(38, 180));
    ayarlarbuton = PictureButton(this, "ayarlarbuton", QStringLiteral("Ayarlar"),
                                 QStringLiteral("gear.svg"), QRect(6, 272, 161, 49), kColourMaroon);
    cikisbuton = PictureButton(this, "cikisbuton", QStringLiteral("Çıkış   "),
                               QStringLiteral("exit.svg"), QRect(6, 336, 161, 49), kColourRed);

    GridView1 = new GridView(MainGridColumns(), this);
    GridView1->setObjectName(QStringLiteral("GridView1"));
    GridView1->setGeometry(174, 93, 593, 297);
    GridView1->SetHeaderHeight(18);
    GridView1->SetRowHeight(24);
    GridView1->SetSortable(false);  // the rows must stay paired with the devices
    GridView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QSize picture(50, 50);
    // ImageList2; index 3, the amber sign, is a terminal that was reached
    // but whose log was not taken.
    GridView1->SetPictures({PictureIcon(QStringLiteral("status-none.svg"), picture),
                            PictureIcon(QStringLiteral("status-connected.svg"), picture),
                            PictureIcon(QStringLiteral("status-failed.svg"), picture),
                            PictureIcon(QStringLiteral("status-not-taken.svg"), picture)});

    setTabOrder(ayarlarbuton, GridView1);
    setTabOrder(GridView1, baglanbuton);
    setTabOrder(baglanbuton, silkontrol);
    setTabOrder(silkontrol, cikisbuton);

    connect(baglanbuton, &QPushButton::clicked, this, [this] { baglanbutonClick(); });
    connect(ayarlarbuton, &QPushButton::clicked, this, [this] { ayarlarbutonClick(); });
    connect(cikisbuton, &QPushButton::clicked, this, [this] { cikisbutonClick(); });
    // Every change of the box, by the user or by FormCreate, but not a tick
    // set on a box that is already ticked.
    connect(silkontrol, &QCheckBox::toggled, this, [this] { silkontrolClick(); });
}

void Tmainform::FormCreate() {
    RunHandler(this, [this] {
        if (!state_.configFile)
            state_.configFile =
                std::make_unique<IniFile>(state_.ConfigFilePath(), *state_.fileSystem);
        state_.config = LoadConfiguration(*state_.configFile);
        silkontrol->setChecked(state_.config.deleteAfterTransfer);
        state_.connection.selectedRow = 1;
        GridView1->grid().Clear();
        GridView1->grid().AppendRows(state_.config.devices.deviceCount());
    });
}

void Tmainform::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Not when the window comes back from being minimised.
    if (!event->spontaneous()) FormShow();
}

void Tmainform::FormShow() {
    RunHandler(this, [this] { FillDeviceGrid(GridView1->grid(), state_.config.devices); });
}

void Tmainform::closeEvent(QCloseEvent* event) {
    // The device being read finishes or rolls back; no other is started.
    StopTransfer();
    FormClose();
    event->accept();
}

void Tmainform::FormClose() {
    RunHandler(this, [this] { state_.configFile.reset(); });
}

void Tmainform::silkontrolClick() {
    if (job_) job_->deleteAfter = silkontrol->isChecked();
    RunHandler(this, [this] {
        if (!state_.configFile) return;
        // Our own running transfer holds the lock already.
        std::optional<TransferLock> lock;
        if (!job_)
            lock.emplace(state_.programFolder, state_.ConfigFilePath(),
                         std::chrono::milliseconds(0));
        WriteDeleteOption(*state_.configFile, silkontrol->isChecked());
        state_.config.deleteAfterTransfer = silkontrol->isChecked();
    });
}

void Tmainform::ayarlarbutonClick() {
    if (transferRunning()) return;
    RunHandler(this, [this] {
        if (state_.ayarlarform != nullptr) state_.ayarlarform->exec();
        GridModel& grid = GridView1->grid();
        grid.Clear();
        grid.AppendRows(state_.config.devices.deviceCount());
        FillDeviceGrid(grid, state_.config.devices);
    });
}

void Tmainform::cikisbutonClick() {
    if (transferRunning()) return;
    // exit(), not quit(): quit() would close the windows first, and the close
    // handler must not run on this path.
    QCoreApplication::exit(0);
}

void Tmainform::Image1DblClick() { WebPage::Open(QUrl::fromLocalFile(HelpPagePath())); }

void Tmainform::Image2DblClick() { WebPage::Open(QUrl::fromLocalFile(HelpPagePath())); }

bool Tmainform::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == Image1) Image1DblClick();
        if (watched == Image2) Image2DblClick();
    }
    return QWidget::eventFilter(watched, event);
}

void Tmainform::baglanbutonClick() {
    if (transferRunning()) return;
    RunHandler(this, [this] {
        if (!terminalLink_) {
            if (!state_.makeLink) throw AppError(ErrorKind::Usage, "Cihaz bağlantısı kurulamıyor");
            terminalLink_ = state_.makeLink();
        }
        // Before any file is opened; another transfer running (the scheduled
        // command line, another window) is the standard error box, and
        // nothing is transferred.
        auto lock = std::make_unique<TransferLock>(
            state_.programFolder, state_.config.recordFilePath, std::chrono::milliseconds(0));
        const std::vector<int> devices = StartTransferInGrid(GridView1->grid());
        GridView1->RepaintNow(true);

        auto job = std::make_unique<TransferJob>();
        job->lock = std::move(lock);
        TransferJob* running = job.get();
        job->devices = state_.config.devices;
        job->deleteAfter = silkontrol->isChecked();
        TransferSettings settings;
        settings.programFolder = state_.programFolder;
        settings.recordFilePath = state_.config.recordFilePath;
        settings.deleteAfterTransfer = [running] { return running->deleteAfter.load(); };
        settings.today = LocalToday;
        settings.fileSystem = state_.fileSystem;
        settings.stop = &job->stop;
        settings.newOnly = state_.config.newOnly;
        // Runs on the transfer's thread: every event is queued to the window,
        // but a progress only when its percentage changed, so that a long log
        // does not flood the event loop.
        auto listener = [this, running](const TransferEvent& event) {
            if (const auto* progress = std::get_if<RecordProgress>(&event)) {
                int& shown =
                    running->shownPercent.try_emplace(progress->device(), -1).first->second;
                if (shown == progress->percent()) return;
                shown = progress->percent();
            }
            QMetaObject::invokeMethod(
                this, [this, event] { ShowTransferEvent(GridView1->grid(), event); },
                Qt::QueuedConnection);
        };
        job->transfer = std::make_unique<AttendanceTransfer>(job->devices, *terminalLink_, listener,
                                                             std::move(settings));
        QApplication::setOverrideCursor(Qt::BusyCursor);
        job_ = std::move(job);
        running->thread = std::thread([this, running, devices] {
            try {
                running->transfer->Run(devices);
            } catch (...) {
                running->error = std::current_exception();
            }
            QMetaObject::invokeMethod(
                this, [this] { FinishTransfer(); }, Qt::QueuedConnection);
        });
    });
}

void Tmainform::FinishTransfer() {
    if (!job_) return;
    std::unique_ptr<TransferJob> job = std::move(job_);
    if (job->thread.joinable()) job->thread.join();
    if (job->waiting != nullptr) job->waiting->quit();
    QApplication::restoreOverrideCursor();
    state_.transferRow = job->transfer->transferRow();
    GridView1->RepaintNow(true);
    // The error that ended the transfer reaches the standard error box here,
    // on the interface thread.
    if (job->error) RunHandler(this, [&job] { std::rethrow_exception(job->error); });
}

void Tmainform::StopTransfer() {
    if (!job_) return;
    job_->stop = true;
    if (job_->thread.joinable()) job_->thread.join();
    // The events still queued show what the thread did before it ended.
    QCoreApplication::sendPostedEvents(this);
    FinishTransfer();
}

void Tmainform::WaitForTransfer() {
    if (!job_) return;
    QEventLoop loop;
    job_->waiting = &loop;
    loop.exec();
}

}  // namespace aktarim
