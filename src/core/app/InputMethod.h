#pragma once

// Opens the input method for Japanese input when a name field gets the focus. Where no
// input method runs, nothing happens.
class InputMethod
{
public:
    virtual ~InputMethod() = default;
    virtual void open();
};
