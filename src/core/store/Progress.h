// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QtGlobal>
#include <functional>

// How long work tells the one waiting for it how far it has come: done of total, called now
// and then on the thread that started the work (total 0 when how far cannot be told, only
// that it goes on). Returning false asks the work to stop; work that can stop then leaves
// everything as it was before it began, work that cannot goes on. An empty one (the
// command line) is never called.
using ProgressStep = std::function<bool(qint64 done, qint64 total)>;
