// The mail-queue view.
#include "maintenance/MailQueue.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"

#include <QTimer>

using namespace brevane;

void WindowController::showMailq()
{
    startProgress(tr("Listing the mail queue\u2026"));
    mailqController.removeAllObjects();
    mailqController.addObjects(parseMailQueue(run(mailqListCommand())));
    if (mailqController.rowCount() > 0)
        mailqController.setSelectionIndex(0);
    stopProgress();
}

void WindowController::manageMailq(QObject* sender)
{
    const int tag = sender->property("tag").toInt();
    if (tag == 0) {
        for (const QStringList& command :
             mailqDeleteCommands(mailqController.arrangedObjects(), mailqController.selectionIndexes()))
            run(command);
    } else if (tag == 1) {
        run(mailqFlushCommand());
    }
    // Postfix acts on the queue asynchronously: list it once it has.
    QTimer::singleShot(400, this, &WindowController::showMailq);
}
