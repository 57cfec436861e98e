#include "about_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "zirvak_version.h"

namespace zirvak {

namespace {

// Where the picture leaves room for the version line, under its subtitle, and its colour.
constexpr QPoint kVersionAt(113, 84);
constexpr QRgb kVersionColour = 0xAAB0E4;

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Haqqinda"));
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/pictures/about.png")));
    // The version is the build's own, written over the picture rather than drawn into it.
    auto* version = new QLabel(QStringLiteral("version %1").arg(QLatin1String(kVersion)), picture);
    version->setObjectName(QStringLiteral("version"));
    QFont small = version->font();
    small.setPixelSize(10);
    version->setFont(small);
    QPalette palette = version->palette();
    palette.setColor(QPalette::WindowText, QColor(kVersionColour));
    version->setPalette(palette);
    version->setAttribute(Qt::WA_TranslucentBackground);
    version->move(kVersionAt);
    version->adjustSize();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);  // Enter closes the box; Escape does as in every dialog
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace zirvak
