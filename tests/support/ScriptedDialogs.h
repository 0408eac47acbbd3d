#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "app/Dialogs.h"
#include "app/MainWindow.h"

// Dialogs for tests: every call is recorded and answered from prepared answers, so no test
// ever opens a real modal dialog.
class ScriptedDialogs : public Dialogs {
public:
    struct Message {
        QString text;
        int flags;
        QString caption;
    };

    std::vector<Message> messages;
    std::vector<QString> browseTitles;
    // Answers in order; an unscripted question is answered No, an unscripted browse cancels.
    std::deque<int> messageAnswers;
    std::deque<QString> folderAnswers;
    // Runs inside each message box, while it is "open".
    std::function<void(const Message&)> onMessage;

    int ShowMessage(const Text& text, int flags, const Text& caption) override {
        Message m{TextToQString(text), flags, TextToQString(caption)};
        messages.push_back(m);
        if (onMessage)
            onMessage(m);
        if (!messageAnswers.empty()) {
            const int answer = messageAnswers.front();
            messageAnswers.pop_front();
            return answer;
        }
        return flags == FlagsQuestion ? ButtonNo : ButtonOk;
    }

    Text BrowseForFolder(const Text& title) override {
        browseTitles.push_back(TextToQString(title));
        if (folderAnswers.empty())
            return Text();
        const QString answer = folderAnswers.front();
        folderAnswers.pop_front();
        return TextFromQString(answer);
    }
};

// Installs scripted dialogs into a window and returns them.
inline ScriptedDialogs& InstallScriptedDialogs(MainWindow& w) {
    auto dialogs = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs& ref = *dialogs;
    w.setDialogs(std::move(dialogs));
    return ref;
}
