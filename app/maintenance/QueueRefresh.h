#pragma once

namespace brevane {

class MailQueueModel;
class TaskWrapper;

/// Lists the queue into `model` as the window does: the listing command
/// through `runner`, its output read on a worker thread while it still
/// arrives, the rows shown kept until the new ones are ready, then one
/// model reset. Timers keep firing meanwhile; user input waits. False, with
/// the rows kept, when the runner is busy with another command.
bool refreshQueue(TaskWrapper& runner, MailQueueModel& model);

} // namespace brevane
