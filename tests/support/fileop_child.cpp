// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Runs one whole-file operation, so a test can kill it part way through:
//   kotrina_fileop_child compact FILE
//   kotrina_fileop_child saveas FILE TARGET
//   kotrina_fileop_child copy FILE TARGET
// or keeps a file open until it is killed or its standard input closes:
//   kotrina_fileop_child hold FILE           (open, as the program has it open; says "open")
//   kotrina_fileop_child write FILE          (in the middle of changing every line; says "writing")

#include "core/store/Database.h"
#include "core/store/FileOps.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <optional>

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
    } else if (what == QLatin1String("hold") || what == QLatin1String("write")) {
        Database db;
        if (!db.open(args[2]))
            return 1;
        // A small page cache makes the change spill into the file before the commit.
        std::optional<Transaction> change;
        if (what == QLatin1String("write")) {
            if (!db.exec(QStringLiteral("PRAGMA cache_size = 10")))
                return 1;
            change.emplace(db);
            if (!db.exec(QStringLiteral(R"(UPDATE "棚卸マスター" SET "備考" = hex(randomblob(200)))")))
                return 1;
        }
        std::puts(change ? "writing" : "open");
        std::fflush(stdout);
        QFile in;
        if (in.open(stdin, QIODevice::ReadOnly))
            in.readAll();
        return 0;
    }
    std::puts(ok ? "done" : "failed");
    return ok ? 0 : 1;
}
