#include "core/app/Paths.h"
#include "core/app/SingleInstance.h"
#include "gui/shell/ApplicationSetup.h"
#include "gui/shell/Startup.h"

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

    const auto program = startProgram(paths, commandLineFile(QApplication::arguments()));
    QObject::connect(&instance, &SingleInstance::activationRequested, &program->window, &frmAMain::bringToFront);
    return QApplication::exec();
}
