#pragma once
// The fixture of the GUI tests: scripted desktop services, a temporary directory, and
// helpers to fill the job list and press buttons.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <string>

#include "Controls.h"
#include "ConversionJob.h"
#include "gui/gui_util.h"
#include "gui/scripted_platform.h"
#include "testing/test_util.h"

class CMainDlg;

class GuiTest : public ::testing::Test {
  protected:
    ScriptedPlatform ui_;
    testing_util::TempDir dir_;

    // A copy of a movie in the temporary directory, named after the running test.
    std::string copyMovie(const std::string& path, const std::string& tag);
    // Appends a row to the main window's list.
    static void addRow(CMainDlg* main, const std::string& source, const std::string& dest,
                       JobStatus status = JobStatus::Waiting);
    // The texts of column `column` of every row.
    static QStringList column(CMainDlg* main, int column);
    // Clicks control `id` of `dialog` with the left mouse button.
    static void click(QWidget* dialog, int id);
};

inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// The bundled sample movie.
std::string samplePath();
