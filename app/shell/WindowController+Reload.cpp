// Reloading the window from the installed state.
#include "postfix/SmartHosts.h"
#include "shell/TextHelpers.h"
#include "shell/WindowController.h"

using namespace brevane;

void WindowController::reloadData()
{
    smartHostController.removeAllObjects();
    if (checkIfUnixPathExists(QString::fromLatin1(smartHostsPath))) {
        smartHostController.addObjects(smartHostsFromFileText(run(readSmartHostsArguments())));
        if (smartHostController.rowCount() > 0)
            smartHostController.setSelectionIndex(0);
    }
    loadPostfixSettings();
    loadFetchmailSettings();
    loadFilteringSettings();
    checkStatusLights();
    markFormsClean(m_documentPath);
}
