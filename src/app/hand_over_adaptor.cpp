#include "hand_over_adaptor.h"

#include <QTimer>

#include "main_dialog.h"
#include "mpris_service.h"

namespace zirvak {

HandOverAdaptor::HandOverAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(*service) {}

void HandOverAdaptor::Open(const QByteArrayList& paths) {
    // Opening may show a message box; the caller is answered first and not kept waiting.
    // Each path must name one file: one holding a NUL would open as the name before the NUL while
    // reported whole, and a relative one would be taken from the window's folder, not the
    // caller's. Such paths are left out.
    std::vector<std::string> files;
    for (const QByteArray& path : paths)
        if (path.startsWith('/') && !path.contains('\0'))
            files.emplace_back(path.constData(), size_t(path.size()));
    QTimer::singleShot(0, &service_, [this, files] {
        service_.window().Raise();
        if (!files.empty()) service_.commands().OpenFiles(files, WhenNonePlays::kKeepPlaying);
    });
}

}  // namespace zirvak
