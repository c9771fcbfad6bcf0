// The program entry: the application with its title, the main window, the
// message loop until the window closes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/start_options.h"
#include "platform/qt/application.h"
#include "platform/qt/fonts.h"
#include "platform/qt/termination.h"
#include "platform/qt/translations.h"

int main(int argc, char** argv) {
    // The parameters are taken before the toolkit sees them, so a path that
    // looks like a toolkit option is still listed.
    std::vector<std::string> params(argv + (argc > 0 ? 1 : 0), argv + argc);
    switch (kt::StartRequestOf(params)) {
        case kt::StartRequest::Usage:
            std::fputs(kt::UsageText().c_str(), stdout);
            return 0;
        case kt::StartRequest::Version:
            std::fputs(kt::VersionText().c_str(), stdout);
            return 0;
        case kt::StartRequest::Window:
            break;
    }
    // Without a display the toolkit would abort; one line says why instead.
    if (!kt::DisplayAvailable(std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                              std::getenv("WAYLAND_DISPLAY"))) {
        std::fputs(
            "KalvoraTrindle: the window needs a graphical session (no DISPLAY or "
            "WAYLAND_DISPLAY is set); for terminals and scripts use kaltri.\n",
            stderr);
        return 1;
    }
    kt::TApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kt::kProgramTitle));
    kt::InstallJapaneseQtTranslations();
    kt::InstallJapaneseFontFallback();
    QApplication::setFont(kt::DesignFont(12));

    kt::TFormMain form(kt::PathParams(params));
    kt::CloseOnTerminationSignals(&form);
    form.show();
    return app.exec();
}
