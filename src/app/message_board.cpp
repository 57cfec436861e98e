#include "message_board.h"

#include <QTimer>
#include <cstdio>

#include "messages.h"
#include "readable_text.h"

namespace zirvak {

namespace {

// The sentence, with its full stop, for the box. Control characters are escaped: a name cannot
// start a line of its own.
QString Sentence(const std::string& text) {
    QString line = QString::fromStdString(ReadableText(text));
    if (line.size() > MessageBoard::kMostCharacters) {
        const int keep = MessageBoard::kMostCharacters / 2;
        line = line.left(keep) + QStringLiteral("\u2026") + line.right(keep);
    }
    return line.endsWith(QLatin1Char('.')) ? line : line + QLatin1Char('.');
}

// 2000 as "2,000".
std::string WithThousands(long long n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace

void MessageBoard::ForgetIfClosed() {
    if (box_) return;
    listed_.clear();
    count_ = 0;
}

void MessageBoard::Show(const std::string& text) {
    ForgetIfClosed();
    ++count_;
    Print(text);
    if (listed_.size() < kMostListed) listed_ << Sentence(text);
    Update();
}

void MessageBoard::ShowOutputLost(const std::string& text) {
    ForgetIfClosed();
    Print(text);
    outputLost_ = Sentence(text);
    Update();
}

// Each message is a line on stderr too, its bytes outside UTF-8 and its control characters
// escaped, written with those that came with it: one write for a flood of them.
void MessageBoard::Print(const std::string& text) {
    unprinted_ += "zirvak: ";
    unprinted_ += PrintableText(text);
    unprinted_ += '\n';
}

void MessageBoard::FlushPrinted() {
    if (unprinted_.empty()) return;
    std::fwrite(unprinted_.data(), 1, unprinted_.size(), stderr);
    unprinted_.clear();
}

void MessageBoard::WithdrawOutputLost() {
    if (outputLost_.isEmpty()) return;
    outputLost_.clear();
    if (listed_.isEmpty() && box_) {
        box_->close();
        return;
    }
    if (box_) Update();
}

QStringList MessageBoard::lines() {
    if (updateDue_) ShowNow();
    if (!box_ || !box_->isVisible()) return {};
    return box_->text().split(QLatin1Char('\n'));
}

void MessageBoard::Update() {
    if (count_ <= kMostListed || !box_) {
        ShowNow();
        return;
    }
    if (updateDue_) return;
    updateDue_ = true;
    QTimer::singleShot(0, window_, [this] {
        if (updateDue_) ShowNow();
    });
}

void MessageBoard::ShowNow() {
    updateDue_ = false;
    FlushPrinted();
    QStringList shown = listed_;
    if (count_ > kMostListed && !listed_.isEmpty()) {
        QString first = listed_.front();
        first.chop(1);  // its full stop: the summary's ends the line
        const std::string summary =
            Words(Say::kManyCouldNotPlay, WithThousands(count_), first.toStdString());
        shown = QStringList{QString::fromStdString(summary) + QLatin1Char('.')};
    }
    if (!outputLost_.isEmpty()) shown << outputLost_;
    const QString text = shown.join(QLatin1Char('\n'));
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
