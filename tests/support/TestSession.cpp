#include "TestSession.h"

bool TestSession::openNewDatabase(const QString& name)
{
    state.ConnectionOpen = state.DatabaseConnection.open(env.newDatabase(name));
    return state.ConnectionOpen;
}
