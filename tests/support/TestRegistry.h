// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

// Lets one test executable hold several Qt Test classes, one per source file.
using TestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<TestFactory>& testRegistry();

// Runs every registered class; the exit code is non-zero when any case failed.
int runRegisteredTests(int argc, char** argv);

#define KOTRINA_REGISTER_TEST(Class)                                                                                   \
    static const bool Class##Registered = (testRegistry().push_back([] { return std::make_unique<Class>(); }), true);
