#include "gui/gui_fixture.h"

#include <QStringList>

#include "JobListCtrl.h"
#include "MainDlg.h"
#include "core/job_rules.h"

std::string samplePath() {
    return std::string(KINOLITE_SOURCE_DIR) + "/samples/sample.3gp";
}

std::string GuiTest::copyMovie(const std::string& path, const std::string& tag) {
    const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(t->name()) + "_" + tag;
    for (char& ch : name)
        if (ch == '/') ch = '_';
    size_t dot = path.rfind('.');
    std::string copy = dir_.file(name + path.substr(dot));
    testing_util::writeFile(copy, testing_util::readFile(path));
    return copy;
}

void GuiTest::addRow(CMainDlg* main, const std::string& source, const std::string& dest,
                     JobStatus status) {
    auto job = std::make_unique<ConversionJob>();
    job->status = static_cast<int32_t>(status);
    job->sourcePath = source;
    job->destPath = dest;
    job->wavPath = jobrules::wavPathFor(dest);
    job->width = jobrules::kDefaultWidth;
    job->height = jobrules::kDefaultHeight;
    job->bitRate = jobrules::kDefaultBitRate;
    main->listCtrl()->insertJob(std::move(job));
}

QStringList GuiTest::column(CMainDlg* main, int column) {
    QStringList texts;
    for (int row = 0; row < main->listCtrl()->itemCount(); ++row)
        texts << main->listCtrl()->itemText(row, column);
    return texts;
}

void GuiTest::click(QWidget* dialog, int id) {
    QPushButton* b = findControl<QPushButton>(dialog, id);
    ASSERT_NE(b, nullptr) << id;
    QTest::mouseClick(b, Qt::LeftButton);
}
