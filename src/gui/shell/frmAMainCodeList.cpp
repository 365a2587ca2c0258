// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The main window's entry to the code list: the products' codes printed as bars.

#include "gui/printing/DialogCodeList.h"
#include "gui/shell/frmAMain.h"

void frmAMain::openCodeList()
{
    DialogCodeList(m_state, this).exec();
}
