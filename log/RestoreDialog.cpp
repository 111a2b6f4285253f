#include "RestoreDialog.h"

#include "Failure.h"
#include "LogBackup.h"
#include "MessageBox.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

std::function<void(RestoreDialog*)>& Hook()
{
    static std::function<void(RestoreDialog*)> hook;
    return hook;
}

QString LogName(bool imperial) { return imperial ? QStringLiteral("Fitness Men") : QStringLiteral("Fitness Women"); }

QString Entries(int count) { return count == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(count); }

// The locale's short date with the whole year: backups go back years.
QString ShortDate(const QDate& day)
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return QLocale().toString(day, format);
}

} // namespace

RestoreDialog::RestoreDialog(const QList<BackupInfo>& backups, bool imperial, QWidget* parent)
    : QDialog(parent)
    , m_backups(backups)
{
    setObjectName(QStringLiteral("RestoreDialog"));
    setWindowTitle(QStringLiteral("Restore From Backup"));
    auto* column = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral("Choose a backup. The %1 log is put back as it was then; the logs as they stand now are "
                       "backed up first, and Edit > Undo takes the restore back. Backups are kept in %2.")
            .arg(LogName(imperial), QDir::toNativeSeparators(BackupFolder())),
        this);
    intro->setWordWrap(true);
    column->addWidget(intro);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("Backups"));
    m_list->setAccessibleName(QStringLiteral("Backups"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Fitness Men"), QStringLiteral("Fitness Women"),
                             QStringLiteral("Made")});
    const QLocale locale;
    for (const BackupInfo& b : m_backups) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, ShortDate(b.day));
        if (b.problem.isEmpty()) {
            item->setText(1, Entries(b.imperialEntries));
            item->setText(2, Entries(b.metricEntries));
        } else {
            item->setText(1, b.problem);
            item->setDisabled(true);
        }
        item->setText(
            3,
            b.beforeRestore
                ? QStringLiteral("before a restore, %1").arg(locale.toString(b.modified.time(), QLocale::ShortFormat))
                : QStringLiteral("at the day's first change"));
    }
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    column->addWidget(m_list, 1);
    if (m_backups.isEmpty()) {
        auto* none = new QLabel(QStringLiteral("There are no backups yet: one is made before the first change of "
                                               "each day."),
                                this);
        none->setObjectName(QStringLiteral("NoBackups"));
        none->setWordWrap(true);
        column->addWidget(none);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_restore = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::AcceptRole);
    m_restore->setObjectName(QStringLiteral("RestoreButton"));
    m_restore->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { m_restore->setEnabled(item && !item->isDisabled()); });
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item && !item->isDisabled())
            accept();
    });
    column->addWidget(buttons);
    if (m_list->topLevelItemCount() > 0 && !m_list->topLevelItem(0)->isDisabled())
        m_list->setCurrentItem(m_list->topLevelItem(0));
    resize(560, 380);
}

std::optional<BackupInfo> RestoreDialog::chosen() const
{
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || row >= m_backups.size() || !m_backups.at(row).problem.isEmpty())
        return std::nullopt;
    return m_backups.at(row);
}

QList<LogEntry> PrepareRestore(const QString& path, bool imperial)
{
    // The backup is read before anything is copied: one that cannot be read changes nothing.
    QList<LogEntry> entries = BackupLog(path, imperial);
    BackUpBeforeRestore();
    return entries;
}

std::optional<QList<LogEntry>> ChooseRestore(bool imperial, QWidget* parent)
{
    RestoreDialog dialog(ListBackups(), imperial, parent);
    if (Hook())
        Hook()(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const std::optional<BackupInfo> backup = dialog.chosen();
    if (!backup)
        return std::nullopt;
    const int entries = imperial ? backup->imperialEntries : backup->metricEntries;
    if (entries == 0
        && ShowMessage(QStringLiteral("The backup of %1 holds no entries of the %2 log. Restore it all the same, "
                                      "leaving the log empty?")
                           .arg(ShortDate(backup->day), LogName(imperial)),
                       MsgButtons::YesNo, MsgIcon::Exclamation)
            != MsgAnswer::Yes)
        return std::nullopt;
    try {
        return PrepareRestore(backup->path, imperial);
    } catch (const Failure& e) {
        ShowMessage(e.description(), MsgButtons::Ok, MsgIcon::Exclamation);
        return std::nullopt;
    }
}

void SetRestoreDialogHook(std::function<void(RestoreDialog*)> hook) { Hook() = std::move(hook); }
