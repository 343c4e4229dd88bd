// Qt's own texts in Turkish: the file dialog behind "Değiştir" and the edit
// boxes' context menus.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <memory>

#include "forms/Language.h"

namespace aktarim {
namespace {

TEST(TurkishTranslations, FileDialogAndContextMenusSpeakTurkish) {
    ASSERT_TRUE(InstallTurkishTranslations(QCoreApplication::applicationDirPath()));
    EXPECT_EQ(QLocale().language(), QLocale::Turkish);

    QLineEdit edit(QStringLiteral("metin"));
    edit.selectAll();
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    const QStringList english = {"&Undo",  "&Redo",  "Cu&t",      "&Copy",
                                 "&Paste", "Delete", "Select All"};
    int actions = 0;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        ++actions;
        // The caption before its shortcut.
        const QString caption = action->text().section(QLatin1Char('\t'), 0, 0);
        EXPECT_FALSE(english.contains(caption)) << caption.toStdString();
    }
    EXPECT_GE(actions, 6);
    const QStringList texts = [&] {
        QStringList list;
        for (const QAction* action : menu->actions())
            list << action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
        return list;
    }();
    EXPECT_TRUE(texts.contains(QStringLiteral("Kopyala"))) << texts.join(", ").toStdString();

    QFileDialog dialog(nullptr, QStringLiteral("Aç"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList englishDialog = {"&Open",    "Open",       "Cancel",
                                       "Look in:", "File name:", "Files of type:"};
    int seen = 0;
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty()) continue;
        ++seen;
        EXPECT_FALSE(englishDialog.contains(button->text())) << button->text().toStdString();
    }
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        ++seen;
        EXPECT_FALSE(englishDialog.contains(label->text())) << label->text().toStdString();
    }
    EXPECT_GE(seen, 4);
}

}  // namespace
}  // namespace aktarim
