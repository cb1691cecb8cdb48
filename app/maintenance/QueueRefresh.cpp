#include "maintenance/QueueRefresh.h"

#include "maintenance/MailQueue.h"
#include "maintenance/MailQueueModel.h"
#include "maintenance/QueueListingWorker.h"
#include "privileged/TaskWrapper.h"

#include <QDateTime>
#include <QEventLoop>

namespace brevane {

bool refreshQueue(TaskWrapper& runner, MailQueueModel& model)
{
    QueueListingWorker worker(model.filterText(), model.sortColumn(), model.sortOrder(), model.deferredFolders(),
                              QDateTime::currentSecsSinceEpoch());
    runner.setArgs(mailqListingCommand(deferredFolderStamps(model.deferredFolders())));
    const bool ran = runner.startProcessReadingOutput([&worker](const QByteArray& piece) { worker.feed(piece); });
    QEventLoop wait;
    worker.finish([&wait] { QMetaObject::invokeMethod(&wait, [&wait] { wait.quit(); }, Qt::QueuedConnection); });
    if (!worker.isDone())
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    if (ran) {
        model.deferredFolders() = worker.takeDeferredFolders();
        QueueListingWorker::discard(model.setListing(worker.takeListing(), worker.takeArranged()));
    }
    return ran;
}

} // namespace brevane
