// The progress dialog: nothing dismisses it during a conversion; with its stop button it
// asks before it closes.

#include <QKeyEvent>
#include <QProgressBar>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "DlgProgress.h"
#include "JobListCtrl.h"
#include "MainDlg.h"
#include "core/context.h"
#include "gui/gui_fixture.h"
#include "res/resource.h"

namespace {

// Stages whose video stage holds on until the test lets it go.
struct HeldStages {
    static std::atomic<bool> inVideo, release;
    static int prepare(const std::string&, const std::string&, int32_t* audio, uint32_t* video,
                       std::string*) {
        *audio = 20;
        *video = 10;
        return 1;
    }
    static int video(const std::atomic<int32_t>** out) {
        *out = &g_context.videoProgress;
        g_context.videoProgress = 4;
        inVideo = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 1;
    }
    static int audio(const std::atomic<int32_t>** out) {
        *out = &g_context.audioProgress;
        return 1;
    }
};
std::atomic<bool> HeldStages::inVideo, HeldStages::release;

class ProgressDialogTest : public GuiTest {};

TEST_F(ProgressDialogTest, EnterEscAndTheCloseBoxDoNothingDuringAConversion) {
    HeldStages::inVideo = false;
    HeldStages::release = false;
    CMainDlg main;
    main.setStages({HeldStages::prepare, HeldStages::video, HeldStages::audio});
    ASSERT_TRUE(guitest::showAndExpose(&main));
    addRow(&main, dir_.file("a.3gp"), dir_.file("a_new.mp4"));

    bool shown = false;
    guitest::onModal<CDlgProgress>(
        [&](CDlgProgress* d) {
            struct Release {
                ~Release() { HeldStages::release = true; }
            } letTheStageGo;
            ASSERT_TRUE(guitest::waitUntil([&] { return HeldStages::inVideo.load(); }));
            // The 20 ms timer copies the video counter into the bar.
            EXPECT_TRUE(guitest::waitUntil([&] { return d->pos() == 4; }));
            EXPECT_EQ(d->progressBar()->maximum(), 10);
            EXPECT_EQ(main.listCtrl()->itemText(0, 0), QString::fromUtf8("...."));
            EXPECT_FALSE(findControl<QPushButton>(d, IDCANCEL)->isVisible());
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                QTest::keyClick(d, key);
                EXPECT_TRUE(d->isVisible()) << key;
            }
            guitest::pressCloseBox(d);
            EXPECT_TRUE(d->isVisible());
            EXPECT_TRUE(main.isVisible());
        },
        &shown);
    click(&main, IDC_CONVERT);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(main.progressDialog().isVisible());
    EXPECT_EQ(main.listCtrl()->itemText(0, 0), QString::fromUtf8("ОК!"));
    EXPECT_TRUE(ui_.requests.isEmpty());
}

struct StopCase {
    const char* name;
    bool closeBox;  // else Esc
    int answer;
    bool closes;
};

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.name;
}

class StopButtonTest : public GuiTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopButtonTest, ACancelRequestAsksFirst) {
    const StopCase& c = GetParam();
    CDlgProgress d;
    d.setStopVisible(true);
    ui_.messageAnswers = {c.answer};
    bool stillOpen = false;
    guitest::onModal<CDlgProgress>([&](CDlgProgress* p) {
        EXPECT_TRUE(findControl<QPushButton>(p, IDCANCEL)->isVisible());
        if (c.closeBox)
            guitest::pressCloseBox(p);
        else
            QTest::keyClick(p, Qt::Key_Escape);
        QTest::qWait(20);
        stillOpen = p->isVisible();
        if (stillOpen) p->endDialog(1);
    });
    int result = d.exec();
    EXPECT_EQ(ui_.messages(), QStringList({QString::fromUtf8("您确认要停止转换操作吗!")}));
    EXPECT_EQ(stillOpen, !c.closes);
    EXPECT_EQ(result, c.closes ? IDCANCEL : 1);
}

INSTANTIATE_TEST_SUITE_P(Requests, StopButtonTest,
                         ::testing::Values(StopCase{"esc_yes", false, kAnswerYes, true},
                                           StopCase{"esc_no", false, kAnswerNo, false},
                                           StopCase{"close_box_yes", true, kAnswerYes, true}),
                         [](const ::testing::TestParamInfo<StopCase>& i) {
                             return std::string(i.param.name);
                         });

TEST_F(ProgressDialogTest, TheAnimationStepsThroughItsRangeAndStops) {
    CDlgProgress d;
    ASSERT_TRUE(guitest::showAndExpose(&d));
    std::vector<int> positions;
    d.startAnimation(5, false);
    QObject::connect(d.progressBar(), &QProgressBar::valueChanged,
                     [&](int v) { positions.push_back(v); });
    ASSERT_TRUE(guitest::waitUntil([&] { return positions.size() >= 5; }));
    QTest::qWait(60);
    EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(d.pos(), 5);
}

}  // namespace
