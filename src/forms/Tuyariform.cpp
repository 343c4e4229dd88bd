#include "forms/Tuyariform.h"

#include "forms/AppState.h"
#include "forms/FormStyle.h"

namespace aktarim {

Tuyariform::Tuyariform(AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      state_(state) {
    setObjectName(QStringLiteral("uyariform"));
    setWindowTitle(QStringLiteral("Uyarı"));
    setFont(DefaultFormFont());
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
}

}  // namespace aktarim
