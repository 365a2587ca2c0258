// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class QInputMethodEvent;
class QKeyEvent;
class QWidget;

// Tells a barcode scanner's keys from a person's in one window, and hands over the codes.
//
// A USB or Bluetooth scanner is a keyboard that types a code's digits a few milliseconds
// apart and ends them with Enter; nobody types two keys within BurstGap. The time of a key
// is the one the window system gave it when it was pressed, not when it is handled, so a
// busy moment of the program does not run a person's keys together. Keys made up by a
// program (without a time) are a person's. So a key that follows the one before within
// BurstGap starts a burst: the keys before it that came one after the other within RunGap
// (a scanner's first keys may come slower, when the machine is busy), which had already
// gone to the box with the focus, are taken back out of it (the box holds again what it
// held before), and the burst's keys are collected here instead of going to any box. An Enter within the burst ends it
// and hands its text over as a scan, so a code never lands in 数量 or 単価 when the focus happens to be there, and two
// codes read back to back are never joined: the keys after a scan's Enter that come at scanner speed are the next
// burst. A burst that stops without Enter was no scan: its keys are given back to the box they were typed into.
//
// An Enter typed by hand into the code box hands its text over too, when it has the shape
// of a code; the handler decides whether it was one (else the Enter goes on, as Tab). So
// does an input method's commit of digits that gives the box such a text: the Enter that
// commits a conversion never reaches the box.
class ScannerKeys : public QObject
{
    Q_OBJECT
public:
    // The longest pause between two keys of one burst, in milliseconds.
    static constexpr ulong BurstGap = 40;
    // The longest pause between the keys before a burst that are taken back with it.
    static constexpr ulong RunGap = 120;

    // onCode gets a text ended with Enter: fromScanner when it came in a burst. It returns
    // whether it took the text; a scanner's Enter is never passed on either way.
    using Handler = std::function<bool(const QString& text, bool fromScanner)>;
    ScannerKeys(QWidget* window, QWidget* codeBox, Handler onCode);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPressed(QWidget* target, const QKeyEvent* key);
    void inputMethodCommit(const QInputMethodEvent* event);
    void beginBurst(const QString& text);
    // The burst ended without Enter: its keys go where they were typed.
    void giveBack();
    void forgetFirstKey();

    QPointer<QWidget> m_window;
    QPointer<QWidget> m_codeBox;
    Handler m_onCode;
    ulong m_lastTime = 0; // when the last key in the window was pressed; 0: not known
    bool m_afterScan = false; // the last key was the Enter of a scan

    // The last keys given to a box, which may yet turn out to start a burst.
    QPointer<QWidget> m_firstTarget;
    QString m_run;
    QString m_before; // the box's text before them
    int m_beforeCursor = 0;
    int m_beforeSelection = -1; // the start of the selection then; -1: none
    int m_beforeSelectionLength = 0;

    bool m_inBurst = false;
    QString m_burst;
    QTimer m_burstEnd;
};
