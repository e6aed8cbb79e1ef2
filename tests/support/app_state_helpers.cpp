#include <windows.h>

#include "support/app_state_helpers.h"

/* AppState is constant-initialized, so it holds its start values before this copy is made. */
const AppStateRecord START_STATE = AppState;
