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
    switch (instance.start()) {
    case SingleInstance::Start::Running:
        break;
    case SingleInstance::Start::HandedOver:
        return 0;
    case SingleInstance::Start::Blocked:
        // Two copies on one data directory would overwrite each other's backup and settings.
        qWarning("another Kotrina on %s does not answer; this one ends", qPrintable(paths.dataDir()));
        return 1;
    }

    const auto program = startProgram(paths, commandLineFile(QApplication::arguments()));
    QObject::connect(&instance, &SingleInstance::activationRequested, &program->window, &frmAMain::bringToFront);
    return QApplication::exec();
}
