#include "forms/FormStyle.h"

#include <QApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <QWidget>

// Outside any namespace: the resource's initialiser is a global function.
static void InitAktarimResources() { Q_INIT_RESOURCE(aktarim); }

namespace aktarim {

QFont DefaultFormFont() {
    QFont font = QApplication::font();
    font.setPointSize(8);
    return font;
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
