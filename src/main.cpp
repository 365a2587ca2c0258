#include "shell/AppState.h"
#include "shell/ApplicationSetup.h"
#include "shell/Clock.h"
#include "shell/Paths.h"
#include "shell/Settings.h"
#include "shell/SingleInstance.h"
#include "shell/WidgetPrompter.h"
#include "shell/frmAMain.h"
#include "shell/frmSplash.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);

    const Paths paths = Paths::fromEnvironment();
    SingleInstance instance(SingleInstance::keyFor(paths.dataDir()));
    if (instance.handOverToRunning())
        return 0;
    instance.listen();

    frmSplash splash;
    splash.show();
    splash.repaint();
    QApplication::processEvents();

    SystemClock clock;
    Settings settings(paths.settingsFile(), clock);
    WidgetPrompter prompter;
    AppState state(paths, settings, prompter, clock);

    frmAMain window(state, commandLineFile(QApplication::arguments()));
    window.load();
    splash.close();
    window.show();
    window.activateWindow();
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, &frmAMain::bringToFront);
    return QApplication::exec();
}
