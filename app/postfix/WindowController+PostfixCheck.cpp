// Applying the configuration under the check, and going back to the last one
// Postfix ran on.
#include "postfix/PostfixCheck.h"
#include "postfix/ServiceRules.h"
#include "shell/Alerts.h"
#include "shell/ResourcePaths.h"
#include "shell/ToolbarRules.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"

using namespace brevane;

namespace {

QString checkScript()
{
    return scriptText(QStringLiteral("check-postfix.sh"));
}

void tell(WindowController* window, const AlertSpec& alert)
{
    if (!alert.informational)
        Alerts::beep();
    Alerts::beginSheet(window, alert);
}

} // namespace

bool WindowController::applyPostfixConfig(const QStringList& arguments, bool jobWasLoaded)
{
    const QString output = run(applyPostfixArguments(arguments, checkScript()));
    const QString refused = refusedCustomLine(output);
    const PostfixCheckOutcome outcome = parsePostfixCheck(output);
    // The check unloads the job itself and loads it again whatever becomes
    // of the files; a run that never reported may have stopped in between.
    if (outcome.result == CheckResult::Unknown && jobWasLoaded)
        runShell(services::loadJob(QStringLiteral("postfix")));
    if (!refused.isEmpty()) {
        tell(this, refusedCustomLineAlert(refused, outcome.said));
        m_ui->customField->setFocus();
        return false;
    }
    PostfixForm form;
    form.custom = m_ui->customField->toPlainText();
    form.portNos = m_ui->portNosField->text();
    if (const auto alert = applyAlert(outcome, form))
        tell(this, *alert);
    return outcome.result == CheckResult::Up;
}

void WindowController::restoreLastWorkingConfiguration()
{
    const QString savedAt = run(lastWorkingSavedArguments(checkScript()));
    if (savedAt.isEmpty()) {
        tell(this, restoreAlert({CheckResult::None, {}, {}, {}}, {}));
        return;
    }
    AlertSpec question{QStringLiteral("Restore the last working configuration?"),
                       QStringLiteral("Postfix restarts on the configuration it last came up on, saved %1. What the "
                                      "forms hold now is not kept.")
                           .arg(savedAt),
                       QStringLiteral("Restore"), QStringLiteral("Cancel")};
    Alerts::beginSheet(this, question, [this, savedAt](int answer) {
        if (answer != returncode::defaultButton)
            return;
        // Postfix is stopped and started again: the window says so as a restart does.
        startProgress(toolbar::busyText(QStringLiteral("Restart Postfix")));
        m_ui->smtp_light->setImageNamed(QStringLiteral("yellow"));
        const PostfixCheckOutcome outcome = parsePostfixCheck(run(restorePostfixArguments(checkScript())));
        loadPostfixSettings();
        checkStatusLights();
        stopProgress();
        tell(this, restoreAlert(outcome, savedAt));
    });
}
