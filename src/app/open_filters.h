// The Open dialog's filters: "MP3 File" and "WAV File", then every name the player plays or reads
// as a playlist, in any letter case (from the table of formats), then everything.
#pragma once

#include <QStringList>

namespace zirvak {

QStringList OpenFilters();

}  // namespace zirvak
