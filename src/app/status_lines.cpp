#include "status_lines.h"

#include "readable_text.h"

namespace zirvak {

StatusLines StatusLinesOf(const StatusSnapshot& status) {
    StatusLines lines;
    if (status.hasSong) {
        // Tags are text from outside too: their control characters are shown, not obeyed. A
        // title made from the file's name is readable already.
        lines.artist = QString::fromStdString(ReadableText(status.artist));
        lines.title = QString::fromStdString(status.titleFromTags ? ReadableText(status.title)
                                                                  : status.title);
    }
    lines.details = QStringLiteral("%1 / %2   Volume %3%")
                        .arg(QString::fromStdString(FormatTime(status.positionMs)),
                             QString::fromStdString(FormatTime(status.lengthMs)))
                        .arg(status.volumePercent);
    if (status.playback == PlaybackStatus::Paused)
        lines.details.prepend(QStringLiteral("Paused   "));
    if (status.hasSong)
        lines.details +=
            QStringLiteral("   Song %1/%2").arg(status.songIndex + 1).arg(status.songCount);
    if (status.replayGain != ReplayGainMode::kOff)
        lines.details += QStringLiteral("   ReplayGain %1")
                             .arg(QLatin1String(ReplayGainModeName(status.replayGain)));
    return lines;
}

}  // namespace zirvak
