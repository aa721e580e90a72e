// kinolite-screenshots: pictures of the desktop program's real windows on a private X
// server, for reviewers and the README (make screenshots).
//
//   kinolite-screenshots OUTDIR     writes main.png, settings_add.png, settings_edit.png,
//                                   progress.png, drift_question.png and about.png

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "AboutDlg.h"
#include "Controls.h"
#include "DlgFile.h"
#include "DlgProgress.h"
#include "JobListCtrl.h"
#include "MainDlg.h"
#include "UiPlatform.h"
#include "core/context.h"
#include "core/job_rules.h"
#include "gui/gui_util.h"
#include "gui/scripted_platform.h"
#include "gui/x_server.h"
#include "res/resource.h"

namespace {

QDir g_out;
bool g_ok = true;

void save(QWidget* window, const char* name) {
    QApplication::processEvents();
    QTest::qWait(50);
    QImage shot = guitest::grabFromScreen(window);
    QString path = g_out.filePath(QString::fromUtf8(name));
    if (shot.isNull() || !shot.save(path, "PNG")) {
        std::fprintf(stderr, "kinolite-screenshots: cannot write %s\n", qPrintable(path));
        g_ok = false;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

void addRow(CMainDlg* main, const char* source, JobStatus status, uint16_t width = 128,
            uint16_t height = 96, uint32_t bitRate = 100000) {
    auto job = std::make_unique<ConversionJob>();
    job->status = static_cast<int32_t>(status);
    job->sourcePath = source;
    job->destPath = jobrules::destinationBesideSource(source);
    job->wavPath = jobrules::wavPathFor(job->destPath);
    job->width = width;
    job->height = height;
    job->bitRate = bitRate;
    job->cropLeft = 8;
    job->cropRight = 8;
    job->cropTop = 4;
    main->listCtrl()->insertJob(std::move(job));
}

// Stages that hold the video stage at 40 of 75 frames until the picture is taken.
struct HeldStages {
    static std::atomic<bool> release;
    static int prepare(const std::string&, const std::string&, int32_t* audio, uint32_t* video,
                       std::string*) {
        *audio = 249;
        *video = 75;
        return 1;
    }
    static int video(const std::atomic<int32_t>** out) {
        *out = &g_context.videoProgress;
        g_context.videoProgress = 40;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 1;
    }
    static int audio(const std::atomic<int32_t>** out) {
        *out = &g_context.audioProgress;
        return 1;
    }
};
std::atomic<bool> HeldStages::release;

void takePictures(const std::string& sample) {
    CMainDlg main;
    main.setVersionFile(QStringLiteral(KINOLITE_GUI_PROGRAM));
    addRow(&main, "/home/anna/视频/假期/beach.3gp", JobStatus::Done);
    addRow(&main, "/home/anna/Видео/dacha_2009.3gp", JobStatus::Failed);
    addRow(&main, "/home/anna/videos/birthday.mp4", JobStatus::Converting, 176, 144);
    addRow(&main, "/home/anna/videos/concert.3gp", JobStatus::Waiting, 160, 128, 80000);
    main.listCtrl()->setItemText(2, 0, QString::fromUtf8("...."));
    main.listCtrl()->selectRow(3);
    guitest::showAndExpose(&main);
    save(&main, "main.png");

    {
        ScriptedPlatform ui;
        ui.fileAnswers = {QString::fromStdString(sample)};
        guitest::onModal<CDlgFile>([&](CDlgFile* d) {
            QTest::mouseClick(findControl<QPushButton>(d, IDC_BROWSE_SOURCE), Qt::LeftButton);
            save(d, "settings_add.png");
            d->reject();
        });
        QTest::mouseClick(findControl<QPushButton>(&main, IDC_ADD), Qt::LeftButton);

        guitest::onModal<CDlgFile>([&](CDlgFile* d) {
            save(d, "settings_edit.png");
            d->reject();
        });
        QTest::mouseClick(findControl<QPushButton>(&main, IDC_EDIT), Qt::LeftButton);
    }

    // The progress dialog while the video stage of a job runs.
    CMainDlg converting;
    converting.setStages({HeldStages::prepare, HeldStages::video, HeldStages::audio});
    addRow(&converting, "/home/anna/videos/concert.3gp", JobStatus::Waiting);
    guitest::showAndExpose(&converting);
    guitest::onModal<CDlgProgress>([&](CDlgProgress* d) {
        guitest::waitUntil([&] { return d->pos() == 40 && !d->fileName().isEmpty(); });
        save(d, "progress.png");
        HeldStages::release = true;
    });
    QTest::mouseClick(findControl<QPushButton>(&converting, IDC_CONVERT), Qt::LeftButton);
    converting.hide();

    // A message box of the desktop services, with the longest question.
    guitest::onModal<QMessageBox>([&](QMessageBox* box) {
        save(box, "drift_question.png");
        box->done(QMessageBox::No);
    });
    uiPlatform().messageBox(&main, QString::fromUtf8(jobrules::kDriftQuestion),
                            MessageButtons::YesNo);

    guitest::onModal<CAboutDlg>([&](CAboutDlg* d) {
        save(d, "about.png");
        d->accept();
    });
    QTest::mouseClick(findControl<QPushButton>(&main, IDC_ABOUT), Qt::LeftButton);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kinolite-screenshots OUTDIR\n");
        return 2;
    }
    XServer x;
    std::string error;
    if (!x.start(&error)) {
        std::fprintf(stderr, "kinolite-screenshots: %s\n", error.c_str());
        return 1;
    }
    g_out = QDir(QString::fromLocal8Bit(argv[1]));
    g_out.mkpath(".");
    QApplication app(argc, argv);
    takePictures(std::string(KINOLITE_SOURCE_DIR) + "/samples/sample.3gp");
    return g_ok ? 0 : 1;
}
