#include "shell/Alerts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <optional>

namespace {

struct Record {
    QList<int> answers;
    QList<std::optional<QString>> fileNames;
    QList<AlertSpec> shown;
    int beeps = 0;
};

Record& record()
{
    static Record r;
    return r;
}

std::optional<int> takeAnswer()
{
    if (record().answers.isEmpty())
        return std::nullopt;
    return record().answers.takeFirst();
}

QMessageBox* makeBox(QWidget* parent, const AlertSpec& alert, QHash<QAbstractButton*, int>& codes)
{
    auto* box = new QMessageBox(parent);
    box->setIcon(alert.informational ? QMessageBox::Information : QMessageBox::Warning);
    box->setText(alert.title);
    box->setInformativeText(alert.message);
    // Messages quote certbot, fetchmail and remote servers: never markup or links.
    box->setTextFormat(Qt::PlainText);
    box->setWindowTitle(alert.title);
    auto add = [&](const QString& title, QMessageBox::ButtonRole role, int code) {
        if (title.isEmpty())
            return;
        codes.insert(box->addButton(title, role), code);
    };
    add(alert.defaultButton, QMessageBox::AcceptRole, brevane::returncode::defaultButton);
    add(alert.alternateButton, QMessageBox::RejectRole, brevane::returncode::alternateButton);
    add(alert.otherButton, QMessageBox::DestructiveRole, brevane::returncode::otherButton);
    for (auto it = codes.cbegin(); it != codes.cend(); ++it)
        if (it.value() == brevane::returncode::defaultButton)
            box->setDefaultButton(qobject_cast<QPushButton*>(it.key()));
    return box;
}

} // namespace

void Alerts::beginSheet(QWidget* window, const AlertSpec& alert, std::function<void(int)> done)
{
    record().shown.append(alert);
    if (const auto answer = takeAnswer()) {
        if (done)
            done(*answer);
        return;
    }
    auto codes = std::make_shared<QHash<QAbstractButton*, int>>();
    QMessageBox* box = makeBox(window, alert, *codes);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::buttonClicked, box, [codes, done](QAbstractButton* button) {
        if (done)
            done(codes->value(button, brevane::returncode::defaultButton));
    });
    box->open();
}

int Alerts::runModal(const AlertSpec& alert)
{
    record().shown.append(alert);
    if (const auto answer = takeAnswer())
        return *answer;
    QHash<QAbstractButton*, int> codes;
    std::unique_ptr<QMessageBox> box(makeBox(nullptr, alert, codes));
    box->exec();
    return codes.value(box->clickedButton(), brevane::returncode::defaultButton);
}

void Alerts::beep()
{
    ++record().beeps;
    QApplication::beep();
}

QString Alerts::savePath(QWidget* window, const QString& directory, const QString& proposedName,
                         const QString& fileType)
{
    if (!record().fileNames.isEmpty())
        return record().fileNames.takeFirst().value_or(QString());
    QFileDialog dialog(window, QObject::tr("Save Settings"), directory + QLatin1Char('/') + proposedName);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QObject::tr("Brevane settings (*.%1)").arg(fileType));
    dialog.setDefaultSuffix(fileType);
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString Alerts::openPath(QWidget* window, const QString& fileType)
{
    if (!record().fileNames.isEmpty())
        return record().fileNames.takeFirst().value_or(QString());
    QFileDialog dialog(window, QObject::tr("Open Settings"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QObject::tr("Brevane settings (*.%1)").arg(fileType));
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void Alerts::setNextAnswer(int returnCode)
{
    record().answers.append(returnCode);
}

void Alerts::setNextFileName(const QString& path)
{
    record().fileNames.append(path.isEmpty() ? std::nullopt : std::optional<QString>(path));
}

const QList<AlertSpec>& Alerts::shown()
{
    return record().shown;
}

int Alerts::beepCount()
{
    return record().beeps;
}

void Alerts::resetRecord()
{
    record() = Record{};
}
