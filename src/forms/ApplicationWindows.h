#pragma once
// The four windows of the program, created in their order: the main window
// first (its creation loads the configuration), then the settings window, the
// personnel window and the warning dialog, all three hidden. They live as long
// as this object, and the state knows where to find them.
#include "forms/AppState.h"
#include "forms/Tayarlarform.h"
#include "forms/Tmainform.h"
#include "forms/Tpersonelform.h"
#include "forms/Tuyariform.h"

namespace aktarim {

struct ApplicationWindows {
    explicit ApplicationWindows(AppState& state)
        : mainform(state), ayarlarform(state), personelform(state), uyariform(state) {
        state.ayarlarform = &ayarlarform;
        state.personelform = &personelform;
        state.uyariform = &uyariform;
    }

    // Declared in creation order.
    Tmainform mainform;
    Tayarlarform ayarlarform;
    Tpersonelform personelform;
    Tuyariform uyariform;
};

}  // namespace aktarim
