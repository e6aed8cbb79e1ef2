#include <windows.h>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "support/app_state_helpers.h"
#include "support/registry_helpers.h"

TEST(AppStateTest, StartsWithNothingRequestedAndEverythingElseZero)
{
    EXPECT_EQ(HINSTANCE(NULL), START_STATE.instance);
    EXPECT_EQ(-1, START_STATE.requestedDisableMediaSense);
    EXPECT_EQ(-1, START_STATE.requestedApipaEnabled);
    EXPECT_EQ(0, START_STATE.autoSave);
    EXPECT_EQ(0, START_STATE.autoQuit);
    EXPECT_EQ(0, START_STATE.platformSupported);
    EXPECT_EQ(0u, START_STATE.disableMediaSense);
    EXPECT_EQ(0u, START_STATE.ipAutoconfigEnabled);
    EXPECT_EQ(0, START_STATE.changeMediaSense);
    EXPECT_EQ(0, START_STATE.changeApipa);
    EXPECT_EQ(0u, START_STATE.currentPage);
    EXPECT_EQ(0, START_STATE.exitCode);
    for (size_t i = 0; i < sizeof(START_STATE.messageText); i++)
        ASSERT_EQ(0, START_STATE.messageText[i]) << "messageText[" << i << "]";
    EXPECT_EQ(nullptr, START_STATE.computerName);
    EXPECT_EQ(0u, START_STATE.computerNameLength);
    EXPECT_EQ(HKEY_LOCAL_MACHINE, START_STATE.registryRoot);
    EXPECT_EQ(0, START_STATE.computerNameRefused);
    EXPECT_EQ(30u, START_STATE.timeoutSeconds);
    EXPECT_EQ(0, START_STATE.runFailed);
    EXPECT_EQ(0u, START_STATE.failureCode);
    EXPECT_EQ(0, START_STATE.valueWritten);
    EXPECT_EQ(-1, START_STATE.mediaSenseOn) << "not known until read";
    EXPECT_EQ(-1, START_STATE.apipaOn) << "not known until read";
}

TEST(AppStateTest, FieldsHaveTheirSizesAndOrder)
{
    /* Thirteen fields: a handle, eleven 32-bit numbers and the 1024-byte text, in order. */
    EXPECT_EQ(4u, sizeof(AppState.requestedDisableMediaSense));
    EXPECT_EQ(4u, sizeof(AppState.exitCode));
    EXPECT_EQ(1024u, sizeof(AppState.messageText));
    EXPECT_LT(offsetof(AppStateRecord, instance),
              offsetof(AppStateRecord, requestedDisableMediaSense));
    EXPECT_EQ(offsetof(AppStateRecord, requestedDisableMediaSense) + 11 * 4,
              offsetof(AppStateRecord, messageText));
    EXPECT_EQ(offsetof(AppStateRecord, changeMediaSense) + 4,
              offsetof(AppStateRecord, changeApipa));
}

TEST(AppStateTest, FormatErrorTextLeavesNoEarlierTextWhenTheSystemHasNone)
{
    lstrcpyA(AppState.messageText, "an earlier failure");
    FormatErrorText(0x2000FFFF); /* a customer-defined code: the system has no text for it */
    EXPECT_STREQ("", AppState.messageText);
}

TEST(AppStateTest, FormatErrorTextGivesTheSystemTextEvenWhenItHoldsInserts)
{
    /* Access denied has a plain text; the others hold "%1" under Wine and have no arguments. */
    for (DWORD error : {5u, 107u, 182u, 188u, 189u, 190u, 191u, 192u})
    {
        SCOPED_TRACE(testing::Message() << "error " << error);
        lstrcpyA(AppState.messageText, "an earlier failure");
        FormatErrorText(error);
        EXPECT_EQ(SystemErrorText(error), AppState.messageText);
        EXPECT_STRNE("", AppState.messageText);
    }
}
