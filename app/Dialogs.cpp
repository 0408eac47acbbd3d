#include "app/Dialogs.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>

namespace {

// A message box whose Yes/No question can only be answered by its buttons: Esc and the close
// button do nothing, so the answer is always Yes or No.
class AnswerBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool mustAnswer = false;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (mustAnswer && e->key() == Qt::Key_Escape) {
            e->accept();
            return;
        }
        QMessageBox::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent* e) override {
        if (mustAnswer && !answered_) {
            e->ignore();
            return;
        }
        QMessageBox::closeEvent(e);
    }
    void done(int r) override {
        if (mustAnswer && clickedButton() == nullptr)
            return;
        answered_ = true;
        QMessageBox::done(r);
    }

private:
    bool answered_ = false;
};

} // namespace

int QtDialogs::ShowMessage(const Text& text, int flags, const Text& caption) {
    AnswerBox box(owner_);
    box.setWindowTitle(TextToQString(caption));
    box.setText(TextToQString(text));
    switch (flags) {
    case FlagsError:
        box.setIcon(QMessageBox::Critical);
        break;
    case FlagsQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case FlagsWarning:
        box.setIcon(QMessageBox::Warning);
        break;
    default:
        box.setIcon(QMessageBox::Information);
        break;
    }
    if (flags == FlagsQuestion) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.mustAnswer = true;
        box.setWindowFlag(Qt::WindowCloseButtonHint, false);
        box.exec();
        return box.clickedButton() == box.button(QMessageBox::Yes) ? ButtonYes : ButtonNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return ButtonOk;
}

Text ChosenFolderText(const QString& dir) {
    // A folder whose name on disk is not valid UTF-8 comes back with U+FFFD in place of its
    // bytes and would name another folder; like a choice without a path, it gives nothing.
    if (dir.isEmpty() || dir.contains(QChar::ReplacementCharacter))
        return Text();
    return TextFromQString(dir);
}

Text QtDialogs::BrowseForFolder(const Text& title) {
    QString dir = QFileDialog::getExistingDirectory(owner_, TextToQString(title), QString(),
                                                    QFileDialog::ShowDirsOnly);
    return ChosenFolderText(dir);
}
