// The window's messages: one box beside the window that never holds up the music, the keys or
// the menu. Messages that come while it is open join it, a line each; the line that says the
// sound output went away leaves it when the sound is back, and the box goes when it is empty.
// The box never takes the keyboard from the window when it appears.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <string>

namespace zirvak {

class MessageBoard {
public:
    explicit MessageBoard(QWidget* window) : window_(window) {}

    // A sentence without its full stop; it is printed on stderr too, for a window started from
    // a terminal.
    void Show(const std::string& text);
    // The sound output is lost: shown until Withdraw.
    void ShowOutputLost(const std::string& text);
    void WithdrawOutputLost();

    // The lines shown now (none when the box is closed).
    QStringList lines() const;

private:
    void Update();

    QWidget* window_;
    QPointer<QMessageBox> box_;
    QStringList lines_;
    QString outputLost_;  // the line about a lost output, while it stands
};

}  // namespace zirvak
