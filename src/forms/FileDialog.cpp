#include "forms/FileDialog.h"

#include <QDir>
#include <QFileDialog>

#include "forms/MessageBox.h"

namespace aktarim {
namespace {

struct Hooks {
    // Outer optional: whether an answer is pending; inner: the path or cancel.
    std::optional<std::optional<QString>> nextAnswer;
    int asked = 0;
};

Hooks& hooks() {
    static Hooks instance;
    return instance;
}

}  // namespace

std::optional<QString> OpenFileDialog::ChooseFile(QWidget* parent) {
    Hooks& h = hooks();
    ++h.asked;
    if (h.nextAnswer) {
        std::optional<QString> answer = *h.nextAnswer;
        h.nextAnswer.reset();
        return answer;
    }
    if (MessageBox::testMode()) return std::nullopt;
    const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("Aç"));
    if (path.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(path);
}

void OpenFileDialog::setNextAnswer(std::optional<QString> answer) {
    hooks().nextAnswer = std::move(answer);
}

int OpenFileDialog::timesAsked() { return hooks().asked; }

}  // namespace aktarim
