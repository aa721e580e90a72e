// The skinned controls as the X server shows them: the faces of the buttons and the frame
// of the edits.

#include <QLineEdit>
#include <QTest>

#include "DlgFile.h"
#include "JobListCtrl.h"
#include "MainDlg.h"
#include "effect/CoolButton.h"
#include "effect/CoolEdit.h"
#include "gui/gui_fixture.h"
#include "res/resource.h"

namespace {

CCoolButton* button(QWidget* dlg, int id) {
    return findControl<CCoolButton>(dlg, id);
}

// Where the mouse goes before a case: over a button, or over the list (no button).
enum class Mouse { OverButton, Away };
// What the keyboard does: nothing, or Tab from the list onto the button.
enum class Keys { None, TabOnto, TabOntoAndAway };

struct FaceCase {
    const char* name;
    int id;
    Mouse mouse;
    Keys keys;
    int face;  // the bitmap expected on screen
};

void PrintTo(const FaceCase& c, std::ostream* os) {
    *os << c.name;
}

class ButtonFaceTest : public GuiTest, public ::testing::WithParamInterface<FaceCase> {};

TEST_P(ButtonFaceTest, TheScreenShowsTheFaceOfTheState) {
    const FaceCase& c = GetParam();
    CMainDlg main;
    ASSERT_TRUE(guitest::showAndExpose(&main));
    CCoolButton* b = button(&main, c.id);
    ASSERT_NE(b, nullptr);
    main.listCtrl()->setFocus();
    QTest::mouseMove(main.listCtrl()->viewport(), QPoint(20, 20));
    if (c.mouse == Mouse::OverButton) {
        QTest::mouseMove(b, b->rect().center());
        ASSERT_TRUE(guitest::waitUntil([&] { return b->isHovering(); }));
    }
    if (c.keys != Keys::None) {
        QTest::keyClick(main.listCtrl(), Qt::Key_Tab);
        ASSERT_TRUE(guitest::waitUntil([&] { return b->hasFocus(); }));
    }
    if (c.keys == Keys::TabOntoAndAway) {
        QTest::keyClick(b, Qt::Key_Tab);
        ASSERT_TRUE(guitest::waitUntil([&] { return !b->hasFocus(); }));
    }
    QImage face = loadBitmap(c.face).toImage();
    ASSERT_FALSE(face.isNull()) << c.face;
    EXPECT_EQ(b->size(), face.size());
    QImage shown;
    EXPECT_TRUE(guitest::waitUntil([&] {
        shown = guitest::grabFromScreen(b);
        return guitest::differingPixels(shown, face) == 0;
    })) << "differing pixels: "
        << guitest::differingPixels(shown, face);
}

INSTANTIATE_TEST_SUITE_P(
    States, ButtonFaceTest,
    ::testing::Values(FaceCase{"disabled_under_the_mouse", IDC_EDIT, Mouse::OverButton, Keys::None,
                               142},
                      FaceCase{"disabled_convert", IDC_CONVERT, Mouse::OverButton, Keys::None, 154},
                      FaceCase{"normal", IDC_ABOUT, Mouse::Away, Keys::None, 147},
                      FaceCase{"hover", IDC_ADD, Mouse::OverButton, Keys::None, 136},
                      FaceCase{"keyboard_focus", IDC_ADD, Mouse::Away, Keys::TabOnto, 137},
                      FaceCase{"focus_gone", IDC_ADD, Mouse::Away, Keys::TabOntoAndAway, 135}),
    [](const ::testing::TestParamInfo<FaceCase>& i) { return std::string(i.param.name); });

TEST_F(GuiTest, ButtonsTakeTheSizeOfTheirNormalFace) {
    CMainDlg main;
    CDlgFile file;
    struct Case {
        QWidget* dlg;
        int id;
        QSize size;
    };
    const Case cases[] = {{&main, IDC_ADD, {87, 28}},          {&main, IDC_EDIT, {87, 28}},
                          {&main, IDC_DELETE, {87, 28}},       {&main, IDC_ABOUT, {87, 28}},
                          {&main, IDC_CONVERT, {100, 100}},    {&file, IDOK, {87, 28}},
                          {&file, IDCANCEL, {87, 28}},         {&file, IDC_BROWSE_SOURCE, {60, 24}},
                          {&file, IDC_BROWSE_FOLDER, {60, 24}}};
    ASSERT_TRUE(guitest::showAndExpose(&main));
    ASSERT_TRUE(guitest::showAndExpose(&file));
    for (const Case& c : cases) EXPECT_EQ(button(c.dlg, c.id)->size(), c.size) << c.id;
    EXPECT_EQ(loadBitmap(138).size(), QSize(32, 24));
    EXPECT_EQ(loadBitmap(150).size(), QSize(32, 24));
}

TEST_F(GuiTest, AnEditsFrameIsBlackWhileHoveredOrFocused) {
    CDlgFile file;
    ASSERT_TRUE(guitest::showAndExpose(&file));
    CCoolEdit* edit = findControl<CCoolEdit>(&file, IDC_CROP_LEFT);
    QWidget* elsewhere = findControl<QWidget>(&file, IDC_CROP_RIGHT);
    auto frameOnScreen = [&] { return guitest::grabFromScreen(edit).pixelColor(0, 0); };
    auto frameBecomes = [&](QColor color) {
        return guitest::waitUntil([&] { return frameOnScreen() == color; });
    };
    const QColor black(Qt::black), flat(160, 160, 160);
    QTest::mouseMove(&file, QPoint(2, 2));
    EXPECT_TRUE(frameBecomes(flat));
    QTest::mouseMove(edit, edit->rect().center());
    EXPECT_TRUE(frameBecomes(black));
    QTest::mouseMove(&file, QPoint(2, 2));
    EXPECT_TRUE(frameBecomes(flat));
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::mouseMove(&file, QPoint(2, 2));
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_TRUE(frameBecomes(black));
    elsewhere->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(frameBecomes(flat));
}

}  // namespace
