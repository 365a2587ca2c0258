// Runs one whole-file operation, so a test can kill it part way through:
//   kotrina_fileop_child compact FILE
//   kotrina_fileop_child saveas FILE TARGET
//   kotrina_fileop_child copy FILE TARGET

#include "core/store/Database.h"
#include "core/store/FileOps.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    FileOps::letOversizedWritesFail(); // as the program does at start
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return 2;
    const QString& what = args[1];
    bool ok = false;
    if (what == QLatin1String("compact")) {
        ok = FileOps::compactDatabase(args[2]).status == FileOps::CompactResult::Status::Compacted;
    } else if (what == QLatin1String("saveas") && args.size() == 4) {
        Database db;
        ok = db.open(args[2]) && FileOps::copyDatabase(db, args[3]);
    } else if (what == QLatin1String("copy") && args.size() == 4) {
        ok = FileOps::copyFileAtomically(args[2], args[3]);
    }
    std::puts(ok ? "done" : "failed");
    return ok ? 0 : 1;
}
