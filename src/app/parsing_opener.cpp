#include "app/parsing_opener.h"

#include "app/main_context.h"
#include "common/data_folder.h"
#include "ui/parsing_window.h"

#include <QPointer>

#include <memory>

namespace velto::app {

void installParsingOpener(MainContext& ctx)
{
    auto window = std::make_shared<QPointer<ui::ParsingWindow>>();
    ctx.tools.parsing = [&ctx, window]() -> QWidget* {
        if (!*window)
            *window = new ui::ParsingWindow(ctx.window, ctx.prompter, &ensureDataFolder, &ctx.window);
        return window->get();
    };
}

} // namespace velto::app
