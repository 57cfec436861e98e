#include "open_filters.h"

#include "format_table.h"
#include "playlist_files.h"

namespace zirvak {

QStringList OpenFilters() {
    QStringList playable;
    for (const std::string_view extension : PlayableExtensions())
        playable << QString::fromStdString(AnyCasePattern(extension));
    for (const std::string_view extension : kPlaylistExtensions)
        playable << QString::fromStdString(AnyCasePattern(extension));
    return {QStringLiteral("MP3 File (*.mp3)"), QStringLiteral("WAV File (*.wav)"),
            QStringLiteral("All playable files (%1)").arg(playable.join(QLatin1Char(' '))),
            QStringLiteral("All files (*)")};
}

}  // namespace zirvak
