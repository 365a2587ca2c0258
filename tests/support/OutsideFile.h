#pragma once

#include "TestEnvironment.h"

#include <QString>

// A business file made with the sqlite3 program from the template's table definitions, not
// by this program: categories 1 and 2, products 1 and 2, and lines of 2026-03-31 of which
// line 4 names the deleted category 2 and line 5 the missing product 9. Empty on failure.
QString madeOutside(const TestEnvironment& env);
