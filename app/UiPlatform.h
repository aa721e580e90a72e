#pragma once
// The services of the desktop the dialogs use and tests answer: message boxes, the file
// chooser, the folder browser and opening the help file. The program runs on the real
// ones; a test installs its own with setUiPlatform.

#include <QString>

class QWidget;

// Buttons and answers of a message box.
enum class MessageButtons { Ok, YesNo };
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

class UiPlatform {
  public:
    virtual ~UiPlatform() = default;
    // Shows `text` and returns the button chosen (kAnswerOk, kAnswerYes or kAnswerNo).
    virtual int messageBox(QWidget* parent, const QString& text, MessageButtons buttons) = 0;
    // A file-open dialog with Qt filters; the chosen full path, or "" when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& filter) = 0;
    // A folder browser opened at `preselect` ("" for none); the folder, or "" when cancelled.
    virtual QString browseFolder(QWidget* parent, const QString& preselect) = 0;
    // Opens a document (the help file) with the desktop's default handler.
    virtual void openDocument(const QString& path) = 0;
};

// The services in use.
UiPlatform& uiPlatform();
// Replaces them; null restores the real ones. The caller keeps ownership.
void setUiPlatform(UiPlatform* platform);

// A message box with string `stringId` of the string table.
int messageBox(QWidget* parent, int stringId, MessageButtons buttons);
