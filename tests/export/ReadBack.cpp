// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "ReadBack.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

ReadBack readWorkbook(const QString& path)
{
    // Each cell as [kind, value], so a number written as text shows as "str".
    const QString script = uR"(
import json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1], read_only=True)
rows = [[["num" if isinstance(v, (int, float)) else "str" if isinstance(v, str) else "none", v]
         for v in r] for r in book["Sheet1"].iter_rows(values_only=True)] if "Sheet1" in book.sheetnames else []
sys.stdout.write(json.dumps({"sheets": book.sheetnames, "rows": rows}))
)"_qs;
    QProcess python;
    python.start(u"/usr/bin/python3"_qs, { u"-c"_qs, script, path });
    ReadBack result;
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        result.problem = QString::fromUtf8(python.readAllStandardError());
        return result;
    }
    const QJsonObject doc = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    for (const QJsonValue& s : doc.value(u"sheets"_qs).toArray())
        result.sheets << s.toString();
    for (const QJsonValue& r : doc.value(u"rows"_qs).toArray()) {
        QVariantList cells;
        for (const QJsonValue& c : r.toArray()) {
            const QString kind = c.toArray().at(0).toString();
            const QJsonValue v = c.toArray().at(1);
            cells << (kind == u"num"_qs       ? QVariant(v.toDouble())
                          : kind == u"str"_qs ? QVariant(v.toString())
                                              : QVariant());
        }
        // The reader pads short rows to the sheet's width.
        while (!cells.isEmpty() && cells.constLast().isNull())
            cells.removeLast();
        result.rows << cells;
    }
    return result;
}
