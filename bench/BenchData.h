// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/store/Database.h"

#include <QString>
#include <QTemporaryDir>
#include <functional>

// Builds a business file the size of a large shop's: lines over several settlement dates,
// a hundred thousand products and sixty categories with Japanese names.
struct BenchDataSize
{
    int lines = 1000000;
    int dates = 5;
    int products = 100000;
    int categories = 60;
};

// Writes the file at path from the template; false with a reason when it cannot.
bool generateBenchData(const QString& templatePath, const QString& path, const BenchDataSize& size, QString* error);

// The settlement dates the generator uses, newest first: 2026-03-31, 2025-03-31, …
QString benchDate(int index);

// Runs step runs times and prints the median, the 95th percentile and the slowest run;
// returns the median in ms. prepare, when given, runs before each step and is not timed.
double measure(const char* what, int runs, const std::function<void(int)>& step,
               const std::function<void(int)>& prepare = {});

// The large file at path, made first when it is missing. False when it cannot be made.
bool ensureBenchData(const QString& templatePath, const QString& path);

// Resident memory of this process now (field "VmRSS") or at its peak ("VmHWM"), in MB,
// from /proc/self/status; -1 when it cannot be read.
double residentMegabytes(const char* field = "VmRSS");

// Starts the peak ("VmHWM") again from the memory resident now.
void resetPeakResident();

// Opens the large file named by the first argument (default bench-large.idb), made from
// the template first when it is missing. False when it cannot be made or opened.
bool openBenchData(const QString& templatePath, int argc, char* argv[], Database& db);

// Benchmarks must not wait for anybody: notices go to standard error, every question is
// answered No and every dialog is cancelled.
class SilentPrompter final : public Prompter
{
public:
    void notice(const QString& text, Icon icon, const QString& title) override;
    bool ask(const QString&, const QString&) override { return false; }
    std::optional<QString> openFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> chooseFont(const QString&, int) override { return std::nullopt; }
};

// The program-wide state a window of a benchmark opens on: data and settings in a temporary
// folder, silent dialogs. Made after the application object.
struct BenchSession
{
    BenchSession();

    QTemporaryDir dir;
    SystemClock clock;
    Settings settings;
    SilentPrompter prompter;
    AppState state;
};

// Windows are drawn offscreen unless QT_QPA_PLATFORM says otherwise; call before the
// application object is made.
void drawOffscreenUnlessTold();
