// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>

class AppState;
class FileCommandsView;

// ﾌｧｲﾙ → ファイルへコピー and サーバーへコピー: the open database, whole, into a new file or an
// empty server database (core/store/DatabaseCopy), shown as long work that the user may stop.
// The open database stays open; the copy is told with what it holds, a refusal or a failure
// with its reason, and nothing is half-copied.
class CopyCommands
{
public:
    CopyCommands(AppState& state, FileCommandsView& view);

    // Asks for the new file's name and copies the open database there.
    void copyToFile();
    // Copies the open database into the server database named by target (its password, if
    // any, in the name only for the connection). True once copied.
    bool copyTo(const QString& target, const QString& shownTarget);

private:
    bool sourceReady();

    AppState& m_state;
    FileCommandsView& m_view;
};
