// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "TestRegistry.h"

#include <QMetaMethod>
#include <QTest>

std::vector<TestFactory>& testRegistry()
{
    static std::vector<TestFactory> registry;
    return registry;
}

namespace {

bool hasTestFunction(const QObject* test, const QByteArray& name)
{
    const QMetaObject* meta = test->metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        if (meta->method(i).name() == name)
            return true;
    }
    return false;
}

} // namespace

int runRegisteredTests(int argc, char** argv)
{
    // Test functions named on the command line ("nextId", "nextId:empty table starts at 1")
    // go to the class that has them; options go to every class.
    QList<QByteArray> options, functions;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        (arg.startsWith('-') || (i > 1 && QByteArray(argv[i - 1]) == "-o") ? options : functions) << arg;
    }
    int failed = 0;
    for (const TestFactory& make : testRegistry()) {
        const std::unique_ptr<QObject> test = make();
        QList<QByteArray> own;
        for (const QByteArray& f : functions) {
            if (hasTestFunction(test.get(), f.split(':').constFirst()))
                own << f;
        }
        if (!functions.isEmpty() && own.isEmpty())
            continue;
        QList<QByteArray> args = QList<QByteArray> { argv[0] } + options + own;
        std::vector<char*> pointers;
        for (QByteArray& a : args)
            pointers.push_back(a.data());
        failed += QTest::qExec(test.get(), int(pointers.size()), pointers.data()) != 0 ? 1 : 0;
    }
    return failed;
}
