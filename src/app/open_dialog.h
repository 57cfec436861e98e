// The Open dialog: a folder's sub-folders and playable files, several of which can be chosen at
// once. Names are kept as the bytes they are on disk, so a file whose name is not UTF-8 is
// listed, shown (readably: see ReadableText) and opened as it is.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace zirvak {

class OpenDialog : public QDialog {
    Q_OBJECT
public:
    // Starts in `folder` (bytes; the home folder when empty or unreadable), showing files that
    // match the first of `filters` ("MP3 File (*.mp3)", ...).
    OpenDialog(const std::string& folder, const QStringList& filters, QWidget* parent = nullptr);

    // After exec() accepted: the chosen files' paths, and the folder they were chosen in.
    const std::vector<std::string>& chosen() const { return chosen_; }
    const std::string& folder() const { return folder_; }

    // A name's bytes as the dialog shows them.
    static QString DisplayName(const std::string& name);

public slots:
    void accept() override;

private:
    void Show(const std::string& folder);
    void Refill();
    void Activated(QListWidgetItem* item);
    void SelectionChanged();
    std::string PathOf(const std::string& name) const;
    // The names typed or selected in the name field, each as bytes.
    std::vector<std::string> NamesInField() const;

    std::string folder_;
    std::vector<std::string> chosen_;
    QLineEdit* folderEdit_;
    QListWidget* list_;
    QLineEdit* nameEdit_;
    QComboBox* filterBox_;
};

}  // namespace zirvak
