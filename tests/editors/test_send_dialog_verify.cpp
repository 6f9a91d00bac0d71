// "Sprawdź po wysłaniu" in the send dialog: starts from the setting, a
// confirmed send stores the box back, a cancelled one leaves the setting.
#include "editors_test_support.h"

#include "editors/UOdczyt.h"
#include "editors/UWyslanie.h"

#include <QCheckBox>

namespace {

TEST(SendDialogVerify, TheBoxFollowsTheSettingAndIsStoredOnConfirmation)
{
    TestApp();
    struct Case {
        bool stored, tick, confirm;
        bool storedAfter, verify;
    };
    const Case cases[] = {
        {false, true, true, true, true},
        {true, false, true, false, false},
        {false, true, false, false, true}, // cancelled: the setting stays
        {true, true, true, true, true},
    };
    for (const Case &c : cases) {
        TFormWyslanie d;
        auto *box = d.findChild<QCheckBox *>(QStringLiteral("CBSprawdzPoWyslaniu"));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("&Sprawdź po wysłaniu"));
        bool setting = c.stored;
        d.VerifySetting = &setting;
        bool shown = !c.stored;
        d.OnExec = [&](TFormWyslanie &) {
            shown = box->isChecked();
            box->setChecked(c.tick);
            return c.confirm;
        };
        TExchangeDialogs dialogs(nullptr, &d);
        EXPECT_EQ(dialogs.ConfirmSend(), c.confirm);
        EXPECT_EQ(shown, c.stored);
        EXPECT_EQ(setting, c.storedAfter);
        EXPECT_EQ(dialogs.VerifySend(), c.verify);
    }
}

} // namespace
