#include "scripted_platform.h"

namespace {

const QString kMessagePrefix = QStringLiteral("message: ");

template <class T>
T take(std::deque<T>* answers, T none) {
    if (answers->empty()) return none;
    T a = answers->front();
    answers->pop_front();
    return a;
}

}  // namespace

QStringList ScriptedPlatform::messages() const {
    QStringList texts;
    for (const QString& r : requests)
        if (r.startsWith(kMessagePrefix)) texts << r.mid(kMessagePrefix.size());
    return texts;
}

void ScriptedPlatform::log(const QString& request) {
    requests << request;
    if (onRequest) onRequest(request);
}

int ScriptedPlatform::messageBox(QWidget*, const QString& text, MessageButtons buttons) {
    log(kMessagePrefix + text);
    return take(&messageAnswers, buttons == MessageButtons::Ok ? kAnswerOk : kAnswerNo);
}

QString ScriptedPlatform::openFileName(QWidget*, const QString& filter) {
    log("open file: " + filter);
    return take(&fileAnswers, QString());
}

QString ScriptedPlatform::browseFolder(QWidget*, const QString& preselect) {
    log("folder: " + preselect);
    return take(&folderAnswers, QString());
}

void ScriptedPlatform::openDocument(const QString& path) {
    log("document: " + path);
}
