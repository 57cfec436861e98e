// The window's messages: one box beside the window that never holds up the music, the keys or
// the menu. Messages that come while it is open join it, a line each, up to kMostListed; more
// make one summary of how many there were and the first, however many come, so that a flood of
// failures costs a cheap step each and the box stays small. A message longer than
// kMostCharacters is shortened in its middle. The line that says the sound output went away
// leaves the box when the sound is back, and the box goes when it is empty. The box never takes
// the keyboard from the window when it appears.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <string>

namespace zirvak {

class MessageBoard {
public:
    static constexpr int kMostListed = 10;
    static constexpr int kMostCharacters = 300;

    explicit MessageBoard(QWidget* window) : window_(window) {}

    // A sentence without its full stop; it is printed on stderr too, for a window started from
    // a terminal.
    void Show(const std::string& text);
    // The sound output is lost: shown until Withdraw.
    void ShowOutputLost(const std::string& text);
    void WithdrawOutputLost();

    // The lines shown now (none when the box is closed), once what came has been shown.
    QStringList lines();

private:
    // The box closed: what it said was read.
    void ForgetIfClosed();
    // Shows what came: at once while the box lists its lines; in a summary, once the window is
    // back to its events, for all that came meanwhile.
    void Update();
    void ShowNow();
    void Print(const std::string& text);
    void FlushPrinted();

    QWidget* window_;
    QPointer<QMessageBox> box_;
    QStringList listed_;   // the first messages, each a sentence
    long long count_ = 0;  // messages since the box opened
    QString outputLost_;   // the line about a lost output, while it stands
    bool updateDue_ = false;
    std::string unprinted_;  // lines for stderr, written with the next update
};

}  // namespace zirvak
