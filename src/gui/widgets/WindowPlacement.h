#pragma once

class QWidget;
class Settings;

// The working windows (entry, list, correction) open where the main window was when the
// program last closed: settings "frmLeft" and "frmTop", in twips. A value that is not a
// number counts as 0.
void placeWorkingWindow(QWidget* window, const Settings& settings);
