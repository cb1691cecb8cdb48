#include "shell/Controls.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace brevane::controls {

int state(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return -1;
    default:
        return 0;
    }
}

void setState(QCheckBox* box, int state)
{
    if (state < 0) {
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
        return;
    }
    box->setCheckState(state == 0 ? Qt::Unchecked : Qt::Checked);
}

int selectedRow(const QButtonGroup* matrix)
{
    const QAbstractButton* checked = matrix->checkedButton();
    return checked ? matrix->buttons().indexOf(checked) : -1;
}

void selectCellAtRow(QButtonGroup* matrix, int row)
{
    const QList<QAbstractButton*> cells = matrix->buttons();
    if (row < 0 || row >= cells.size()) {
        // An exclusive group cannot be emptied by unchecking its button.
        matrix->setExclusive(false);
        for (QAbstractButton* cell : cells)
            cell->setChecked(false);
        matrix->setExclusive(true);
        return;
    }
    cells.at(row)->setChecked(true);
}

bool selectItemWithTitle(QComboBox* popup, const QString& title)
{
    const int index = popup->findText(title, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return false;
    popup->setCurrentIndex(index);
    return true;
}

QString titleOfSelectedItem(const QComboBox* popup)
{
    return popup->currentIndex() < 0 ? QString() : popup->currentText();
}

QString plainText(const QPlainTextEdit* view)
{
    QStringList lines;
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next())
        lines.append(block.text());
    return lines.join(u'\n');
}

} // namespace brevane::controls
