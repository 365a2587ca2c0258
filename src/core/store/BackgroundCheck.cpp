// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/BackgroundCheck.h"

BackgroundCheck::BackgroundCheck(QObject* parent)
    : QObject(parent)
{ }

BackgroundCheck::~BackgroundCheck()
{
    wait();
}

void BackgroundCheck::start(const QString& path, Done done)
{
    wait();
    m_thread.reset(QThread::create([this, path, done = std::move(done)] {
        const FileOps::FileCheck check = FileOps::quickCheck(path);
        QMetaObject::invokeMethod(
            this, [path, check, done] { done(path, check); }, Qt::QueuedConnection);
    }));
    m_thread->start(QThread::LowPriority);
}

void BackgroundCheck::wait()
{
    if (m_thread)
        m_thread->wait();
}
