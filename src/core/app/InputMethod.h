// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

// Opens the input method for Japanese input when a name field gets the focus. Where no
// input method runs, nothing happens.
class InputMethod
{
public:
    virtual ~InputMethod() = default;
    virtual void open();
};
