#include "about_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zirvak {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Haqqinda"));
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/pictures/about.png")));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);  // Enter closes the box; Escape does as in every dialog
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace zirvak
