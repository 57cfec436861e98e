#include "open_dialog.h"

#include <sys/stat.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <cstdlib>

#include "folder_listing.h"
#include "readable_text.h"

namespace zirvak {

namespace {

constexpr int kNameRole = Qt::UserRole;
constexpr int kFolderRole = Qt::UserRole + 1;

std::string Bytes(const QByteArray& bytes) {
    return {bytes.constData(), size_t(bytes.size())};
}

std::string NameOf(const QListWidgetItem* item) {
    return Bytes(item->data(kNameRole).toByteArray());
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "a.mp3", or "\"a.mp3\" \"b.mp3\"" for several, as file dialogs write them.
QStringList SplitNames(const QString& text) {
    const QString trimmed = text.trimmed();
    if (!trimmed.startsWith(QLatin1Char('"')))
        return trimmed.isEmpty() ? QStringList() : QStringList{trimmed};
    QStringList names;
    for (qsizetype at = 0; (at = trimmed.indexOf(QLatin1Char('"'), at)) >= 0;) {
        const qsizetype end = trimmed.indexOf(QLatin1Char('"'), at + 1);
        if (end < 0) break;
        if (end > at + 1) names << trimmed.mid(at + 1, end - at - 1);
        at = end + 1;
    }
    return names;
}

}  // namespace

QString OpenDialog::DisplayName(const std::string& name) {
    return QString::fromStdString(ReadableText(name));
}

OpenDialog::OpenDialog(const std::string& folder, const QStringList& filters, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Open a File"));
    folderEdit_ = new QLineEdit(this);
    folderEdit_->setObjectName(QStringLiteral("folder"));
    auto* up = new QToolButton(this);
    up->setObjectName(QStringLiteral("up"));
    up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up->setToolTip(QStringLiteral("Up one folder"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("files"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName(QStringLiteral("fileNameEdit"));
    filterBox_ = new QComboBox(this);
    filterBox_->setObjectName(QStringLiteral("filters"));
    filterBox_->addItems(filters);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Look in:"), this), 0, 0);
    layout->addWidget(folderEdit_, 0, 1);
    layout->addWidget(up, 0, 2);
    layout->addWidget(list_, 1, 0, 1, 3);
    layout->addWidget(new QLabel(QStringLiteral("File name:"), this), 2, 0);
    layout->addWidget(nameEdit_, 2, 1, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Files of type:"), this), 3, 0);
    layout->addWidget(filterBox_, 3, 1, 1, 2);
    layout->addWidget(buttons, 4, 0, 1, 3);
    resize(640, 420);

    connect(buttons, &QDialogButtonBox::accepted, this, &OpenDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(up, &QToolButton::clicked, this, [this] {
        const size_t slash = folder_.find_last_of('/', folder_.size() > 1 ? folder_.size() - 2 : 0);
        Show(slash == std::string::npos || slash == 0 ? "/" : folder_.substr(0, slash));
    });
    connect(folderEdit_, &QLineEdit::returnPressed, this,
            [this] { Show(folderEdit_->text().toStdString()); });
    connect(filterBox_, &QComboBox::currentIndexChanged, this, &OpenDialog::Refill);
    connect(list_, &QListWidget::itemActivated, this, &OpenDialog::Activated);
    connect(list_, &QListWidget::itemSelectionChanged, this, &OpenDialog::SelectionChanged);

    const char* home = std::getenv("HOME");
    Show(IsFolder(folder) ? folder : home && *home ? home : "/");
    nameEdit_->setFocus();
}

void OpenDialog::Show(const std::string& folder) {
    if (!IsFolder(folder)) return;
    folder_ =
        folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
    folderEdit_->setText(DisplayName(folder_));
    nameEdit_->clear();
    Refill();
}

void OpenDialog::Refill() {
    list_->clear();
    const std::vector<std::string> patterns =
        FilterPatterns(filterBox_->currentText().toStdString());
    for (const FolderEntry& entry : ListFolder(folder_, patterns)) {
        auto* item = new QListWidgetItem(
            style()->standardIcon(entry.isFolder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon),
            DisplayName(entry.name), list_);
        item->setData(kNameRole, QByteArray(entry.name.data(), qsizetype(entry.name.size())));
        item->setData(kFolderRole, entry.isFolder);
    }
}

void OpenDialog::Activated(QListWidgetItem* item) {
    if (item->data(kFolderRole).toBool())
        Show(PathOf(NameOf(item)));
    else
        accept();
}

void OpenDialog::SelectionChanged() {
    QStringList names;
    for (const QListWidgetItem* item : list_->selectedItems())
        if (!item->data(kFolderRole).toBool()) names << item->text();
    if (names.size() == 1)
        nameEdit_->setText(names.front());
    else if (names.size() > 1)
        nameEdit_->setText(QLatin1Char('"') + names.join(QStringLiteral("\" \"")) +
                           QLatin1Char('"'));
}

std::string OpenDialog::PathOf(const std::string& name) const {
    if (!name.empty() && name[0] == '/') return name;
    return (folder_ == "/" ? folder_ : folder_ + "/") + name;
}

// A name shown in the list stands for that entry's own bytes; anything else typed is taken as
// typed.
std::vector<std::string> OpenDialog::NamesInField() const {
    std::vector<std::string> names;
    for (const QString& typed : SplitNames(nameEdit_->text())) {
        const QList<QListWidgetItem*> shown = list_->findItems(typed, Qt::MatchExactly);
        names.push_back(shown.isEmpty() ? typed.toStdString() : NameOf(shown.front()));
    }
    return names;
}

void OpenDialog::accept() {
    const std::vector<std::string> names = NamesInField();
    if (names.empty()) return;
    // One folder named: go into it, as every file dialog does.
    if (names.size() == 1 && IsFolder(PathOf(names.front()))) {
        Show(PathOf(names.front()));
        return;
    }
    chosen_.clear();
    for (const std::string& name : names) chosen_.push_back(PathOf(name));
    QDialog::accept();
}

}  // namespace zirvak
