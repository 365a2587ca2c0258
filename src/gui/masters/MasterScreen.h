// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/masters/MasterModel.h"

#include <QDialog>
#include <QList>
#include <QSize>
#include <QString>

class AppState;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QVBoxLayout;

// What one master screen is made of; the three screens differ only in this and in the
// controls a subclass adds.
struct MasterScreenLayout
{
    const char* objectName;
    QString caption;
    const MasterTable& table;
    MasterOrder order;
    const char* nameBoxName; // object name of the name box
    QString nameLabel;
    QString deleteCaption;
    QList<int> columnTwips; // width of each grid column
    // What 登録 says when it cannot write the record.
    enum class UpdateFailure
    {
        WriteFailure,
        ConnectionFailure
    } updateFailure;
    QSize size;
};

// A master list kept in one window: a grid of every record and two boxes (ID, name) over
// the same current record, with 新規登録, 登録, ｷｬﾝｾﾙ and 削除. A new record is written
// at once with the next ID; an unconfirmed one is removed by ｷｬﾝｾﾙ and by closing. Edits
// reach the table on 登録 and whenever another record becomes current.
class MasterScreen : public QDialog
{
    Q_OBJECT
public:
    MasterScreen(AppState& state, const MasterScreenLayout& layout, QWidget* parent = nullptr);

    enum class EditMode
    {
        Browsing = 1,
        Adding = 2
    };
    EditMode editMode() const { return m_editMode; }

    void done(int result) override;

protected:
    // Where a screen puts its further controls, below the buttons.
    QVBoxLayout* furtherControls() const { return m_further; }
    // Reads the list again in another order; pending edits are saved first and the screen
    // starts browsing at the first record.
    void reopen(MasterOrder order);
    // The list and its grid, for what a screen adds to them.
    MasterModel* model() const { return m_model; }
    QTableView* grid() const { return DataGrid1; }
    // The row shown in the boxes, -1 for none; making another row current saves what was
    // typed into the one left, as a click into the grid does.
    int currentRow() const;
    void makeCurrent(int row);

    // After a deletion the user confirmed.
    virtual void recordDeleted() { }
    // While the window closes, after an unconfirmed new record has been removed.
    virtual void closing() { }

    AppState& m_state;

private:
    void buildControls();
    void load(MasterOrder order);
    void setBrowsingButtons();
    void applyColumnWidths();
    void activate();
    void add();
    void update();
    void cancel();
    void remove();
    void currentRowChanged(int current, int previous);
    void showCurrent();
    void nameEdited(const QString& text);
    void reportWriteFailure();

    const MasterScreenLayout& m_layout;
    MasterModel* m_model;
    EditMode m_editMode = EditMode::Browsing;
    int m_newRecord = 0; // ID of the record 新規登録 wrote and 登録 has not confirmed
    bool m_loaded = false;
    bool m_closed = false;
    QVBoxLayout* m_further = nullptr;

    QTableView* DataGrid1;
    QLineEdit* txtID;
    QLineEdit* m_nameBox;
    QLabel* Label2;
    QPushButton* cmdDelete;
    QPushButton* cmdCancel;
    QPushButton* cmdUpdate;
    QPushButton* cmdAdd;
};
