// What the on-picture display says: the song ("Artist – Title", or the title alone), then where
// playback stands.
#pragma once

#include <QString>

#include "status_snapshot.h"

namespace zirvak {

struct StatusLines {
    QString artist;
    QString title;
    QString details;

    bool operator==(const StatusLines&) const = default;
    bool empty() const { return artist.isEmpty() && title.isEmpty() && details.isEmpty(); }
};

// "Artist – Title" when the tags say, the file's name when they do not, over
// "1:02 / 3:40   Volume 80%   Song 2/5" ("Paused" in front while paused).
StatusLines StatusLinesOf(const StatusSnapshot& status);

}  // namespace zirvak
