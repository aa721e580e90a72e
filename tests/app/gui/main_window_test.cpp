// The main window with real widgets: adding, deleting, converting, the About entry and help.

#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <utility>
#include <vector>

#include "AboutDlg.h"
#include "DlgFile.h"
#include "JobListCtrl.h"
#include "MainDlg.h"
#include "core/job_files.h"
#include "core/job_rules.h"
#include "gui/gui_fixture.h"
#include "platform/platform.h"
#include "res/resource.h"

namespace {

using testing_util::fileExists;
using testing_util::shellQuote;

testing_util::CommandResult inspect(const std::string& path) {
    return testing_util::runCommand(shellQuote(testing_util::cliPath()) + " inspect " +
                                    shellQuote(path));
}

class MainWindowTest : public GuiTest {};

TEST_F(MainWindowTest, AddTheSampleThroughTheSettingsDialogAndConvertIt) {
    std::string source = copyMovie(samplePath(), "sample");
    std::string dest = jobrules::destinationBesideSource(source);
    CMainDlg main;
    ASSERT_TRUE(guitest::showAndExpose(&main));
    EXPECT_FALSE(findControl<QPushButton>(&main, IDC_CONVERT)->isEnabled());

    ui_.fileAnswers = {qs(source)};
    ui_.messageAnswers = {kAnswerNo};  // "Ещё?"
    bool shown = false;
    guitest::onModal<CDlgFile>(
        [&](CDlgFile* d) {
            click(d, IDC_BROWSE_SOURCE);
            EXPECT_EQ(findControl<QLineEdit>(d, IDC_SOURCE)->text(), qs(source));
            EXPECT_EQ(findControl<QLineEdit>(d, IDC_DESTINATION)->text(), qs(dest));
            click(d, IDOK);
        },
        &shown);
    click(&main, IDC_ADD);
    ASSERT_TRUE(shown);
    EXPECT_EQ(ui_.requests,
              QStringList({"open file: 3GP Files (*.3gp);;MPEG4 Files (*.mp4);;All Files (*)",
                           "message: Ещё?"}));
    ASSERT_EQ(main.listCtrl()->itemCount(), 1);
    EXPECT_EQ(column(&main, 0), QStringList({"Ждём"}));
    EXPECT_EQ(column(&main, 1), QStringList({qs(source)}));
    EXPECT_EQ(column(&main, 2), QStringList({qs(dest)}));
    EXPECT_TRUE(findControl<QPushButton>(&main, IDC_CONVERT)->isEnabled());

    // The bar's range follows the stages: 1 .. video frames, then 1 .. audio frames.
    std::vector<std::pair<int, int>> ranges;
    QObject::connect(&main.progressDialog(), &CDlgProgress::rangeChanged,
                     [&](int low, int high) { ranges.emplace_back(low, high); });
    click(&main, IDC_CONVERT);
    EXPECT_FALSE(main.progressDialog().isVisible());
    EXPECT_EQ(column(&main, 0), QStringList({"ОК!"}));
    EXPECT_EQ(main.progressDialog().fileName(), qs(source));
    // Five seconds at 15 frames per second; 250 AMR frames, the last one not counted.
    EXPECT_EQ(ranges, (std::vector<std::pair<int, int>>{{1, 75}, {1, 249}}));
    EXPECT_EQ(ui_.requests.size(), 2);

    testing_util::CommandResult r = inspect(dest);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("\nok\n"), std::string::npos) << r.output;
}

TEST_F(MainWindowTest, SeveralSourcesEndWithTheirOwnStatuses) {
    const std::string sources[] = {
        copyMovie(samplePath(), "sample"),
        copyMovie(testing_util::fixturePath("demux/no_audio.3gp"), "no_audio"),
        copyMovie(testing_util::fixturePath("demux/mp4v_aac_drift.mp4"), "drift_yes"),
        copyMovie(testing_util::fixturePath("demux/mp4v_aac_drift.mp4"), "drift_no"),
    };
    CMainDlg main;
    ASSERT_TRUE(guitest::showAndExpose(&main));
    std::vector<std::string> dests;
    for (const std::string& s : sources) {
        dests.push_back(jobrules::destinationBesideSource(s));
        addRow(&main, s, dests.back());
    }
    // Each question comes while the progress dialog shows the movie it is about.
    QStringList askedAbout;
    ui_.onRequest = [&](const QString&) { askedAbout << main.progressDialog().fileName(); };
    ui_.messageAnswers = {kAnswerYes, kAnswerNo};
    click(&main, IDC_CONVERT);

    EXPECT_EQ(column(&main, 0), QStringList({"ОК!", "Ошибка!", "ОК!", "Ошибка!"}));
    const QString question = QString::fromUtf8(jobrules::kDriftQuestion);
    EXPECT_EQ(ui_.messages(), QStringList({question, question}));
    EXPECT_EQ(askedAbout, QStringList({qs(sources[2]), qs(sources[3])}));
    EXPECT_EQ(inspect(dests[0]).exitCode, 0);
    EXPECT_FALSE(fileExists(dests[1]));
    EXPECT_EQ(inspect(dests[2]).exitCode, 0);
    EXPECT_FALSE(fileExists(dests[3]));
    // No job leaves a temporary file behind: the stream file beside the program, the
    // decoded pictures in the current directory, the PCM file beside the source.
    for (const std::string& s : sources) {
        std::string base = baseNameOf(s);
        for (const auto& temp :
             {std::make_pair(platform::programDir() + base + kVideoEsStem, kVideoEsExtension),
              std::make_pair(base + kDecodedPicturesStem, kDecodedPicturesExtension),
              std::make_pair(platform::directoryPart(s) + base, kPcmExtension)})
            EXPECT_EQ(testing_util::jobFilesNamed(temp.first, temp.second),
                      std::vector<std::string>())
                << temp.first;
    }

    // Converting again changes nothing and asks nothing; a row added afterwards is the only
    // one converted next.
    click(&main, IDC_CONVERT);
    EXPECT_EQ(column(&main, 0), QStringList({"ОК!", "Ошибка!", "ОК!", "Ошибка!"}));
    std::string added = copyMovie(testing_util::fixturePath("demux/mp4v_amr.3gp"), "added");
    addRow(&main, added, jobrules::destinationBesideSource(added));
    click(&main, IDC_CONVERT);
    EXPECT_EQ(column(&main, 0), QStringList({"ОК!", "Ошибка!", "ОК!", "Ошибка!", "ОК!"}));
    EXPECT_EQ(ui_.messages().size(), 2);
    EXPECT_FALSE(main.progressDialog().isVisible());
}

struct DeleteCase {
    const char* name;
    int answer;
    QStringList remaining;
};

void PrintTo(const DeleteCase& c, std::ostream* os) {
    *os << c.name;
}

class DeleteRowsTest : public GuiTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteRowsTest, ThreeSelectedRows) {
    CMainDlg main;
    ASSERT_TRUE(guitest::showAndExpose(&main));
    for (const char* name : {"a", "b", "c", "d", "e"})
        addRow(&main, dir_.file(std::string(name) + ".3gp"), name);
    CJobListCtrl* list = main.listCtrl();
    auto clickRow = [&](int row, Qt::KeyboardModifiers modifiers) {
        QRect cell = list->visualRect(list->model()->index(row, 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, cell.center());
    };
    clickRow(0, Qt::NoModifier);
    EXPECT_TRUE(findControl<QPushButton>(&main, IDC_EDIT)->isEnabled());
    clickRow(2, Qt::ControlModifier);
    clickRow(4, Qt::ControlModifier);
    EXPECT_EQ(list->selectedRows(), (std::vector<int>{0, 2, 4}));
    EXPECT_FALSE(findControl<QPushButton>(&main, IDC_EDIT)->isEnabled());
    EXPECT_TRUE(findControl<QPushButton>(&main, IDC_DELETE)->isEnabled());

    ui_.messageAnswers = {GetParam().answer};
    click(&main, IDC_DELETE);
    EXPECT_EQ(ui_.messages(), QStringList({"您确认要删除吗!"}));
    EXPECT_EQ(column(&main, 2), GetParam().remaining);
    QStringList records;
    for (const std::string& d : list->jobs().destinations()) records << qs(d);
    EXPECT_EQ(records, GetParam().remaining);
    EXPECT_EQ(findControl<QPushButton>(&main, IDC_DELETE)->isEnabled(),
              !list->selectedRows().empty());
}

INSTANTIATE_TEST_SUITE_P(Answers, DeleteRowsTest,
                         ::testing::Values(DeleteCase{"yes", kAnswerYes, {"b", "d"}},
                                           DeleteCase{"no", kAnswerNo, {"a", "b", "c", "d", "e"}}),
                         [](const ::testing::TestParamInfo<DeleteCase>& i) {
                             return std::string(i.param.name);
                         });

struct AboutCase {
    const char* name;
    const char* versionFile;  // null: the test program, which carries no version block
    const char *version, *copyright, *company;
};

void PrintTo(const AboutCase& c, std::ostream* os) {
    *os << c.name;
}

class AboutBoxTest : public GuiTest, public ::testing::WithParamInterface<AboutCase> {};

TEST_P(AboutBoxTest, FromTheWindowMenu) {
    const AboutCase& c = GetParam();
    CMainDlg main;
    if (c.versionFile) main.setVersionFile(QString::fromUtf8(c.versionFile));
    ASSERT_TRUE(guitest::showAndExpose(&main));
    // A right click into the list: the window's context menu.
    QWidget* viewport = main.listCtrl()->viewport();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(10, 10),
                                 viewport->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(viewport, &rightClick);
    QMenu* menu = nullptr;
    ASSERT_TRUE(guitest::waitUntil([&] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu != nullptr;
    }));
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QString::fromUtf8("关于 Kinolite(&A)..."));

    bool shown = false;
    guitest::onModal<CAboutDlg>(
        [&](CAboutDlg* d) {
            EXPECT_EQ(d->windowTitle(), QString::fromUtf8("关于 Kinolite"));
            EXPECT_EQ(findControl<QLabel>(d, IDC_VERSION)->text(), QString::fromUtf8(c.version));
            EXPECT_EQ(findControl<QLabel>(d, IDC_COPYRIGHT)->text(),
                      QString::fromUtf8(c.copyright));
            EXPECT_EQ(findControl<QLabel>(d, IDC_COMPANY)->text(), QString::fromUtf8(c.company));
            click(d, IDOK);
        },
        &shown);
    QTest::keyClick(menu, Qt::Key_A);
    ASSERT_TRUE(guitest::waitUntil([&] { return shown && !QApplication::activeModalWidget(); }));
    EXPECT_TRUE(ui_.requests.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    VersionFiles, AboutBoxTest,
    ::testing::Values(AboutCase{"our_program", KINOLITE_GUI_PROGRAM,
                                KINOLITE_VERSION "( " KINOLITE_PRIVATE_BUILD " )",
                                "Copyright (C) The Kinolite developers", "The Kinolite developers"},
                      AboutCase{"file_without_version", nullptr, "Version", "Copyright",
                                "Kinolite 开发者"}),
    [](const ::testing::TestParamInfo<AboutCase>& i) { return std::string(i.param.name); });

TEST_F(MainWindowTest, F1OpensTheHelpFile) {
    CMainDlg main;
    ASSERT_TRUE(guitest::showAndExpose(&main));
    QTest::keyClick(&main, Qt::Key_F1);
    ASSERT_EQ(ui_.requests.size(), 1);
    EXPECT_TRUE(ui_.requests[0].startsWith("document: /")) << ui_.requests[0].toStdString();
    EXPECT_TRUE(ui_.requests[0].endsWith("/app_gui_tests.html")) << ui_.requests[0].toStdString();
}

}  // namespace
