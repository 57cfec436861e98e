// The About box: the About picture and an OK button. Enter and Escape close it too.
#pragma once

#include <QDialog>

namespace zirvak {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace zirvak
