// The start-up body's order: left-overs given back, agreement gate, warning, main dialog loop,
// save at the end and nowhere else.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main_dialog_rules.h"
#include "app/startup.h"
#include "fake_registry.h"
#include "fresh_settings_test.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

namespace {

class RecordingStartupPlatform : public StartupPlatform {
public:
    std::vector<std::string> calls;
    std::function<void()> onAgreement = [] {};
    std::function<void()> onWarning = [] {};
    std::vector<int> mainResults;

    bool otherProgram = false;
    bool OnlyProgramInSession() override { return !otherProgram; }
    void ShowOtherProgram() override { calls.push_back("show other"); }
    void GiveBackLeftOvers() override { calls.push_back("give back"); }
    void EnsureUiResources() override { calls.push_back("resources"); }
    void RunAgreementDialog() override
    {
        calls.push_back("agreement");
        onAgreement();
    }
    void RunWarningDialog() override
    {
        calls.push_back("warning");
        onWarning();
    }
    int RunMainDialog() override
    {
        calls.push_back("main");
        int result = mainResults.empty() ? 2 : mainResults.front();
        if (!mainResults.empty())
            mainResults.erase(mainResults.begin());
        return result;
    }
    void StartGuardThread(const Settings&) override { calls.push_back("guard"); }
    void WaitForGuardThreads() override
    {
        calls.push_back("wait");
        onWait();
    }
    std::function<void()> onWait = [] {};
    void CloseServiceSession() override
    {
        calls.push_back("close service");
        writesBeforeClose = TestRegistry().writes;
    }
    int writesBeforeClose = -1;
};

// The body loads the record itself, from the store the test hands it.
class Startup : public FreshSettingsTest {
protected:
    void SetUp() override
    {
        FreshSettingsTest::SetUp();
        DestroySettings();
        TestRegistry() = FakeRegistry();
    }
};

void Agree()
{
    GetSettings().SetFlag(FLAG_AGREEMENT_PENDING, false);
}

TEST_F(Startup, DecliningTheAgreementEndsAtOnceAndWritesNothing)
{
    RecordingStartupPlatform platform;
    EXPECT_EQ(RunStartupBody(platform, store), 0);
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"give back", "resources", "agreement"}));
    EXPECT_TRUE(TestRegistry().exists);
    EXPECT_TRUE(TestRegistry().values.empty());
}

TEST_F(Startup, ASecondCopyShowsTheFirstAndNeitherLoadsNorGivesBackNorSaves)
{
    RecordingStartupPlatform platform;
    platform.otherProgram = true;
    EXPECT_EQ(RunStartupBody(platform, store), 0);
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"show other"}));
    EXPECT_FALSE(TestRegistry().exists);  // the key was not even opened
}

TEST_F(Startup, AgreeingShowsTheWarningThenTheMainDialogAndSaves)
{
    RecordingStartupPlatform platform;
    platform.onAgreement = Agree;
    EXPECT_EQ(RunStartupBody(platform, store), 0);
    EXPECT_EQ(platform.calls,
              (std::vector<std::string>{"give back", "resources", "agreement", "resources", "warning", "resources", "main",
                                        "wait", "close service"}));
    EXPECT_EQ(TestRegistry().values.size(), 8u);
}

TEST_F(Startup, NoAgreementOrWarningWhenTheirFlagsAreClear)
{
    RecordingStartupPlatform first;
    first.onAgreement = Agree;
    first.onWarning = [] { GetSettings().SetFlag(FLAG_SHOW_WARNING, false); };
    RunStartupBody(first, store);

    RecordingStartupPlatform second;
    EXPECT_EQ(RunStartupBody(second, store), 0);
    EXPECT_EQ(second.calls, (std::vector<std::string>{"give back", "resources", "main", "wait", "close service"}));
}

TEST_F(Startup, EachLockStartsAGuardAndShowsTheMainDialogAgain)
{
    RecordingStartupPlatform platform;
    platform.onAgreement = Agree;
    platform.mainResults = {MAIN_RESULT_LOCK, MAIN_RESULT_LOCK, -1};
    RunStartupBody(platform, store);
    std::vector<std::string> tail(platform.calls.end() - 10, platform.calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"resources", "main", "guard", "resources", "main", "guard",
                                              "resources", "main", "wait", "close service"}));
    EXPECT_EQ(TestRegistry().values.size(), 8u) << "a dialog that fails still saves";
}

TEST_F(Startup, TheSettingsAreSavedOnlyOnceTheGuardsHaveEndedAndTheServiceIsClosed)
{
    RecordingStartupPlatform platform;
    platform.onAgreement = Agree;
    platform.mainResults = {MAIN_RESULT_LOCK, -1};
    platform.onWait = [] { GetSettings().sensitivity = 61; };  // a guard still at work on the record
    RunStartupBody(platform, store);
    EXPECT_EQ(platform.writesBeforeClose, 0);  // nor before the wait, which comes first
    // What the guard wrote during the wait is what was saved.
    const RegistryValue& sensitivity = TestRegistry().values.at("Sensitivity");
    ASSERT_EQ(sensitivity.bytes.size(), 4u);
    EXPECT_EQ(sensitivity.bytes[0], 61);
}

TEST(MainDialogRules, CheckBoxesSetAndClearOnlyTheirOwnBits)
{
    const bool allTicked[4] = {true, true, true, true};
    const bool noneTicked[4] = {false, false, false, false};
    const uint32_t triggers = FLAG_TRIGGER_POWER | FLAG_TRIGGER_USB_MOUSE | FLAG_TRIGGER_MOUSE_MOVE | FLAG_TRIGGER_SHUTDOWN;
    EXPECT_EQ(FlagsFromCheckBoxes(FLAG_SMS_SERVICE, allTicked), FLAG_SMS_SERVICE | triggers);
    EXPECT_EQ(FlagsFromCheckBoxes(0xFFFFFFFF, noneTicked), 0xFFFFFFFF & ~triggers);

    const bool onlyMouseMove[4] = {false, false, true, false};
    EXPECT_EQ(FlagsFromCheckBoxes(DEFAULT_FLAGS, onlyMouseMove),
              (DEFAULT_FLAGS & ~triggers) | FLAG_TRIGGER_MOUSE_MOVE);
    EXPECT_EQ(TRIGGER_CHECK_BOXES[2].controlId, IDC_MAIN_TRIGGER_MOUSE_MOVE);
}

TEST(MainDialogRules, LoginQuestionOnlyWithTheServiceOnAndNoLogin)
{
    EXPECT_TRUE(LockNeedsLoginQuestion(FLAG_SMS_SERVICE, false));
    EXPECT_FALSE(LockNeedsLoginQuestion(FLAG_SMS_SERVICE, true));
    EXPECT_FALSE(LockNeedsLoginQuestion(DEFAULT_FLAGS, false));
}

TEST(MainDialogRules, CloseAndSettingsAreRefusedOnlyWhileArmed)
{
    for (int command : {MAIN_COMMAND_CLOSE, IDC_MAIN_SETTINGS, IDC_MAIN_LOCK, IDC_MAIN_SIGN_UP}) {
        const bool closeOrSettings = command == MAIN_COMMAND_CLOSE || command == IDC_MAIN_SETTINGS;
        EXPECT_EQ(RefusedWhileArmed(command, FLAG_ARMED | FLAG_SMS_SERVICE), closeOrSettings) << command;
        EXPECT_FALSE(RefusedWhileArmed(command, DEFAULT_FLAGS & ~FLAG_ARMED)) << command;
    }
}

TEST(MainDialogRules, AnEndingSessionSavesAndEndsTheDialogOnlyWhenNotArmed)
{
    struct Case {
        bool sessionEnds;
        uint32_t flags;
        bool save, endDialog;
    } const cases[] = {
        {true, DEFAULT_FLAGS & ~FLAG_ARMED, true, true},
        {true, FLAG_ARMED | FLAG_TRIGGER_SHUTDOWN, true, false},
        {true, FLAG_ARMED, true, false},
        // Another window refused, or the query was answered no: nothing.
        {false, 0, false, false},
        {false, FLAG_ARMED, false, false},
    };
    for (const Case& c : cases) {
        const SessionEndSteps steps = StepsAtSessionEnd(c.sessionEnds, c.flags);
        EXPECT_EQ(steps.save, c.save) << c.sessionEnds << " " << c.flags;
        EXPECT_EQ(steps.endDialog, c.endDialog) << c.sessionEnds << " " << c.flags;
    }
}

TEST(MainDialogRules, BalanceText)
{
    EXPECT_EQ(SmsBalanceText(-1), "SMS Balance: N/A");
    EXPECT_EQ(SmsBalanceText(-2147483647 - 1), "SMS Balance: N/A");
    EXPECT_EQ(SmsBalanceText(0), "SMS Balance: 0");
    EXPECT_EQ(SmsBalanceText(12345), "SMS Balance: 12345");
}

}  // namespace
