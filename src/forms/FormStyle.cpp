#include "forms/FormStyle.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QWidget>

// Outside any namespace: the resource's initialiser is a global function.
static void InitAktarimResources() { Q_INIT_RESOURCE(aktarim); }

namespace aktarim {

QString FormFontFamily() {
#ifdef Q_OS_WIN
    return QStringLiteral("MS Sans Serif");
#else
    return QStringLiteral("Liberation Sans");
#endif
}

QFont DefaultFormFont() {
    QFont font(FormFontFamily());
    // Same widths under another name, where the first is missing.
#ifdef Q_OS_WIN
    font.setPointSize(8);
#else
    // 10 pixels: the widths of the 8-point bitmap font, at any screen
    // resolution, so that the texts fit the columns made for it.
    font.setFamilies({FormFontFamily(), QStringLiteral("Arimo"), QStringLiteral("Arial")});
    font.setPixelSize(10);
#endif
    return font;
}

QFont FormFont(int points, bool bold) {
    QFont font = DefaultFormFont();
#ifdef Q_OS_WIN
    font.setPointSize(points);
#else
    font.setPixelSize(qRound(points * 10 / 8.0));
#endif
    font.setBold(bold);
    return font;
}

namespace {

class EnterOnButton : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button == nullptr || !button->hasFocus() || !button->isEnabled()) return false;
        if (!key->isAutoRepeat()) button->click();
        return true;
    }
};

}  // namespace

void EnterPressesFocusedButton(QWidget* root) {
    static EnterOnButton* const filter = new EnterOnButton(qApp);
    for (QPushButton* button : root->findChildren<QPushButton*>())
        button->installEventFilter(filter);
}

QFont CaptionFont(int pixelHeight, bool bold) {
    QFont font = DefaultFormFont();
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

void SetTextColour(QWidget* widget, QColor colour) {
    QPalette palette = widget->palette();
    for (const QPalette::ColorRole role :
         {QPalette::ButtonText, QPalette::WindowText, QPalette::Text})
        palette.setColor(role, colour);
    widget->setPalette(palette);
}

void InitFormResources() {
    static const bool done = [] {
        InitAktarimResources();
        return true;
    }();
    (void)done;
}

QPixmap RenderPicture(const QString& name, QSize size) {
    InitFormResources();
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/pictures/") + name);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QIcon PictureIcon(const QString& name, QSize size) {
    QIcon icon;
    icon.addPixmap(RenderPicture(name, size));
    // A sharper copy for scaled screens and for large cells.
    icon.addPixmap(RenderPicture(name, size * 2));
    return icon;
}

}  // namespace aktarim
