#pragma once

#include "text/Text.h"

class QWidget;

// Button numbers returned by a message box.
enum ButtonNumber { ButtonOk = 0, ButtonCancel = 1, ButtonYes = 5, ButtonNo = 6 };

// Message box flags the program uses: buttons plus icon.
enum MessageFlags { FlagsError = 16, FlagsQuestion = 36, FlagsWarning = 48, FlagsInformation = 64 };

// The modal dialogs the window opens. The window owns one; tests install a scripted one.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a modal message box and returns the ButtonNumber of the button pressed.
    virtual int ShowMessage(const Text& text, int flags, const Text& caption) = 0;
    // Lets the user pick a folder; the chosen path (no trailing separator except for the root),
    // or the empty text on cancel.
    virtual Text BrowseForFolder(const Text& title) = 0;
};

// The text of a folder the file dialog returned; the empty text when there was none, or when
// the dialog could not give its name exactly.
Text ChosenFolderText(const QString& dir);

// The real dialogs: QMessageBox and a folders-only QFileDialog.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* owner) : owner_(owner) {}
    int ShowMessage(const Text& text, int flags, const Text& caption) override;
    Text BrowseForFolder(const Text& title) override;

private:
    QWidget* owner_;
};
