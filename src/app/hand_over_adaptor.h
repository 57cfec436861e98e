// Zirvak's own interface for a second start of the program to hand its files over.
#pragma once

#include <QByteArrayList>
#include <QDBusAbstractAdaptor>

namespace zirvak {

class MprisService;

// A second `zirvak FILE...` calls Open here and exits; the running window plays the files.
class HandOverAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.zirvak.Zirvak")
public:
    explicit HandOverAdaptor(MprisService* service);

public slots:
    // Replaces the queue with `paths` (absolute, as bytes: a name need not be UTF-8), as Open
    // does, and raises the window; when none of them plays, what plays goes on. A path that is
    // not absolute or holds a NUL names no file and is left out.
    void Open(const QByteArrayList& paths);

private:
    MprisService& service_;
};

}  // namespace zirvak
