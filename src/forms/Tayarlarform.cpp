#include "forms/Tayarlarform.h"

#include "forms/AppState.h"
#include "forms/FormStyle.h"

namespace aktarim {

Tayarlarform::Tayarlarform(AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      state_(state) {
    setObjectName(QStringLiteral("ayarlarform"));
    setWindowTitle(QStringLiteral("Ayarlar"));
    setFont(DefaultFormFont());
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
}

}  // namespace aktarim
