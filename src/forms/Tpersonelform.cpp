#include "forms/Tpersonelform.h"

#include "forms/AppState.h"
#include "forms/FormStyle.h"

namespace aktarim {

Tpersonelform::Tpersonelform(AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      state_(state) {
    setObjectName(QStringLiteral("personelform"));
    setWindowTitle(QStringLiteral("Personel"));
    setFont(DefaultFormFont());
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
}

}  // namespace aktarim
