/* AppState as the process starts with it, for tests that put it back before each case. */
#ifndef KELVRA_TESTS_APP_STATE_HELPERS_H
#define KELVRA_TESTS_APP_STATE_HELPERS_H

#include "app/app_state.h"

/* Taken when the test program is loaded, before any test has run. */
extern const AppStateRecord START_STATE;

#endif
