#include "message_board.h"

#include <cstdio>

#include "readable_text.h"

namespace zirvak {

namespace {

// The line on stderr, its bytes outside UTF-8 escaped; the sentence, with its full stop, in the
// box. Control characters are escaped in both: a name cannot start a line of its own.
QString Sentence(const std::string& text) {
    std::fprintf(stderr, "zirvak: %s\n", PrintableText(text).c_str());
    const QString line = QString::fromStdString(ReadableText(text));
    return line.endsWith(QLatin1Char('.')) ? line : line + QLatin1Char('.');
}

}  // namespace

void MessageBoard::Show(const std::string& text) {
    if (!box_) lines_.clear();  // the user closed it: those were read
    lines_ << Sentence(text);
    Update();
}

void MessageBoard::ShowOutputLost(const std::string& text) {
    if (!box_) lines_.clear();
    if (!outputLost_.isEmpty()) lines_.removeAll(outputLost_);
    outputLost_ = Sentence(text);
    lines_ << outputLost_;
    Update();
}

void MessageBoard::WithdrawOutputLost() {
    if (outputLost_.isEmpty()) return;
    lines_.removeAll(outputLost_);
    outputLost_.clear();
    if (lines_.isEmpty() && box_) {
        box_->close();
        return;
    }
    if (box_) Update();
}

QStringList MessageBoard::lines() const {
    return box_ && box_->isVisible() ? lines_ : QStringList();
}

void MessageBoard::Update() {
    const QString text = lines_.join(QLatin1Char('\n'));
    if (box_) {
        box_->setText(text);
        return;
    }
    box_ = new QMessageBox(QMessageBox::Warning, QStringLiteral("Zirvak"), text, QMessageBox::Ok,
                           window_);
    box_->setAttribute(Qt::WA_DeleteOnClose);
    // Beside the window, not over it: no modality, and the keyboard stays with the window.
    box_->setWindowModality(Qt::NonModal);
    box_->setAttribute(Qt::WA_ShowWithoutActivating);
    box_->show();
}

}  // namespace zirvak
