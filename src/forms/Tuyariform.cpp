#include "forms/Tuyariform.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <initializer_list>

#include "forms/AppState.h"
#include "forms/FormStyle.h"
#include "forms/MessageBox.h"
#include "settings/SettingsCommands.h"

namespace aktarim {
namespace {

QLabel* BoldLabel(QWidget* parent, const char* name, QRect bounds) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setGeometry(bounds);
    return label;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, QRect bounds) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(bounds);
    button->setAutoDefault(false);
    return button;
}

// The lines were laid out for a narrow 8-point face; with a wider one both
// lines are made smaller alike until each fits its label, so no word is cut
// off.
QFont FittingFont(const QFont& base, std::initializer_list<const QLabel*> labels) {
    constexpr qreal kSmallestPoints = 6.0;
    QFont font = base;
    auto fits = [&] {
        for (const QLabel* label : labels)
            if (QFontMetrics(font).horizontalAdvance(label->text()) > label->width()) return false;
        return true;
    };
    while (font.pointSizeF() > kSmallestPoints && !fits())
        font.setPointSizeF(font.pointSizeF() - 0.25);
    return font;
}

}  // namespace

Tuyariform::Tuyariform(AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      state_(state) {
    setObjectName(QStringLiteral("uyariform"));
    setWindowTitle(QStringLiteral("Uyarı"));
    setFont(DefaultFormFont());
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    move(kLeft, kTop);
    BuildControls();
    EnterPressesFocusedButton(this);
}

void Tuyariform::BuildControls() {
    // The picture is drawn a little smaller than its frame, like the bitmap
    // it stands for.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(24, 14, 33, 39);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(RenderPicture(QStringLiteral("warning.svg"), QSize(31, 33)));

    Label1 = BoldLabel(this, "Label1", QRect(72, 16, 345, 13));
    Label2 = BoldLabel(this, "Label2", QRect(72, 32, 345, 13));
    evetbuton = Button(this, "evetbuton", QStringLiteral("Evet"), QRect(136, 64, 81, 25));
    hayirbuton = Button(this, "hayirbuton", QStringLiteral("Hayır"), QRect(232, 64, 81, 25));

    connect(evetbuton, &QPushButton::clicked, this, [this] { evetbutonClick(); });
    connect(hayirbuton, &QPushButton::clicked, this, [this] { hayirbutonClick(); });
}

void Tuyariform::PrepareQuestion(const QString& line1, const QString& line2) {
    Label1->setText(line1);
    Label2->setText(line2);
    // The outer size 465 x 139 is this client area inside the frame.
    setFixedSize(kClientWidth, kClientHeight);
    Label1->setGeometry(72, 16, 345, 13);
    Label2->setGeometry(72, 32, 345, 13);
    QFont bold = font();
    bold.setBold(true);
    const QFont fitting = FittingFont(bold, {Label1, Label2});
    Label1->setFont(fitting);
    Label2->setFont(fitting);
    evetbuton->setVisible(true);
    hayirbuton->setVisible(true);
}

void Tuyariform::evetbutonClick() {
    RunHandler(this, [this] {
        state_.dialogAnswer = kDialogYes;
        close();
    });
}

void Tuyariform::hayirbutonClick() {
    RunHandler(this, [this] {
        state_.dialogAnswer = kDialogNo;
        close();
    });
}

}  // namespace aktarim
