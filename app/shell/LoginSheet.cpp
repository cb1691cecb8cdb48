#include "shell/LoginSheet.h"

#include <QCloseEvent>

void LoginSheet::reject() { }

void LoginSheet::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
