#pragma once

class QApplication;

// What every process that shows this program's windows sets up first: the names the
// settings and data directories are found under, the Japanese texts of Qt's own dialogs
// (はい/いいえ, the file dialog) and the font substitutions.
void setUpApplication(QApplication& app);
