#include "forms/MessageBox.h"

#include <QDesktopServices>
#include <optional>

#include "core/Errors.h"

namespace aktarim {
namespace {

// The hooks' state; only tests change it.
struct Hooks {
    bool testMode = false;
    std::optional<MessageBox::Answer> nextAnswer;
    std::vector<MessageBox::Shown> shown;
    std::vector<QUrl> opened;
};

Hooks& hooks() {
    static Hooks instance;
    return instance;
}

}  // namespace

QString MessageBox::Caption() { return QStringLiteral("Aktarım"); }

MessageBox::Answer MessageBox::Show(QWidget* parent, Kind kind, const QString& text,
                                    QMessageBox::StandardButtons buttons, Answer defaultButton) {
    Hooks& h = hooks();
    if (h.testMode) h.shown.push_back({kind, Caption(), text});
    if (h.nextAnswer) {
        const Answer answer = *h.nextAnswer;
        h.nextAnswer.reset();
        return answer;
    }
    if (h.testMode) return defaultButton;
    QMessageBox box(kind == Kind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, Caption(),
                    text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<Answer>(box.exec());
}

void MessageBox::setNextAnswer(Answer answer) { hooks().nextAnswer = answer; }
void MessageBox::setTestMode(bool on) { hooks().testMode = on; }
bool MessageBox::testMode() { return hooks().testMode; }
const std::vector<MessageBox::Shown>& MessageBox::shown() { return hooks().shown; }
void MessageBox::clearShown() { hooks().shown.clear(); }

void ShowMessage(QWidget* parent, const QString& text) {
    MessageBox::Show(parent, MessageBox::Kind::Message, text);
}

void ShowError(QWidget* parent, const QString& text) {
    MessageBox::Show(parent, MessageBox::Kind::Error, text);
}

bool RunHandler(QWidget* parent, const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const AppError& error) {
        ShowError(parent, QString::fromStdString(error.what()));
    } catch (const std::exception& error) {
        ShowError(parent, QString::fromStdString(error.what()));
    } catch (...) {
        ShowError(parent, QStringLiteral("Beklenmeyen hata"));
    }
    return false;
}

void WebPage::Open(const QUrl& url) {
    if (hooks().testMode)
        hooks().opened.push_back(url);
    else
        QDesktopServices::openUrl(url);
}

const std::vector<QUrl>& WebPage::opened() { return hooks().opened; }
void WebPage::clearOpened() { hooks().opened.clear(); }

}  // namespace aktarim
