#include "forms/AppState.h"

#include "terminal/LinkOptions.h"
#include "terminal/WireLink.h"

namespace aktarim {

void UseWireLinks(AppState& state, std::shared_ptr<WireTrace> trace) {
    state.makeLink = [&state, trace]() -> std::unique_ptr<TerminalLink> {
        LinkOptions options = state.configFile ? LoadLinkOptions(*state.configFile) : LinkOptions{};
        options.trace = trace;
        return std::make_unique<WireLink>(std::move(options));
    };
}

}  // namespace aktarim
