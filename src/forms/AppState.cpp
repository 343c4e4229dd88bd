#include "forms/AppState.h"

#include "terminal/LinkOptions.h"
#include "terminal/WireLink.h"

namespace aktarim {

void UseWireLinks(AppState& state) {
    state.makeLink = [&state]() -> std::unique_ptr<TerminalLink> {
        if (!state.configFile) return std::make_unique<WireLink>();
        return std::make_unique<WireLink>(LoadLinkOptions(*state.configFile));
    };
}

}  // namespace aktarim
