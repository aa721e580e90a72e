#pragma once
// The desktop services as the GUI tests answer them: message boxes, the file chooser and the
// folder browser take their answers from queues, and every request is logged.

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

#include "UiPlatform.h"

class ScriptedPlatform : public UiPlatform {
  public:
    ScriptedPlatform() { setUiPlatform(this); }
    ~ScriptedPlatform() override { setUiPlatform(nullptr); }

    // Answers, used in order. A message box without an answer is answered OK or No, a
    // chooser without one is cancelled.
    std::deque<int> messageAnswers;
    std::deque<QString> fileAnswers;
    std::deque<QString> folderAnswers;
    // Called at each request, before it is answered (the requesting dialog is still open).
    std::function<void(const QString& request)> onRequest;

    // Every request: "message: <text>", "open file: <filter>", "folder: <preselect>",
    // "document: <path>".
    QStringList requests;
    // The message texts alone.
    QStringList messages() const;

    int messageBox(QWidget* parent, const QString& text, MessageButtons buttons) override;
    QString openFileName(QWidget* parent, const QString& filter) override;
    QString browseFolder(QWidget* parent, const QString& preselect) override;
    void openDocument(const QString& path) override;

  private:
    void log(const QString& request);
};
