// The job settings dialog with real widgets, opened from the main window.

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>

#include "DlgFile.h"
#include "JobListCtrl.h"
#include "MainDlg.h"
#include "core/job_files.h"
#include "core/job_rules.h"
#include "gui/gui_fixture.h"
#include "res/resource.h"

namespace {

QLineEdit* edit(QWidget* d, int id) {
    return findControl<QLineEdit>(d, id);
}

QComboBox* combo(QWidget* d, int id) {
    return findControl<QComboBox>(d, id);
}

void typeInto(QWidget* d, int id, const QString& text) {
    QLineEdit* e = edit(d, id);
    e->clear();
    QTest::keyClicks(e, text);
}

class SettingsDialogTest : public GuiTest {
  protected:
    void SetUp() override { ASSERT_TRUE(guitest::showAndExpose(&main_)); }

    // Opens the dialog with Add (or Edit) and runs `inside` in it.
    void openWith(int button, const std::function<void(CDlgFile*)>& inside) {
        bool shown = false;
        guitest::onModal<CDlgFile>(inside, &shown);
        click(&main_, button);
        EXPECT_TRUE(shown);
    }

    CMainDlg main_;
};

TEST_F(SettingsDialogTest, YesToAnotherJobReopensTheChooserWithTheDialogOpen) {
    std::string a = copyMovie(samplePath(), "a"), b = copyMovie(samplePath(), "b");
    ui_.fileAnswers = {qs(a), qs(b)};
    ui_.messageAnswers = {kAnswerYes, kAnswerNo};
    QStringList seenInDialog;
    ui_.onRequest = [&](const QString& request) {
        auto* d = qobject_cast<CDlgFile*>(QApplication::activeModalWidget());
        if (!request.startsWith("open file") || !d) return;
        seenInDialog << edit(d, IDC_SOURCE)->text() + "|" + edit(d, IDC_CROP_LEFT)->text() + "|" +
                            combo(d, IDC_SIZE)->currentText() + "|" +
                            combo(d, IDC_BITRATE)->currentText();
    };
    openWith(IDC_ADD, [&](CDlgFile* d) {
        EXPECT_EQ(d->windowTitle(), QString::fromUtf8("设置需要转换的文件"));
        EXPECT_EQ(combo(d, IDC_BITRATE)->currentText(), "100000");
        EXPECT_EQ(combo(d, IDC_SIZE)->currentText(), "128*96");
        click(d, IDC_BROWSE_SOURCE);
        typeInto(d, IDC_CROP_LEFT, "12");
        combo(d, IDC_SIZE)->setCurrentIndex(3);
        combo(d, IDC_BITRATE)->setCurrentIndex(2);
        click(d, IDOK);  // adds a; "Ещё?" Yes: the chooser opens again, b is chosen
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(edit(d, IDC_SOURCE)->text(), qs(b));
        click(d, IDOK);  // adds b; "Ещё?" No closes the dialog
    });
    EXPECT_EQ(ui_.messages(), QStringList({"Ещё?", "Ещё?"}));
    // The second chooser came with the dialog open, names cleared, the rest kept.
    EXPECT_EQ(seenInDialog, QStringList({"||128*96|100000", "|12|160*128|50000"}));
    ASSERT_EQ(main_.listCtrl()->itemCount(), 2);
    for (int row = 0; row < 2; ++row) {
        const ConversionJob& job = main_.listCtrl()->jobAt(row);
        EXPECT_EQ(job.cropLeft, 12);
        EXPECT_EQ(job.width, 160);
        EXPECT_EQ(job.height, 128);
        EXPECT_EQ(job.bitRate, 50000u);
    }
    EXPECT_EQ(column(&main_, 1), QStringList({qs(a), qs(b)}));
}

TEST_F(SettingsDialogTest, TheFolderBrowserNamesTheDestinationAndIsRemembered) {
    std::string source = copyMovie(samplePath(), "clip");
    std::string out = dir_.file("out/");
    ASSERT_TRUE(QDir().mkpath(qs(out)));
    ui_.fileAnswers = {qs(source)};
    ui_.folderAnswers = {qs(out), QString()};
    openWith(IDC_ADD, [&](CDlgFile* d) {
        click(d, IDC_BROWSE_SOURCE);
        click(d, IDC_BROWSE_FOLDER);
        EXPECT_EQ(edit(d, IDC_DESTINATION)->text(), qs(out + baseNameOf(source) + "_new.mp4"));
        EXPECT_EQ(edit(d, IDC_WAVNAME)->text(), qs(out + baseNameOf(source) + "_new.mp4.wav"));
        click(d, IDCANCEL);
    });
    EXPECT_EQ(main_.listCtrl()->itemCount(), 0);
    // A second dialog's browser opens at the folder chosen last; cancelling it changes nothing.
    openWith(IDC_ADD, [&](CDlgFile* d) {
        click(d, IDC_BROWSE_FOLDER);
        EXPECT_EQ(edit(d, IDC_DESTINATION)->text(), "");
        click(d, IDCANCEL);
    });
    EXPECT_EQ(ui_.requests.back(), "folder: " + qs(out.substr(0, out.size() - 1)));
}

struct RefusalCase {
    const char* name;
    const char* cropLeft;
    const char* cropBottom;
    bool duplicate;   // another row has the destination, in other letter case
    bool destExists;  // the destination file is there already
    std::deque<int> answers;
    QStringList messages;
    bool added;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusalTest : public SettingsDialogTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, ValidationKeepsTheDialogOpenWithItsValues) {
    const RefusalCase& c = GetParam();
    std::string source = copyMovie(samplePath(), "movie");
    std::string dest = jobrules::destinationBesideSource(source);
    if (c.duplicate)
        addRow(&main_, "/elsewhere/x.3gp", QString::fromStdString(dest).toUpper().toStdString());
    if (c.destExists) testing_util::writeFile(dest, {1, 2, 3});
    const int rowsBefore = main_.listCtrl()->itemCount();
    ui_.fileAnswers = {qs(source)};
    ui_.messageAnswers = c.answers;
    openWith(IDC_ADD, [&](CDlgFile* d) {
        click(d, IDC_BROWSE_SOURCE);
        typeInto(d, IDC_CROP_LEFT, c.cropLeft);
        typeInto(d, IDC_CROP_BOTTOM, c.cropBottom);
        click(d, IDOK);
        if (d->isVisible()) {
            EXPECT_EQ(edit(d, IDC_CROP_LEFT)->text(), c.cropLeft);
            EXPECT_EQ(edit(d, IDC_SOURCE)->text(), qs(source));
            click(d, IDCANCEL);
        }
    });
    EXPECT_EQ(ui_.messages(), c.messages);
    EXPECT_EQ(main_.listCtrl()->itemCount(), rowsBefore + (c.added ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(
    Checks, RefusalTest,
    ::testing::Values(
        RefusalCase{"left_61", "61", "", false, false, {kAnswerOk}, {"Не больше 60!"}, false},
        RefusalCase{"bottom_41", "60", "41", false, false, {kAnswerOk}, {"Не больше 40!"}, false},
        RefusalCase{
            "already_queued", "0", "0", true, false, {kAnswerOk}, {"Файл уже \nв очереди!"}, false},
        RefusalCase{"exists_keep",
                    "0",
                    "0",
                    false,
                    true,
                    {kAnswerNo},
                    {"文件已经存在，请确认是否覆盖?"},
                    false},
        RefusalCase{"exists_overwrite",
                    "0",
                    "0",
                    false,
                    true,
                    {kAnswerYes, kAnswerNo},
                    {"文件已经存在，请确认是否覆盖?", "Ещё?"},
                    true},
        RefusalCase{"limits_pass", "60", "40", false, false, {kAnswerNo}, {"Ещё?"}, true}),
    [](const ::testing::TestParamInfo<RefusalCase>& i) { return std::string(i.param.name); });

TEST_F(SettingsDialogTest, EmptyNamesAndTheMissingSource) {
    ui_.fileAnswers = {qs(dir_.file("gone.3gp"))};
    openWith(IDC_ADD, [&](CDlgFile* d) {
        click(d, IDOK);
        click(d, IDC_BROWSE_SOURCE);
        EXPECT_EQ(edit(d, IDC_SOURCE)->text(), "");
        // Crop edits take two digits and nothing but digits.
        typeInto(d, IDC_CROP_TOP, "4x56");
        EXPECT_EQ(edit(d, IDC_CROP_TOP)->text(), "45");
        click(d, IDCANCEL);
    });
    EXPECT_EQ(ui_.messages(), QStringList({"7109!", "您选择的电影文件并不存在，请重新选择!"}));
    ui_.requests.clear();
    ui_.folderAnswers = {qs(dir_.path())};
    openWith(IDC_ADD, [&](CDlgFile* d) {
        click(d, IDC_BROWSE_FOLDER);  // no source: the destination is the folder itself
        edit(d, IDC_DESTINATION)->clear();
        edit(d, IDC_SOURCE)->setText("/d/a.3gp");
        click(d, IDOK);
        click(d, IDCANCEL);
    });
    EXPECT_EQ(ui_.messages(), QStringList({"目的文件不能为空!"}));
}

TEST_F(SettingsDialogTest, EditingARowShowsItsValuesAndKeepsThemAsWaiting) {
    addRow(&main_, "/clips/other.3gp", "/out/other_new.mp4");
    addRow(&main_, "/clips/a.3gp", "/out/a_new.mp4", JobStatus::Done);
    ConversionJob& job = main_.listCtrl()->jobAt(1);
    job.width = 160;
    job.height = 128;
    job.bitRate = 80000;
    job.cropRight = 33;
    main_.listCtrl()->selectRow(1);
    ASSERT_TRUE(findControl<QPushButton>(&main_, IDC_EDIT)->isEnabled());
    openWith(IDC_EDIT, [&](CDlgFile* d) {
        EXPECT_EQ(edit(d, IDC_SOURCE)->text(), "/clips/a.3gp");
        EXPECT_EQ(edit(d, IDC_DESTINATION)->text(), "/out/a_new.mp4");
        EXPECT_EQ(edit(d, IDC_CROP_RIGHT)->text(), "33");
        EXPECT_EQ(edit(d, IDC_CROP_LEFT)->text(), "0");
        EXPECT_EQ(combo(d, IDC_SIZE)->currentText(), "160*128");
        EXPECT_EQ(combo(d, IDC_BITRATE)->currentText(), "80000");
        click(d, IDOK);
        EXPECT_FALSE(d->isVisible());
    });
    EXPECT_TRUE(ui_.requests.isEmpty());
    ASSERT_EQ(main_.listCtrl()->itemCount(), 2);
    EXPECT_EQ(job.status, static_cast<int32_t>(JobStatus::Waiting));
    EXPECT_EQ(job.width, 160);
    EXPECT_EQ(job.height, 128);
    EXPECT_EQ(job.bitRate, 80000u);
    EXPECT_EQ(job.cropRight, 33);
    EXPECT_EQ(column(&main_, 0), QStringList({"Ждём", "Ждём"}));
    EXPECT_EQ(main_.listCtrl()->currentRow(), 1);
}

}  // namespace
