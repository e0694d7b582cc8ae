#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fake/FakeHost.h"
#include "resources/Resource.h"
#include "window/ProgressDlg.h"

namespace {

int CountCalls(const FakeHost& host, const std::string& call) {
    return static_cast<int>(std::count(host.calls.begin(), host.calls.end(), call));
}

TEST(ProgressDlg, CreateShowsTemplateWithRangeAndDefaultCaption) {
    FakeHost host;
    CProgressDlg dlg(host);
    ASSERT_TRUE(dlg.Create());
    ASSERT_EQ(host.modeless.size(), 1u);
    FakeDialogView& view = *host.modeless.back();
    EXPECT_EQ(view.templateId, IDD_PROGRESS);
    EXPECT_EQ(view.caption, "Pomvex");
    EXPECT_EQ(view.ranges[IDC_PROGDLG_PROGRESS], std::make_pair(0, 20480));
    EXPECT_EQ(view.pos[IDC_PROGDLG_PROGRESS], 0);
    EXPECT_FALSE(host.enabled);
}

TEST(ProgressDlg, ValueTextIsRawValueAndSetOnlyWhenChanged) {
    FakeHost host;
    CProgressDlg dlg(host);
    ASSERT_TRUE(dlg.Create());
    FakeDialogView& view = *host.modeless.back();
    int pumps = host.pumpCount;

    EXPECT_EQ(dlg.SetPos(0), 0);
    EXPECT_EQ(view.texts[IDC_PROGDLG_PERCENT], "0 ");
    EXPECT_EQ(dlg.SetPos(0), 0);
    EXPECT_EQ(view.setTextCount[IDC_PROGDLG_PERCENT], 1)
        << "an unchanged value must not be set again";

    EXPECT_EQ(dlg.SetPos(30000), 0);
    EXPECT_EQ(view.pos[IDC_PROGDLG_PROGRESS], 20480) << "the bar clamps";
    EXPECT_EQ(view.texts[IDC_PROGDLG_PERCENT], "30000 ") << "the number does not";
    EXPECT_EQ(dlg.SetPos(30000), 20480) << "a repeated value returns the clamped position";
    EXPECT_EQ(dlg.SetPos(-5), 20480);
    EXPECT_EQ(view.texts[IDC_PROGDLG_PERCENT], "-5 ");
    EXPECT_EQ(host.pumpCount, pumps + 5) << "every SetPos serves pending events";

    dlg.SetStatus("a");
    dlg.SetStatus("a");
    EXPECT_EQ(view.setTextCount[IDC_PROGDLG_STATUS], 2) << "the status is set every time";
}

TEST(ProgressDlg, CancelIsAFlagTakenOnceAndOkDoesNothing) {
    FakeHost host;
    CProgressDlg dlg(host);
    ASSERT_TRUE(dlg.Create());
    FakeDialogView& view = *host.modeless.back();

    EXPECT_FALSE(view.PressOK());
    EXPECT_FALSE(dlg.CheckCancelButton()) << "OK must not set the cancel flag";

    EXPECT_FALSE(view.PressCancel()) << "cancel keeps the window open";
    EXPECT_TRUE(dlg.CheckCancelButton());
    EXPECT_FALSE(dlg.CheckCancelButton());

    view.PressCancel();
    view.PressCancel();
    EXPECT_TRUE(dlg.CheckCancelButton());
    EXPECT_FALSE(dlg.CheckCancelButton());
    EXPECT_EQ(host.modeless.size(), 1u);

    // A press arriving while the pump runs is seen by the same call.
    host.onPump = [&] { host.modeless.back()->PressCancel(); };
    EXPECT_TRUE(dlg.CheckCancelButton());
}

TEST(ProgressDlg, MainWindowReEnabledExactlyOnce) {
    FakeHost host;
    {
        CProgressDlg dlg(host);
        ASSERT_TRUE(dlg.Create());
        EXPECT_TRUE(dlg.DestroyWindow());
        EXPECT_TRUE(host.enabled);
        EXPECT_TRUE(host.modeless.empty());
        EXPECT_FALSE(dlg.DestroyWindow());
    }
    EXPECT_EQ(CountCalls(host, "Enable(0)"), 1);
    EXPECT_EQ(CountCalls(host, "Enable(1)"), 1);

    // The destructor closes a window that is still open, and re-enables first.
    FakeHost host2;
    {
        CProgressDlg dlg(host2);
        ASSERT_TRUE(dlg.Create());
    }
    EXPECT_TRUE(host2.enabled);
    EXPECT_TRUE(host2.modeless.empty());
    EXPECT_EQ(CountCalls(host2, "Enable(1)"), 1);
}

TEST(ProgressDlg, AlreadyDisabledOwnerStaysDisabled) {
    FakeHost host;
    host.enabled = false;
    {
        CProgressDlg dlg(host);
        ASSERT_TRUE(dlg.Create());
    }
    EXPECT_FALSE(host.enabled);
    EXPECT_EQ(CountCalls(host, "Enable(1)"), 0);
    EXPECT_EQ(CountCalls(host, "Enable(0)"), 0);
}

TEST(ProgressDlg, WithoutWindowEverythingIsHarmless) {
    FakeHost host;
    CProgressDlg dlg(host, 999);  // no such string: empty caption, and never created anyway
    dlg.SetStatus("x");
    EXPECT_EQ(dlg.SetPos(5), 0);
    EXPECT_FALSE(dlg.CheckCancelButton());
    EXPECT_FALSE(dlg.DestroyWindow());
    EXPECT_TRUE(host.calls.empty() || CountCalls(host, "Enable(1)") == 0);
}

}  // namespace
