#include "account/AccountDialogLayout.h"

#include <gtest/gtest.h>

#include <set>

namespace postern {
namespace {

namespace id = account_control;

const DialogControl* Find(const std::vector<DialogControl>& controls, int controlId)
{
    for (const DialogControl& control : controls) {
        if (control.id == controlId)
            return &control;
    }
    return nullptr;
}

TEST(AccountDialogLayout, EveryVariantFitsWithoutOverlapsAndHasItsOwnControls)
{
    const struct {
        bool adding, clientFields;
        int statusTop;
    } cases[] = {
        {true, true, 568},
        {true, false, 500},
        {false, true, 568},
        {false, false, 500},
    };
    for (const auto& c : cases) {
        const std::vector<DialogControl> controls = AccountDialogControls(c.adding, c.clientFields);
        std::set<int> ids;
        for (size_t i = 0; i < controls.size(); ++i) {
            const DialogControl& a = controls[i];
            EXPECT_TRUE(a.id == id::none || ids.insert(a.id).second) << "id " << a.id << " twice";
            EXPECT_GE(a.x, 0);
            EXPECT_LE(a.x + a.width, kAccountDialogWidth) << a.id;
            EXPECT_LE(a.y + a.height, kAccountDialogHeight) << a.id;
            for (size_t j = i + 1; j < controls.size(); ++j) {
                const DialogControl& b = controls[j];
                const bool apart =
                    a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y || b.y + b.height <= a.y;
                EXPECT_TRUE(apart) << "controls " << i << " and " << j << " overlap";
            }
        }
        EXPECT_EQ(Find(controls, id::googleSignIn) != nullptr, c.adding);
        EXPECT_EQ(Find(controls, id::clientId) != nullptr, c.clientFields);
        EXPECT_EQ(Find(controls, id::clientSecret) != nullptr, c.clientFields);
        EXPECT_EQ(Find(controls, id::googleConsole) != nullptr, c.clientFields);
        ASSERT_NE(Find(controls, id::status), nullptr);
        EXPECT_EQ(Find(controls, id::status)->y, c.statusTop);
        EXPECT_EQ(Find(controls, id::gmailPreset)->x, c.adding ? 184 : 18);
        const std::u16string_view info = Find(controls, id::info)->text;
        EXPECT_EQ(info.starts_with(u"One-time Google setup"), c.clientFields);
        EXPECT_EQ(info.starts_with(u"Adding Gmail"), !c.clientFields);
    }

    const std::vector<DialogControl> controls = AccountDialogControls(true, true);
    const DialogControl* detect = Find(controls, id::detect);
    EXPECT_EQ(detect->x, 334);
    EXPECT_EQ(detect->y, 49); // one pixel above the address field of row 2
    EXPECT_TRUE(Find(controls, id::passwordRadio)->first);
    EXPECT_FALSE(Find(controls, id::googleRadio)->first);
    EXPECT_TRUE(Find(controls, id::save)->accent);
    EXPECT_EQ(Find(controls, id::imapPort)->kind, DialogControl::Kind::number);
    EXPECT_EQ(Find(controls, id::clientSecret)->kind, DialogControl::Kind::secret);
    EXPECT_EQ(AccountDialogTitle(false), u"Postern \u2014 Edit account");
}

} // namespace
} // namespace postern
