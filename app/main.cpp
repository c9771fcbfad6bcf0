// The program entry: the application with its title, the main window, the
// message loop until the window closes.
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/qt/application.h"
#include "platform/qt/fonts.h"
#include "platform/qt/termination.h"

int main(int argc, char** argv) {
    // The parameters are taken before the toolkit sees them, so a path that
    // looks like a toolkit option is still listed.
    std::vector<std::string> params(argv + (argc > 0 ? 1 : 0), argv + argc);
    kt::TApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kt::kProgramTitle));
    kt::InstallJapaneseFontFallback();
    QApplication::setFont(kt::DesignFont(12));

    kt::TFormMain form(std::move(params));
    kt::CloseOnTerminationSignals(&form);
    form.show();
    return app.exec();
}
