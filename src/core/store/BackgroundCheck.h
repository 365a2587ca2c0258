// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/FileOps.h"

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

// Runs the quick check of a database file on a thread of its own, so a large file is
// checked while the user already works, and hands the result back on the owner's thread.
// A check still running when the object goes is waited for.
class BackgroundCheck : public QObject
{
public:
    using Done = std::function<void(const QString& path, const FileOps::FileCheck& check)>;

    explicit BackgroundCheck(QObject* parent = nullptr);
    ~BackgroundCheck() override;
    BackgroundCheck(const BackgroundCheck&) = delete;
    BackgroundCheck& operator=(const BackgroundCheck&) = delete;

    // Checks path; done runs on this object's thread unless the object is gone by then.
    void start(const QString& path, Done done);
    void wait();

private:
    std::unique_ptr<QThread> m_thread;
};
