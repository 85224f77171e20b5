#include "settings/Application.h"

#include <QtGlobal>

#include "platform/Beep.h"
#include "platform/StdMessage.h"

namespace app {
namespace {
// The newest application not yet destroyed; each one remembers the one before it.
Application* g_current = nullptr;
}  // namespace

Application::Application(Hooks hooks) : previous_(g_current), hooks_(std::move(hooks)) {
    g_current = this;
    installHooks();
}

Application::~Application() {
    // The parts go first, while the context and the settings they may write are still here;
    // a part that a going part asks for on its way out goes too.
    while (!parts_.empty()) {
        std::map<std::type_index, std::unique_ptr<Part>> going = std::move(parts_);
        parts_.clear();
        going.clear();
    }
    g_current = previous_;
    if (previous_) {
        previous_->installHooks();
    } else {
        platform::SetBeepHandler({});
        platform::SetStdMessageHandler({});
    }
}

Application& Application::Current() {
    if (!g_current) qFatal("FOLDEX: no application object (main creates it)");
    return *g_current;
}

void Application::setHooks(Hooks hooks) {
    hooks_ = std::move(hooks);
    if (g_current == this) installHooks();
}

platform::ProcessStarter& Application::starter() {
    return hooks_.starter ? *hooks_.starter : systemStarter_;
}

// The platform lies below the application and cannot see it: it is handed the hooks.
void Application::installHooks() {
    platform::SetBeepHandler(hooks_.beep);
    platform::SetStdMessageHandler(hooks_.standardMessage);
}

}  // namespace app
